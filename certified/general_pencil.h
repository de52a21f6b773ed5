// Eigenvalues of any pencil K x = lambda M x (n <= 4), definite or not, by
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
//   - singular pencil: a block with S and T both below Negligible times the
//     norms of A and B. Setting them to zero, a relative change of at most
//     Negligible, makes det(K - lambda M) vanish for every lambda: no
//     eigenvalue is determined. On exactly singular pencils such a block
//     came out below 1.7e-12 in every one of 120,000 tries (n = 2 ... 4,
//     units 1e-9 ... 1e9); on well-posed pencils no block comes near.
//   - infinite eigenvalue: T below Negligible times |B| (but not S): M is
//     singular to within that change. Beyond it, the rounding of T alone
//     could move lambda by more than 1e-6 of itself.
#pragma once

#include <array>

#include "core/framework.h"
#include "core/matrix_store.h"

namespace varno {

// Relative to the norms of the scaled matrices: 2^-36, about 1.5e-11.
inline constexpr double Negligible = 1.4551915228366852e-11;

struct GeneralEigenvalues {
    int n = 0;
    bool converged = true;  // false: QZ gave up, and nothing below holds
    bool singular = false;  // det(K - lambda M) = 0 for every lambda, to within rounding
    int infinite = 0;       // how many eigenvalues are infinite (M singular to within rounding)
    // Ordered by real part, then imaginary part; each infinite one as
    // (+inf, 0), last. Slots beyond n are zero.
    std::array<Eigenvalue, 4> lambda{};
    double largest = 0.0;  // max |lambda| over the finite ones
};

// Reads the upper triangles of the leading n x n blocks, which stand for
// symmetric matrices; every entry must be finite.
GeneralEigenvalues GeneralPencilEigenvalues(const Matrix10& K, const Matrix10& M, int n);

}  // namespace varno
