// Whether a pencil is singular: det(K - lambda M) = 0 for every lambda. To
// within rounding first, cheaply; exactly, for the doubles as typed, only
// where that holds, since a pencil within rounding of a singular one may be
// regular and then has its determined eigenvalues like any other.
#pragma once

#include <Eigen/Core>
#include <Eigen/SVD>

#include "certified/general_pencil.h"
#include "core/matrix_store.h"

namespace varno {

// Whether det(A - t B) vanishes to within rounding for every t: the smallest
// singular value of A - t B at rounding level at three values of t of no
// pattern. For a regular pencil at most n of them can be eigenvalues.
template <int N>
bool SingularEverywhere(const Eigen::Matrix<double, N, N>& A, const Eigen::Matrix<double, N, N>& B)
{
    using Mat = Eigen::Matrix<double, N, N>;
    for (const double t : {0.5772156649015329, -1.6180339887498949, 2.718281828459045}) {
        const Mat C = A - t * B;
        // GCC 12 sees Eigen's fixed-size singular values as possibly unset;
        // clang has no such warning, and would warn of the unknown name.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
        const Eigen::JacobiSVD<Mat> svd(C);
        const double smallest = svd.singularValues()(N - 1);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
        if (!(smallest <= RoundingNoise * N * (A.norm() + std::fabs(t) * B.norm()))) return false;
    }
    return true;
}

// Whether det(K - lambda M) is zero for every lambda exactly, for the doubles
// as typed: a pencil within rounding of a singular one may be regular, and
// then its well-conditioned eigenvalues are as determined as any. Each entry
// times 2^1074 is an integer; det(K - lambda M) for lambda = 0 ... n, a
// polynomial of degree n, vanishes everywhere exactly where it vanishes at
// those n + 1 points. Taken modulo three primes near 2^62: a determinant that
// is not zero is found so for certain, and one that is zero is taken for zero
// unless all three primes divide it at all n + 1 points.
bool ExactlySingular(const Matrix10& K, const Matrix10& M, int n);

}  // namespace varno
