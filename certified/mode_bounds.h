// Error bounds for eigenpairs of a definite pencil A x = nu B x.
//
// For B positive definite and any x and theta, some eigenvalue lies within
// |r|_{B^-1} / |x|_B of theta, r = A x - theta B x (the residual bound for
// B^-1/2 A B^-1/2); for a group of close eigenvalues with B-orthonormal
// vectors, as many eigenvalues lie within the block residual's norm (Kahan).
// Where the groups' intervals are disjoint they hold exactly their own
// eigenvalues, and a lone eigenvalue with room on both sides is bounded much
// tighter by the Kato-Temple inequality, |nu - theta| <= |r|^2_{B^-1} /
// (|x|^2_B gap). Every rounding error of the residuals, norms and quotients
// is bounded into the result.
#pragma once

#include <array>
#include <limits>
#include <span>

#include "certified/definiteness.h"
#include "certified/proof.h"
#include "certified/reduction.h"

namespace varno {

using Long = long double;

// The unit roundoff of the arithmetic the bounds are formed in, and n of
// them as an error bound's factor (gamma_n = n u / (1 - n u), rounded up
// generously).
template <typename Real>
constexpr Real Unit = std::numeric_limits<Real>::epsilon() / 2;
template <typename Real>
inline Real Gamma(int n)
{
    return Real(1.01) * static_cast<Real>(n) * Unit<Real>;
}

// The bounds of all eigenvalues, in scaled units, for vectors x with their
// thetas (ascending), startsOfGroups giving the groups whose vectors are
// B-orthonormal to each other: groups of nearby ones merged until their
// intervals are disjoint, so that each holds exactly its own eigenvalues;
// then Kato-Temple for each lone one between its neighbours. Formed in long
// double.
// counted: the intervals the counts prove (scaled units), where there are
// any; a lone eigenvalue whose residual interval meets its neighbours' is
// kept apart by its count's instead, and left unbounded.
std::array<Long, MaxOrder> Bounds(const DefinitePencil& p, std::span<const Vector4> x,
                                  const std::array<double, MaxOrder>& theta, std::span<const int> startsOfGroups,
                                  const ProvedEigenvalues* counted = nullptr);

// The bounds where dsygv's route gave the vectors, in double, each
// eigenvalue alone in an interval of its own: Bounds' argument for lone
// vectors, with |r|_{B^-1} <= |r| / sqrt(lambda_min(B)) for the exact norm,
// which costs little, as Kato-Temple takes it squared. False, and the
// caller turns to inverse iteration and long double, where a residual is
// not within a few units of rounding of (|A| + |theta| |B|) |x|, as inverse
// iteration's are (the route's are only where B is well conditioned), where
// the intervals of neighbours meet, or where a bound is wider than 1e-12 of
// the eigenvalue's scale.
bool LoneBounds(const DefinitePencil& p, const Route& route, std::array<Long, MaxOrder>& bound);

}  // namespace varno
