// Eigenvalues of a definite pencil K x = lambda M x (n <= 4) by counting them.
//
// Sylvester's law of inertia: when M is positive definite, the number of
// negative pivots of an LDL^T factorisation of K - sigma M is the number of
// eigenvalues below sigma. Counting at both ends of an interval therefore
// proves whether the k-th eigenvalue lies in it (the "Sturm sequence check"
// of structural codes), and bisection on the same count finds it. As those
// codes do, the eigenvalues are computed by a fast iteration and then proved
// by the count.
//
// The pencil is first scaled by powers of two (exact), so that entries from
// the smallest normal double to the largest finite one neither overflow nor
// underflow; then reduced with the LDL^T factors of M to a symmetric matrix
// with the same eigenvalues, and that by Householder reflections to
// tridiagonal form T, on which a count is one pass of n - 1 divisions.
//
// Accuracy: that of LAPACK's dsygv, which takes the same route (reduction by
// M's triangular factor, tridiagonalisation). Each count is exact for a matrix within a
// few units of rounding of T, so an eigenvalue is found to about
// eps * |lambda|, and never worse than about eps * kappa(M) * max|lambda|.
// Unlike a closed form on the characteristic polynomial, clustered and
// repeated eigenvalues lose nothing.
//
// Not handled (the reduction is refused): a non-finite entry, an M that is
// not positive definite (an LDL^T pivot <= 0), and an M so close to
// singular that the reduced matrix overflows (smallest eigenvalue of M below
// about 1e-300 of its largest entry).
#pragma once

#include <array>
#include <optional>
#include <span>

#include "core/matrix_store.h"

namespace varno {

// T in the scaled space: its eigenvalues are the pencil's times 2^shift.
struct TridiagonalPencil {
    int n = 0;
    std::array<double, 4> diagonal{};
    std::array<double, 3> off{};
    std::array<double, 3> offSquared{};
    double pivmin = 0.0;  // smallest pivot magnitude a count lets through
    double lower = 0.0;   // Gershgorin bounds of T, widened for rounding
    double upper = 0.0;
    double norm = 0.0;    // max(|lower|, |upper|) before widening
    int shift = 0;
};

// Reads the upper triangles of the leading n x n blocks of the store's K and
// M, which stand for symmetric matrices. Empty unless every entry is finite
// and M positive definite.
std::optional<TridiagonalPencil> ReduceDefinitePencil(const Matrix10& K, const Matrix10& M, int n);

// "The k-th smallest eigenvalue (1-based) lies in [lo, hi]", in the pencil's
// own units.
struct EigenvalueClaim {
    int k = 1;
    double lo = 0.0;
    double hi = 0.0;
};

// Whether every claim holds, by counting at both ends of each interval.
bool ClaimsHold(const TridiagonalPencil& t, std::span<const EigenvalueClaim> claims);

// The n eigenvalues in ascending order, in the pencil's units (slots beyond n
// are 0). Found by implicit QL on T, as LAPACK finds them, then certified by
// counting: each must lie within a few units of rounding of max|lambda| of
// where the count puts it. Should that ever fail, bisection on the count
// gives them instead. An eigenvalue beyond the double range comes out as an
// infinity or a zero, as the correctly rounded value would.
std::array<double, 4> PencilEigenvalues(const TridiagonalPencil& t);

// The same by bisection on the count alone (the fallback above).
std::array<double, 4> BisectedEigenvalues(const TridiagonalPencil& t);

}  // namespace varno
