// Bunch-Kaufman factorisation of a small symmetric matrix that need not be
// definite: P S P^T = L D L^T with L unit lower triangular and D block
// diagonal with 1 x 1 and 2 x 2 blocks (LAPACK's dsytrf, unblocked).
//
// What it is for: the inertia of S (Sylvester: D has as many negative
// eigenvalues as S), and solving S x = b for inverse iteration.
//
// Accuracy: backward stable. The computed factors are exact for S + E with
// |E| <= p(n) eps (|S| + |L||D||L^T|), and the pivoting bounds the growth of
// |L||D||L^T| by 2.57^(n-1) times the largest entry of S, at most 17 for
// n <= 4 and 112 for n = 6. So the inertia read off D is exact for a matrix
// within a few hundred units of rounding of S's largest entry, whatever S's
// condition.
//
// Each 2 x 2 block has a negative determinant by the choice of pivot
// (|d11 d22| < 0.41 d21^2), so it holds one negative and one positive
// eigenvalue. A pivot column that is zero throughout gives a zero 1 x 1
// pivot: S is singular there.
#pragma once

#include <array>

#include "core/order.h"

namespace varno {

// Named when n stopped at four; they hold MaxOrder, of which n are used.
using Square4 = std::array<std::array<double, MaxOrder>, MaxOrder>;
using Vector4 = std::array<double, MaxOrder>;

struct SymmetricFactor {
    int n = 0;
    Square4 l{};              // strictly lower part; the unit diagonal is implied
    Vector4 d{};              // diagonal of D
    Vector4 offDiagonal{};    // offDiagonal[k]: D(k + 1, k) where a 2 x 2 block starts at k, else 0
    std::array<bool, MaxOrder> blockStart{};  // a 2 x 2 block starts at k
    std::array<int, MaxOrder> perm{};  // row i of P S P^T is row perm[i] of S
    double scale = 0.0;       // largest magnitude in S
    int negative = 0;         // negative eigenvalues of D, zero pivots not counted
    int zero = 0;             // zero 1 x 1 pivots
};

// Reads the lower triangle of the leading n x n block of s (finite entries).
SymmetricFactor FactorBunchKaufman(const Square4& s, int n);

// Solves S x = b in place, b given in x. A zero pivot is taken as eps^2
// times S's largest entry, so that inverse iteration at an exact eigenvalue
// still yields its eigenvector instead of a NaN. (eps times it, as usual, is
// too large where the eigenvector's part of S is itself far below the
// largest entry: one step then grows the vector too little to settle it.)
void SolveFactored(const SymmetricFactor& f, Vector4& x);

}  // namespace varno
