// Sylvester's count for a definite pencil of any order: the number of
// eigenvalues of a y = nu b y below sigma is the number of negative
// eigenvalues of a - sigma b, read off the block diagonal D of its
// Bunch-Kaufman factorisation (LAPACK dsytrf, O(n^3 / 3)).
//
// The factorisation is backward stable: the count is exact for a matrix
// within a modest multiple of n eps |a - sigma b| of a - sigma b, so a count
// at a shift farther than that from every eigenvalue is right, to first
// order; at a shift within it the count may be off by the eigenvalues there.
#pragma once

#include "certified/dynamic/definite_form.h"

namespace varno {

// The number of nu below sigma; -1 where sigma is not finite.
int DynamicCount(const DynamicPencil& p, double sigma);

// s = (|a|_2 + |sigma| |b|_2) |x|^2 / |x^T b x| for x from two steps of
// inverse iteration on a - sigma b (the same factorisation): the scale of
// the eigenvalue nearest sigma, which a count's backward error moves it by
// (times eps), for an eigenvalue whose candidate vector was lost. Inf where
// the factorisation or the solves fail.
double ScaleNear(const DynamicPencil& p, double sigma);

}  // namespace varno
