// Eigenvalues of any pencil K x = lambda M x (n <= 6), definite or not, by
// the QZ algorithm: Eigen's RealQZ, the generalized real Schur form that its
// GeneralizedEigenSolver reads its eigenvalues from. Eigen is header-only and
// compiled here with the project's flags, so the results are the same bits
// in every build; LAPACK's dggev, as accurate on such pencils, runs on
// whichever BLAS the system provides.
//
// Scaling, exact: a diagonal D of powers of two balances the rows of |K| +
// |M| (D K D and D M D have the same eigenvalues), then each matrix is
// scaled by a power of two so that its largest entry lies in [1, 2).
//
// QZ reduces the scaled pair (A, B) to S = Q^T A Z quasi-triangular and
// T = Q^T B Z triangular; each 1 x 1 block gives lambda = S_ii / T_ii, each
// 2 x 2 block a complex pair. The computed S and T are exact for a pair
// within a small multiple of eps of (A, B), relative to their norms. So:
//   - infinite eigenvalue: T at rounding level (RoundingNoise n times |B|):
//     M is singular to within the rounding of computing T. Above that, the
//     finite lambda = S_ii / T_ii moves under that rounding, to first
//     order, by no more than its own conditioning allows.
//   - singular pencil: only where det(K - lambda M) vanishes for every
//     lambda exactly, for the doubles as typed. That is asked only where a
//     block has S and T both below Negligible of the norms and the smallest
//     singular value of A - t B is at rounding level at three values of t;
//     a regular pencil within rounding of a singular one passes both.
//   - such a nearly singular, regular pencil: QZ may lose its determined
//     eigenvalues in one order of the degrees of freedom (the reading most
//     orders bear out stands), or in every order call them infinite, where
//     K and M share a direction at rounding level (the pencil on the other
//     directions is solved instead). Its other eigenvalues are at will.
//
// Each finite eigenvalue comes with its conditioning in the units typed,
// s = (|K| + |lambda| |M|) |x|^2 / |x^T M x| with x its eigenvector (for a
// symmetric pencil also its left one, transposed): QZ's value is within a few
// units of rounding of s of the true one (to first order; measured over
// adversarial families, at most 60 eps s). Eigenvalues closer to each other
// than the rule (1e-12 s) tells apart form a cluster: a defective eigenvalue
// of multiplicity m comes out as m values about eps^(1/m) apart, which are no
// better an answer than the exact multiple root. Their mean is well
// conditioned, and stands for each of them.
#pragma once

#include <array>

#include "core/framework.h"
#include "core/matrix_store.h"
#include "core/order.h"

namespace varno {

// Relative to the norms of the scaled matrices: 2^-36, about 1.5e-11.
inline constexpr double Negligible = 1.4551915228366852e-11;
// Rounding level relative to the norms of the scaled matrices, per degree of
// freedom: 16 eps.
inline constexpr double RoundingNoise = 16.0 * 2.220446049250313e-16;
// Two eigenvalues closer than half this many times the smaller of their s
// are one cluster; a shown value is right within this many times s.
inline constexpr double ClusterNoise = 1e-12;

struct GeneralEigenvalues {
    int n = 0;
    bool converged = true;  // false: QZ gave up, and nothing below holds
    bool singular = false;  // det(K - lambda M) = 0 for every lambda, to within rounding
    int infinite = 0;       // how many eigenvalues are infinite (M singular to within rounding)
    // Ordered by real part, then imaginary part; each infinite one as
    // (+inf, 0), last. Slots beyond n are zero.
    std::array<Eigenvalue, MaxOrder> lambda{};
    std::array<double, MaxOrder> scale{};  // s of each finite one in the units typed; +inf for an infinite one
    std::array<int, MaxOrder> cluster{};   // the first index of each one's cluster (its own where alone)
    double largest = 0.0;           // max |lambda| over the finite ones
    // |K| / |M| in the units typed, a lower bound: the smallest s any
    // eigenvector can give an eigenvalue is this plus its magnitude.
    double unitScale = 0.0;
};

// Reads the upper triangles of the leading n x n blocks, which stand for
// symmetric matrices; every entry must be finite.
GeneralEigenvalues GeneralPencilEigenvalues(const Matrix10& K, const Matrix10& M, int n);

// The values to show for them, n of them: each cluster's mean in place of its
// members, real where its imaginary part is within the cluster's radius (a
// lone value: within half of ClusterNoise times its s); ordered by real part,
// then imaginary part, the infinite ones last as (+inf, 0).
std::array<Eigenvalue, MaxOrder> ShownEigenvalues(const GeneralEigenvalues& e);

}  // namespace varno
