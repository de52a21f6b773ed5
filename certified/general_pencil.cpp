#include "certified/general_pencil.h"

#include <Eigen/Core>
#include <Eigen/Eigenvalues>
#include <Eigen/LU>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

#include "core/arithmetic.h"

namespace varno {
namespace {

using Square = std::array<std::array<double, 4>, 4>;

// Scales x by the power of two that brings its largest entry into [1, 2);
// returns the exponent taken out (x was x' * 2^e). Zero stays zero.
int Normalise(Square& x, int n)
{
    double big = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) big = std::max(big, std::fabs(x[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]));
    if (big == 0.0) return 0;
    const int e = std::ilogb(big);
    if (e == 0) return 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double& v = x[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            v = TimesPowerOfTwo(v, -e);
        }
    return e;
}

// D A D and D B D with D = diag(2^e_i) chosen so that every row of the pair
// has its largest entry near 1: a degree of freedom in other units (a
// rotation beside displacements, a millimetre beside metres) then weighs as
// much as the others, and its entries are not taken for rounding noise.
void Balance(Square& a, Square& b, int n)
{
    // Each sweep halves every row's distance from 1 in binary orders, so
    // sixteen bring even 2^2000 apart to a factor of a few.
    for (int sweep = 0; sweep < 16; ++sweep) {
        bool changed = false;
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
            double row = 0.0;
            for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j)
                row = std::max({row, std::fabs(a[i][j]), std::fabs(b[i][j])});
            if (row == 0.0) continue;  // a zero row of both: the pencil is singular, and stays so
            const int s = -std::ilogb(row) / 2;
            if (s == 0) continue;
            changed = true;
            for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j) {
                a[i][j] = TimesPowerOfTwo(a[i][j], s), a[j][i] = TimesPowerOfTwo(a[j][i], s);
                b[i][j] = TimesPowerOfTwo(b[i][j], s), b[j][i] = TimesPowerOfTwo(b[j][i], s);
            }
        }
        if (!changed) break;
    }
}

// Zeroes every entry below 2^-100 of the largest, which Normalise has put
// in [1, 2): a change far inside the backward error that QZ commits anyway
// (2^-52 of the norm), and one QZ needs. Squares of entries below about
// 1e-150 of the norm underflow in its rotations, and it then gave up, or
// returned S and T as zeros, taking a pencil for singular.
void FlushBelowRounding(Square& x, int n)
{
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
        for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j)
            if (std::fabs(x[i][j]) < 0x1p-100) x[i][j] = 0.0;
}

// Fractional parts of square roots: a direction with no pattern a pencil
// typed in could share.
constexpr std::array<double, 4> NoPattern{0.4142135623730951, 0.7320508075688772, 0.2360679774997897,
                                          0.6457513110645906};

template <int N>
GeneralEigenvalues Solve(const Matrix10& K, const Matrix10& M)
{
    GeneralEigenvalues out;
    out.n = N;
    Square a{}, b{};
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = 0; j < N; ++j) {
            const std::size_t r = std::min(i, j) + 1, c = std::max(i, j) + 1;
            a[i][j] = K[r][c];
            b[i][j] = M[r][c];
        }
    int ek = Normalise(a, N), em = Normalise(b, N);
    Balance(a, b, N);
    ek += Normalise(a, N);
    em += Normalise(b, N);

    FlushBelowRounding(a, N);
    FlushBelowRounding(b, N);
    using Mat = Eigen::Matrix<double, N, N>;
    Mat A, B;
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j) {
            A(i, j) = a[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            B(i, j) = b[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
        }
    const double tolA = Negligible * A.norm();
    const double tolB = Negligible * B.norm();

    // QZ never deflates an S that is all zero (its test is a strict "below
    // eps |S|"): it loops for ever where T has a zero on its diagonal, and
    // gives up elsewhere. With K zero, det(K - lambda M) = (-lambda)^n det M:
    // every lambda is 0, or the pencil is singular with M.
    if (A.isZero(0.0)) {
        const Eigen::SelfAdjointEigenSolver<Mat> m(B, Eigen::EigenvaluesOnly);
        out.singular = !(m.eigenvalues().cwiseAbs().minCoeff() > tolB);
        return out;  // lambda all 0, largest 0
    }

    Eigen::RealQZ<Mat> qz(N);
    // From the 24th sweep without a deflation on, Eigen's QZ takes random
    // shifts from std::rand(), whose state the whole process shares: the same
    // pencil would give other bits after any other call of rand, or with
    // another thread's calls in between. Its two fixed exceptional shifts
    // (sweeps 10 and 16) come before, and do for nearly every pencil.
    qz.setMaxIterations(24);
    qz.compute(A, B, false);
    // Where they do not, first the same pencil with its degrees of freedom in
    // another order (P A P', P B P': the same eigenvalues), which starts QZ
    // elsewhere: each cyclic shift, then the reverse. A defective triple
    // eigenvalue stalls in one order and not in another.
    const auto from = [](int i, int attempt) { return attempt < N ? (i + attempt) % N : N - 1 - i; };
    for (int attempt = 1; attempt <= N && qz.info() != Eigen::Success; ++attempt) {
        Mat pa, pb;
        for (int i = 0; i < N; ++i)
            for (int j = 0; j < N; ++j) {
                pa(i, j) = A(from(i, attempt), from(j, attempt));
                pb(i, j) = B(from(i, attempt), from(j, attempt));
            }
        qz.compute(pa, pb, false);
    }
    // In the pencil's own units.
    const auto unscaled = [&](double x) { return TimesPowerOfTwo(x, ek - em); };
    std::size_t finite = 0;
    std::array<Eigenvalue, 4> values{};
    bool schurOfInverse = false;
    if (qz.info() != Eigen::Success) {
        // Eigenvalues +-x +-iy of one modulus can stall it in every order,
        // even with Eigen's random shifts taking hundreds of sweeps. Where M is
        // well conditioned, the eigenvalues of M^-1 K are the pencil's to
        // within rounding times its condition, and the real Schur form finds
        // them with fixed shifts only.
        const Eigen::PartialPivLU<Mat> lu(B);
        if (lu.rcond() >= 1e-6) {
            const Eigen::EigenSolver<Mat> schur(lu.solve(A), false);
            if (schur.info() == Eigen::Success) {
                for (int k = 0; k < N; ++k)
                    values[finite++] = {unscaled(schur.eigenvalues()(k).real()), unscaled(schur.eigenvalues()(k).imag())};
                schurOfInverse = true;
            }
        }
        if (!schurOfInverse) {
            // Elsewhere, or where that stalls too (A and B all zeros but for
            // a pattern of equal entries can hold QR's shifts in a cycle as
            // well), QZ runs on H A H, H B H, H a reflection in a direction of
            // no pattern: the same eigenvalues, each entry changed by rounding
            // of its matrix's norm, and the pattern gone.
            Eigen::Matrix<double, N, 1> v;
            for (int k = 0; k < N; ++k) v(k) = NoPattern[static_cast<std::size_t>(k)];
            const Mat H = Mat::Identity() - (2.0 / v.squaredNorm()) * v * v.transpose();
            qz.compute(H * A * H, H * B * H, false);
            if (qz.info() != Eigen::Success) {
                out.converged = false;
                return out;
            }
        }
    }
    if (!schurOfInverse) {
        const Mat& S = qz.matrixS();
        const Mat& T = qz.matrixT();

        int i = 0;
        while (i < N) {
            if (i == N - 1 || S(i + 1, i) == 0.0) {
                const double alpha = S(i, i), beta = T(i, i);
                if (std::fabs(beta) <= tolB) {
                    out.singular = out.singular || std::fabs(alpha) <= tolA;
                    ++out.infinite;
                } else {
                    values[finite++] = {unscaled(alpha / beta), 0.0};
                }
                ++i;
                continue;
            }
            // A complex pair. T's block is diagonal (ta, tb), and the pair
            // is that of S's block times diag(1 / ta, 1 / tb), as Eigen's
            // GeneralizedEigenSolver forms it: beta = ta tb, alpha from
            // S2 = S diag(tb, ta), no division until the end.
            const double ta = T(i, i), tb = T(i + 1, i + 1);
            if (std::min(std::fabs(ta), std::fabs(tb)) <= tolB) {
                // Both are huge (a conjugate pair has one modulus): infinite
                // to within rounding, and singular if S's block is negligible too.
                out.singular = out.singular || S.template block<2, 2>(i, i).norm() <= tolA;
                out.infinite += 2;
            } else {
                const double beta = ta * tb;
                const double s00 = S(i, i) * tb, s01 = S(i, i + 1) * ta;
                const double s10 = S(i + 1, i) * tb, s11 = S(i + 1, i + 1) * ta;
                const double p = 0.5 * (s00 - s11);
                const double z = std::sqrt(std::fabs(p * p + s10 * s01));
                const double re = unscaled((s11 + p) / beta), im = std::fabs(unscaled(z / beta));
                values[finite++] = {re, -im};
                values[finite++] = {re, im};
            }
            i += 2;
        }
    }
    // By real part, then imaginary part; an insertion sort, as four need.
    const auto before = [](const Eigenvalue& x, const Eigenvalue& y) { return x.re < y.re || (x.re == y.re && x.im < y.im); };
    for (std::size_t k = 1; k < finite; ++k)
        for (std::size_t j = k; j > 0 && before(values[j], values[j - 1]); --j) std::swap(values[j], values[j - 1]);
    for (std::size_t k = 0; k < finite; ++k) {
        out.lambda[k] = {values[k].re + 0.0, values[k].im + 0.0};  // a -0 shows as 0
        out.largest = std::max(out.largest, std::hypot(values[k].re, values[k].im));
    }
    for (std::size_t k = finite; k < N; ++k) out.lambda[k] = {std::numeric_limits<double>::infinity(), 0.0};
    return out;
}

}  // namespace

GeneralEigenvalues GeneralPencilEigenvalues(const Matrix10& K, const Matrix10& M, int n)
{
    switch (n) {
    case 2: return Solve<2>(K, M);
    case 3: return Solve<3>(K, M);
    default: return Solve<4>(K, M);
    }
}

}  // namespace varno
