// Rayleigh-Ritz within a group of a definite pencil's eigenvalues.
//
// Within a group of eigenvalues the counts prove apart, the vectors span
// the group's invariant subspace well but may mix its eigenvectors: inverse
// iteration at two shifts closer than the solves resolve (a mode without
// mass beside a tiny mass, mu = 0 beside mu = 7e-11) returns two mixtures.
// The Rayleigh-Ritz step on that subspace, formed in long double, takes
// them apart; it stands only where each Ritz value lies in its own proved
// interval.
//
// Preconditions: vectors[first, end) B-orthogonal to within rounding, as
// inverse iteration leaves them; values their quotients, ascending; proved
// the counts' intervals for the same eigenvalues.
// Accuracy: C = L^-1 H L^-T and its Jacobi rotations are formed in long
// double, and a Ritz value stands only inside the interval its count
// proves: it is as right as that interval.
#pragma once

#include <array>

#include "certified/definiteness.h"
#include "certified/proof.h"
#include "certified/symmetric_indefinite.h"

namespace varno {

// vectors and values in [first, end) replaced by the Ritz pairs, where each
// Ritz value lies in its own proved interval; left as they are otherwise.
void RitzWithinGroup(const DefinitePencil& p, const ProvedEigenvalues& proved, int first, int end,
                     std::array<Vector4, MaxOrder>& vectors, std::array<double, MaxOrder>& values);

}  // namespace varno
