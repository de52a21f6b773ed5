// QZ's eigenvalues of a pencil that is not definite, with each one's
// conditioning and clusters, for one order n (see general_pencil.h). A
// template on n, so that Eigen's fixed-size matrices serve every size; each
// size is instantiated in a file of its own (general_pencil_order<n>.cpp),
// because five sizes of Eigen's QZ, SVD and eigensolvers in one unit took
// the compiler a quarter of an hour and ten gigabytes under the sanitizers.
#pragma once

#include <Eigen/Core>
#include <Eigen/Eigenvalues>
#include <Eigen/LU>
#include <Eigen/SVD>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

#include "certified/general_pencil.h"
#include "certified/nearly_singular.h"
#include "certified/pencil_vectors.h"
#include "certified/singular_pencil.h"
#include "core/arithmetic.h"

namespace varno::pencil {

using Square = std::array<std::array<double, MaxOrder>, MaxOrder>;

// Scales x by the power of two that brings its largest entry into [1, 2);
// returns the exponent taken out (x was x' * 2^e). Zero stays zero.
inline int Normalise(Square& x, int n)
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
// much as the others, and its entries are not taken for rounding noise. d
// gathers the e_i: an eigenvector x of the balanced pair is D x of the
// pencil's own.
inline void Balance(Square& a, Square& b, int n, std::array<int, MaxOrder>& d)
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
            d[i] += s;
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
inline void FlushBelowRounding(Square& x, int n)
{
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
        for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j)
            if (std::fabs(x[i][j]) < 0x1p-100) x[i][j] = 0.0;
}

template <int N>
GeneralEigenvalues SolveGeneralPencil(const Matrix10& K, const Matrix10& M)
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
    std::array<int, MaxOrder> d{};
    Balance(a, b, N, d);
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
    const double roundingB = RoundingNoise * N * B.norm();

    // QZ never deflates an S that is all zero (its test is a strict "below
    // eps |S|"): it loops for ever where T has a zero on its diagonal, and
    // gives up elsewhere. With K zero, det(K - lambda M) = (-lambda)^n det M:
    // every lambda is 0, or the pencil is singular with M.
    if (A.isZero(0.0)) {
        const Eigen::SelfAdjointEigenSolver<Mat> m(B, Eigen::EigenvaluesOnly);
        out.singular = !(m.eigenvalues().cwiseAbs().minCoeff() > roundingB) && ExactlySingular(K, M, N);
        for (int k = 0; k < N; ++k) out.cluster[static_cast<std::size_t>(k)] = 0;  // one value, n times
        return out;  // lambda all 0, scale 0 (|K| is 0), largest 0
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
    std::array<Eigenvalue, MaxOrder> values{};  // in the balanced pair's units
    bool schurOfInverse = false;
    // A block whose alpha and beta are both small enough that the pencil may
    // be singular, which the singular values decide once all are read.
    bool maybeSingular = false;
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
                    values[finite++] = {schur.eigenvalues()(k).real(), schur.eigenvalues()(k).imag()};
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
    // The eigenvalues of a converged QZ's S and T, in the balanced pair's
    // units (the same for every order of the degrees of freedom).
    const auto read = [&](const Eigen::RealQZ<Mat>& done) {
        finite = 0;
        out.infinite = 0;
        maybeSingular = false;
        const Mat& S = done.matrixS();
        const Mat& T = done.matrixT();
        int i = 0;
        while (i < N) {
            if (i == N - 1 || S(i + 1, i) == 0.0) {
                const double alpha = S(i, i), beta = T(i, i);
                maybeSingular = maybeSingular || (std::fabs(beta) <= tolB && std::fabs(alpha) <= tolA);
                if (std::fabs(beta) <= roundingB)
                    ++out.infinite;
                else
                    values[finite++] = {alpha / beta, 0.0};
                ++i;
                continue;
            }
            const double ta = T(i, i), tb = T(i + 1, i + 1);
            maybeSingular = maybeSingular ||
                            (std::min(std::fabs(ta), std::fabs(tb)) <= tolB && S.template block<2, 2>(i, i).norm() <= tolA);
            ReadPair(S, T, i, roundingB, values, finite, out.infinite);
            i += 2;
        }
    };
    if (!schurOfInverse) {
        read(qz);
    }
    // A block with alpha and beta both small: the pencil is singular, or
    // nearly so and regular, which the block alone cannot tell: its alpha and
    // beta came out below 1.7e-12 of the norms on exactly singular pencils,
    // and near 1e-11 on a regular one that a change of 1e-11 makes singular.
    // Only a pencil singular to within rounding everywhere is tried for
    // being singular exactly; one that is not has its other eigenvalues as
    // determined as ever, and this one's as its own s allows.
    if (maybeSingular && SingularEverywhere<N>(A, B)) {
        if (ExactlySingular(K, M, N)) {
            out.singular = true;
            return out;
        }
        // Nearly singular, and regular. Eigen's QZ can lose the determined
        // eigenvalues of such a pencil in one order of the degrees of
        // freedom and find them in another (one order gave 0.5, -2.6e16,
        // -0.93, 2.7 for -0.898, -0.617, 0.600 and one value at will): the
        // reading that most others bear out stands.
        if (!schurOfInverse) Consensus(A, B, from, read, values, finite, out.infinite);
    }
    // QZ may also call finite values infinite in every order where K and M
    // share a direction at rounding level.
    if (!schurOfInverse && out.infinite > 0) DeflateSharedDirections<N>(A, B, roundingB, values, finite, out.infinite);
    Norms norms;
    norms.k = NormBelow(K, N);
    norms.m = NormBelow(M, N);
    norms.a = static_cast<long double>(A.norm()) / std::sqrt(static_cast<long double>(N));
    norms.b = static_cast<long double>(B.norm()) / std::sqrt(static_cast<long double>(N));
    for (std::size_t i = 0; i < N; ++i) norms.unit[i] = std::ldexp(1.0L, d[i]);
    std::array<double, MaxOrder> scale{};
    for (std::size_t k = 0; k < finite; ++k) {
        std::array<Complex, N> y{};
        const Complex polished = Polished<N>(A, B, Complex(values[k].re, values[k].im), y);
        values[k] = {polished.real(), polished.imag()};
        scale[k] = Conditioning<N>(B, polished, y, ek - em, norms, M);
    }
    out.unitScale = static_cast<double>(std::min(norms.k / NormAbove(M, N),
                                                 norms.a / static_cast<long double>(B.norm()) * std::ldexp(1.0L, ek - em)));
    // In the pencil's own units, by real part, then imaginary part; an
    // insertion sort, as six need. The balanced pair's own values stay
    // beside them.
    std::array<Eigenvalue, MaxOrder> balanced = values;
    for (std::size_t k = 0; k < finite; ++k) values[k] = {unscaled(values[k].re) + 0.0, unscaled(values[k].im) + 0.0};
    const auto before = [](const Eigenvalue& x, const Eigenvalue& y) { return x.re < y.re || (x.re == y.re && x.im < y.im); };
    for (std::size_t k = 1; k < finite; ++k)
        for (std::size_t j = k; j > 0 && before(values[j], values[j - 1]); --j) {
            std::swap(values[j], values[j - 1]);
            std::swap(balanced[j], balanced[j - 1]);
            std::swap(scale[j], scale[j - 1]);
        }
    for (std::size_t k = 0; k < finite; ++k) {
        out.lambda[k] = values[k];  // a -0 shows as 0
        out.scale[k] = scale[k];
        out.largest = std::max(out.largest, std::hypot(values[k].re, values[k].im));
    }
    for (std::size_t k = finite; k < N; ++k) {
        out.lambda[k] = {std::numeric_limits<double>::infinity(), 0.0};
        out.scale[k] = HUGE_VAL;
    }
    // Clusters: eigenvalues closer to each other than the rule tells apart.
    // A defective eigenvalue of multiplicity m comes out of any backward
    // stable method as m values about eps^(1/m) apart, each with an s of
    // about eps^(1/m - 1), so that they always fall in one. Nearest pairs
    // first; a merge stands only where the cluster's mean is itself an
    // eigenvalue to within rounding, as that of a defective eigenvalue's
    // values is: two defective eigenvalues far apart have vast s too, but
    // no eigenvalue between them.
    for (std::size_t k = 0; k < N; ++k) out.cluster[k] = static_cast<int>(k);
    std::array<std::array<std::size_t, 2>, 15> pairs{};  // n (n - 1) / 2 at most, n <= 6
    std::size_t pairCount = 0;
    for (std::size_t i = 0; i < finite; ++i)
        for (std::size_t j = i + 1; j < finite; ++j) {
            // A value that overflowed in the units typed (an eigenvalue
            // beyond the double range) is no cluster's: its distance is inf
            // or NaN, and the cluster's mean would be too (inf - inf is NaN).
            // Where s could not be told (an x^T M x of 0, or s beyond the
            // double range), it would take in any distance: a complex pair
            // with the real value between them came out as that value three
            // times. Such values are one cluster only as close as a
            // defective eigenvalue's are, within (64 eps)^(1/n) of the scale.
            const double apart = std::hypot(out.lambda[i].re - out.lambda[j].re, out.lambda[i].im - out.lambda[j].im);
            const double smaller = std::min(out.scale[i], out.scale[j]);
            const double reach =
                std::isfinite(smaller)
                    ? 0.5 * ClusterNoise * smaller
                    : std::pow(64.0 * DBL_EPSILON, 1.0 / N) *
                          (out.unitScale + std::max(std::hypot(out.lambda[i].re, out.lambda[i].im),
                                                    std::hypot(out.lambda[j].re, out.lambda[j].im)));
            if (std::isfinite(apart) && apart <= reach) pairs[pairCount++] = {i, j};
        }
    const auto apart = [&](const std::array<std::size_t, 2>& p) {
        return std::hypot(out.lambda[p[0]].re - out.lambda[p[1]].re, out.lambda[p[0]].im - out.lambda[p[1]].im);
    };
    for (std::size_t k = 1; k < pairCount; ++k)
        for (std::size_t j = k; j > 0 && apart(pairs[j]) < apart(pairs[j - 1]); --j) std::swap(pairs[j], pairs[j - 1]);
    for (std::size_t p = 0; p < pairCount; ++p) {
        const int keep = std::min(out.cluster[pairs[p][0]], out.cluster[pairs[p][1]]);
        const int gone = std::max(out.cluster[pairs[p][0]], out.cluster[pairs[p][1]]);
        if (keep == gone) continue;
        Complex mean = 0.0;
        int members = 0;
        for (std::size_t k = 0; k < finite; ++k)
            if (out.cluster[k] == keep || out.cluster[k] == gone) mean += Complex(balanced[k].re, balanced[k].im), ++members;
        bool exact = false;
        NullVector<N>(A, B, mean / static_cast<double>(members), &exact);
        if (!exact) continue;
        for (std::size_t k = 0; k < finite; ++k)
            if (out.cluster[k] == gone) out.cluster[k] = keep;
    }
    return out;
}


extern template GeneralEigenvalues SolveGeneralPencil<2>(const Matrix10&, const Matrix10&);
extern template GeneralEigenvalues SolveGeneralPencil<3>(const Matrix10&, const Matrix10&);
extern template GeneralEigenvalues SolveGeneralPencil<4>(const Matrix10&, const Matrix10&);
extern template GeneralEigenvalues SolveGeneralPencil<5>(const Matrix10&, const Matrix10&);
extern template GeneralEigenvalues SolveGeneralPencil<6>(const Matrix10&, const Matrix10&);

}  // namespace varno::pencil
