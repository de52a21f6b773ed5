// Counting the eigenvalues of a definite pencil A x = nu B x below a shift.
//
// Sylvester's law of inertia: when B is positive definite, the number of
// negative eigenvalues of A - sigma B is the number of eigenvalues of
// A x = nu B x below sigma. Counting at both ends of an interval therefore
// proves whether the k-th eigenvalue lies in it (the "Sturm sequence check"
// of structural codes).
//
// The counts are made on A - sigma B itself, not on a reduced matrix: by an
// LDL^T factorisation without pivoting where its growth stays small, and by
// Bunch-Kaufman's otherwise. Either is exact for a matrix within a few
// hundred units of rounding of A - sigma B, that is, for a pencil within
// rounding of the one typed in, whatever B's condition. So a proved claim
// "nu_k in [lo, hi]" is uncertain, to first order, only by nu_k's own
// conditioning, about eps * s_k with s_k = (|A| + |nu_k| |B|) |x_k|^2 /
// |x_k^T B x_k|: a small eigenvalue is held to its own size, not to the
// largest one's. Where the perturbation is not small against the gaps (s_k
// vast, eigenvalues hundreds of orders of magnitude below the largest) the
// claim is only as good as the normwise one.
#pragma once

#include <span>

#include "certified/definiteness.h"

namespace varno {

// "The k-th smallest nu (1-based) lies in [lo, hi]", in the pencil's own
// units (not scaled).
struct EigenvalueClaim {
    int k = 1;
    double lo = 0.0;
    double hi = 0.0;
};

// Whether every claim holds, by counting strictly below each lo and at or
// below each hi. An end that is NaN fails.
bool ClaimsHold(const DefinitePencil& p, std::span<const EigenvalueClaim> claims);

// The same for claims in the pencil's scaled units (nu * 2^shift), where
// values far beyond the double range of nu still have room; held[c] says
// whether claim c holds (held has the claims' size).
bool ScaledClaimsHold(const DefinitePencil& p, std::span<const EigenvalueClaim> claims, std::span<bool> held);

// The number of nu strictly below sigma (orEqual: at or below), in the
// pencil's own units.
int CountBelow(const DefinitePencil& p, double sigma, bool orEqual);

// The same in scaled units; -1 for a NaN shift.
int CountScaled(const DefinitePencil& p, double s, bool orEqual);

// Claims in scaled units, two per pass of four counts; held[c] says whether
// claim c holds.
void CheckScaled(const DefinitePencil& p, std::span<const EigenvalueClaim> claims, std::span<bool> held);

}  // namespace varno
