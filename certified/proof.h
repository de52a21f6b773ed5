// The eigenvalues of a definite pencil, each proved by the count.
//
// Candidates (certified/candidates.h) are proved by counts within a few
// hundred units of rounding of their own s_k; for n = 2 and 3 one that is
// not is tried again from dsygv's route, and one that still fails (B ill
// conditioned) is found by bisection on the count. The counts are exact for
// a pencil within rounding of the one typed in, so a proved value is as
// uncertain as the eigenvalue itself under rounding of K and M, to first
// order.
#pragma once

#include <array>

#include "certified/count.h"
#include "certified/definiteness.h"

namespace varno {

// The eigenvalues nu in ascending order (slots beyond n are 0), each proved by
// the count to within a few hundred units of rounding of its own s_k, and an
// interval [lo, hi] around each that the counts prove. An eigenvalue beyond
// the double range comes out as an infinity or a zero.
struct ProvedEigenvalues {
    std::array<double, MaxOrder> nu{};
    std::array<double, MaxOrder> lo{};
    std::array<double, MaxOrder> hi{};
    std::array<double, MaxOrder> scaledNu{};  // nu * 2^shift, which never overflows: 1 / nu may be in range where nu is not
    std::array<double, MaxOrder> scaledLo{};  // lo and hi in the same units
    std::array<double, MaxOrder> scaledHi{};
    // Passes of four counts spent: a proof of all n candidates takes one
    // (n = 2) or two, dsygv's route where the candidates from the
    // characteristic polynomial fail one more, and
    // bisection, where no candidate holds, a hundred or so.
    int passes = 0;
};
ProvedEigenvalues PencilEigenvalues(const DefinitePencil& p);

// The proof of given candidates (the pencil's own units, any order), with
// the refinement of those it fails for. PencilEigenvalues passes those of the
// dsygv route; a test may pass wrong ones.
ProvedEigenvalues ProveCandidates(const DefinitePencil& p, const std::array<double, MaxOrder>& candidates);

// The same by bisection on the count alone, for tests.
ProvedEigenvalues BisectedEigenvalues(const DefinitePencil& p);

// The pencil's lambda in ascending order, +inf last: nu itself, or 1 / nu
// where the pencil is inverted. A nu whose proved interval holds 0 is, where
// inverted, an infinite lambda (+inf), and otherwise 0 if it would come out
// beyond the double range.
std::array<double, MaxOrder> LambdaOf(const DefinitePencil& p, const ProvedEigenvalues& e);

// The same, each lambda in the place of its nu (not sorted).
std::array<double, MaxOrder> LambdaAt(const DefinitePencil& p, const ProvedEigenvalues& e);

}  // namespace varno
