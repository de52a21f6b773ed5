// Intervals that hold the eigenvalues of a definite pencil a y = nu b y of
// any order, from candidate pairs, every rounding error bounded in.
//
// - For any y and theta some eigenvalue lies within
//   eta = |a y - theta b y|_{b^-1} / |y|_b of theta, and
//   |r|_{b^-1} <= |r|_2 / sqrt(beta) with beta <= lambda_min(b) proved.
//   dsymm's products are within gamma_n |a| |y| of the exact ones, which
//   |a|_F |y|_2 bounds in norm.
// - Intervals that meet are merged into groups. n disjoint intervals hold
//   one eigenvalue each (each holds at least one). A group of m > 1 holds m
//   where the counts at its ends say so, and the counts at the groups' ends
//   also tell how many lie in each stretch between groups, so that the
//   lone intervals there hold one each. Counts are spent only on groups.
// - A lone eigenvalue between neighbours' intervals is bounded tighter by
//   the Kato-Temple inequality, |nu - theta*| <= eta^2 / gap for the exact
//   Rayleigh quotient theta*, which lies within the computed one's rounding.
// - What no count bears out, and an interval too wide to tell eigenvalues
//   apart (b near singular, a vector lost), is found by bisection on the
//   count, each eigenvalue by its index.
//
// Proved, given exact counts: the counts are those of a matrix within the
// Bunch-Kaufman backward error of a - sigma b, so the intervals a count
// closes hold to first order in eps, as the fixed-size path's do.
#pragma once

#include <vector>

#include "certified/dynamic/candidates.h"

namespace varno {

struct DynamicEnclosures {
    std::vector<double> nu;  // ascending, one double each, inside its interval
    std::vector<double> lo;  // nu[k] in [lo[k], hi[k]], in the pencil's scaled units
    std::vector<double> hi;
    int counts = 0;          // Bunch-Kaufman factorisations spent
};

DynamicEnclosures Enclose(const DynamicPencil& p, const CandidatePairs& c, double smallestOfB);

}  // namespace varno
