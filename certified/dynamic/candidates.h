// Candidate eigenpairs of a definite pencil a y = nu b y of any order, from
// LAPACK's dsygvd (Cholesky of b, the reduced symmetric matrix by divide and
// conquer, vectors back-transformed: Y^T b Y = I to rounding), and what the
// bounds need of them: a Y and b Y (dsymm), each pair's Rayleigh quotient and
// residual norm.
//
// Nothing here is proved: certified/dynamic/enclosures.h bounds the true
// eigenvalues from these, every rounding error included.
#pragma once

#include <vector>

#include "certified/dynamic/definite_form.h"

namespace varno {

struct CandidatePairs {
    bool ok = false;           // dsygvd converged
    std::vector<double> nu;    // Rayleigh quotients, ascending
    DenseMatrix y;             // column k: the vector of nu[k] (n x count)
    bool partial = false;      // the lowest count only, fewer than n
    std::vector<double> residual;  // |a y_k - nu_k b y_k|_2 as computed (long double sums, rounded up)
    std::vector<double> norm;      // |y_k|_2, rounded up
    std::vector<double> massNorm;  // y_k^T b y_k as computed
    // What the products' rounding is bounded by, componentwise: dsymm's a y
    // is within gamma_n |a| |y| of the exact one.
    std::vector<double> absResidual;  // at least | |a| |y_k| + |nu_k| |b| |y_k| |_2
    std::vector<double> absA;         // at least |y_k|^T |a| |y_k|
    std::vector<double> absB;         // at least |y_k|^T |b| |y_k|
};

// lowest > 0 and below n: only that many, the lowest, from dsygvx (the same
// reduction, then bisection and inverse iteration for those alone), which
// saves the rest's vectors and products.
CandidatePairs DynamicCandidates(const DynamicPencil& p, int lowest = 0);

}  // namespace varno
