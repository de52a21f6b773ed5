#include "certified/general_pencil.h"

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
// much as the others, and its entries are not taken for rounding noise. d
// gathers the e_i: an eigenvector x of the balanced pair is D x of the
// pencil's own.
void Balance(Square& a, Square& b, int n, std::array<int, 4>& d)
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

using Complex = std::complex<double>;
using LongComplex = std::complex<long double>;

// |z| to within a factor sqrt(2), without a square root: enough to choose
// pivots and to compare with rounding.
double Size(Complex z) { return std::fabs(z.real()) + std::fabs(z.imag()); }

// 1 / z for a z that is not 0, with one division.
Complex Reciprocal(Complex z)
{
    const double d = z.real() * z.real() + z.imag() * z.imag();
    return d > 0.0 && std::isfinite(d) ? Complex(z.real() / d, -z.imag() / d) : 1.0 / z;
}

Complex Times(Complex a, Complex b)
{
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// A vector x with (A - lambda B) x = 0 to within rounding, for an
// eigenvalue lambda of the balanced pair: Gaussian elimination with complete
// pivoting leaves the singularity in the last pivot, and back substitution
// with that pivot left out gives the null vector. exact: whether that pivot
// is at rounding level, as it is where lambda is an eigenvalue to within the
// rounding of computing one; the rounding of A - lambda B is relative to |A|
// + |lambda| |B|, not to its own entries, which cancel where the two are
// nearly proportional.
template <int N>
std::array<Complex, N> NullVector(const Eigen::Matrix<double, N, N>& A, const Eigen::Matrix<double, N, N>& B,
                                  Complex lambda, bool* exact = nullptr)
{
    std::array<std::array<Complex, N>, N> c{};
    std::array<int, N> column{};
    const double big = A.cwiseAbs().maxCoeff() + Size(lambda) * B.cwiseAbs().maxCoeff();
    for (int i = 0; i < N; ++i) {
        column[static_cast<std::size_t>(i)] = i;
        for (int j = 0; j < N; ++j)
            c[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] =
                Complex(A(i, j) - lambda.real() * B(i, j), -lambda.imag() * B(i, j));
    }
    const double tiny = big > 0.0 ? DBL_EPSILON * big : DBL_MIN;
    for (std::size_t k = 0; k < N; ++k) {
        std::size_t p = k, q = k;
        double best = -1.0;
        for (std::size_t i = k; i < N; ++i)
            for (std::size_t j = k; j < N; ++j)
                if (Size(c[i][j]) > best) best = Size(c[i][j]), p = i, q = j;
        std::swap(c[k], c[p]);
        for (std::size_t i = 0; i < N; ++i) std::swap(c[i][k], c[i][q]);
        std::swap(column[k], column[q]);
        if (k + 1 == N) break;
        if (Size(c[k][k]) < tiny) c[k][k] = tiny;
        const Complex inverse = Reciprocal(c[k][k]);
        for (std::size_t i = k + 1; i < N; ++i) {
            const Complex f = Times(c[i][k], inverse);
            for (std::size_t j = k + 1; j < N; ++j) c[i][j] -= Times(f, c[k][j]);
        }
    }
    if (exact) *exact = Size(c[N - 1][N - 1]) <= 64.0 * N * DBL_EPSILON * big;
    std::array<Complex, N> y{};
    y[N - 1] = 1.0;
    for (int i = N - 2; i >= 0; --i) {
        Complex t = 0.0;
        for (int j = i + 1; j < N; ++j)
            t += Times(c[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)], y[static_cast<std::size_t>(j)]);
        y[static_cast<std::size_t>(i)] = -Times(t, Reciprocal(c[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)]));
    }
    std::array<Complex, N> x{};
    for (std::size_t i = 0; i < N; ++i) x[static_cast<std::size_t>(column[i])] = y[i];
    return x;
}

// lambda itself where it is an eigenvalue of the balanced pair to within
// rounding, as QZ's are; else the Rayleigh quotient x^T A x / x^T B x of the
// null vector x (a symmetric pencil's left eigenvector is its right one,
// transposed), taken again until it is, at most four times. Each step
// squares the error. Eigen's QZ has given 1.006337 for 1.006641 (s about 7)
// where a degree of freedom has its mass at rounding level beside a
// stiffness that is not: the step mends that where it happens, and leaves
// QZ's values alone elsewhere. x: the null vector at the lambda returned.
template <int N>
Complex Polished(const Eigen::Matrix<double, N, N>& A, const Eigen::Matrix<double, N, N>& B,
                 Complex lambda, std::array<Complex, N>& x)
{
    bool exact = false;
    x = NullVector<N>(A, B, lambda, &exact);
    for (int step = 0; step < 4 && !exact; ++step) {
        Complex xax = 0.0, xbx = 0.0;
        for (int i = 0; i < N; ++i)
            for (int j = 0; j < N; ++j) {
                const Complex xx = Times(x[static_cast<std::size_t>(i)], x[static_cast<std::size_t>(j)]);
                xax += xx * A(i, j);
                xbx += xx * B(i, j);
            }
        const Complex quotient = Times(xax, Reciprocal(xbx));
        if (!std::isfinite(quotient.real()) || !std::isfinite(quotient.imag())) break;
        lambda = quotient;
        x = NullVector<N>(A, B, lambda, &exact);
    }
    return lambda;
}

// A lower bound of |X|_2 for the leading n x n block of a store's matrix:
// its largest entry, or its Frobenius norm over sqrt(n), whichever is larger.
long double NormBelow(const Matrix10& X, int n)
{
    long double big = 0.0L, sum = 0.0L;
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) {
            const long double x = X[static_cast<std::size_t>(std::min(i, j))][static_cast<std::size_t>(std::max(i, j))];
            big = std::max(big, std::fabs(x));
            sum += x * x;
        }
    return std::max(big, std::sqrt(sum / static_cast<long double>(n)));
}

// An upper bound: the Frobenius norm.
long double NormAbove(const Matrix10& X, int n)
{
    long double sum = 0.0L;
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) {
            const long double x = X[static_cast<std::size_t>(std::min(i, j))][static_cast<std::size_t>(std::max(i, j))];
            sum += x * x;
        }
    return std::sqrt(sum);
}

// What the conditioning of every eigenvalue needs of the pencil, once.
struct Norms {
    long double k = 0.0L, m = 0.0L;     // |K|_2 and |M|_2 from below, as typed
    long double a = 0.0L, b = 0.0L;     // the same for the balanced pair
    std::array<long double, 4> unit{};  // 2^d_i: D's entries
};

// s = (|K| + |lambda| |M|) |x|^2 / |x^T M x| in the units typed, for the
// eigenvalue lambdaScaled of the balanced pair (lambda = lambdaScaled
// 2^shift), y its null vector and x = D y: how far lambda moves under
// relative changes of K and M of one unit. Formed in long double, whose
// range holds every quantity of a pencil of doubles. The same in the
// balanced pair's units, carried over to lambda's, where that is smaller:
// where a degree of freedom is in other units, s as typed can be larger by
// the square of their ratio, and would let anything pass as right; QZ works
// on the balanced pair, and its values are as good as its s.
template <int N>
double Conditioning(const Eigen::Matrix<double, N, N>& B, Complex lambdaScaled, const std::array<Complex, N>& y,
                    int shift, const Norms& norms, const Matrix10& M)
{
    std::array<LongComplex, N> x{};
    long double length = 0.0L, balancedLength = 0.0L;
    for (std::size_t i = 0; i < N; ++i) {
        x[i] = LongComplex(y[i].real(), y[i].imag()) * norms.unit[i];
        length += std::norm(x[i]);
        balancedLength += std::norm(LongComplex(y[i].real(), y[i].imag()));
    }
    LongComplex form = 0.0L, balancedForm = 0.0L;
    for (int i = 1; i <= N; ++i)
        for (int j = 1; j <= N; ++j) {
            const auto u = static_cast<std::size_t>(i - 1), v = static_cast<std::size_t>(j - 1);
            form += x[u] * static_cast<long double>(M[static_cast<std::size_t>(std::min(i, j))][static_cast<std::size_t>(std::max(i, j))]) * x[v];
            balancedForm += LongComplex(y[u].real(), y[u].imag()) * static_cast<long double>(B(i - 1, j - 1)) *
                            LongComplex(y[v].real(), y[v].imag());
        }
    const long double size = std::abs(LongComplex(lambdaScaled.real(), lambdaScaled.imag()));
    const long double scale = std::ldexp(1.0L, shift);
    const long double typed = (norms.k + size * scale * norms.m) * length / std::abs(form);
    const long double balanced = (norms.a + size * norms.b) * balancedLength / std::abs(balancedForm) * scale;
    const long double s = std::min(typed, balanced);
    return s < static_cast<long double>(DBL_MAX) ? static_cast<double>(s) : HUGE_VAL;  // a NaN too
}

// Whether det(A - t B) vanishes to within rounding for every t: the smallest
// singular value of A - t B at rounding level at three values of t of no
// pattern. For a regular pencil at most n of them can be eigenvalues.
template <int N>
bool SingularEverywhere(const Eigen::Matrix<double, N, N>& A, const Eigen::Matrix<double, N, N>& B)
{
    using Mat = Eigen::Matrix<double, N, N>;
    for (const double t : {0.5772156649015329, -1.6180339887498949, 2.718281828459045}) {
        const Mat C = A - t * B;
        // GCC 12 sees Eigen's fixed-size singular values as possibly unset.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
        const Eigen::JacobiSVD<Mat> svd(C);
        const double smallest = svd.singularValues()(N - 1);
#pragma GCC diagnostic pop
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
bool ExactlySingular(const Matrix10& K, const Matrix10& M, int n)
{
    using Wide = unsigned __int128;
    for (const std::uint64_t prime : {4611686018427387847ULL, 4611686018427387817ULL, 4611686018427387787ULL}) {
        const auto times = [prime](std::uint64_t a, std::uint64_t b) {
            return static_cast<std::uint64_t>(static_cast<Wide>(a) * b % prime);
        };
        const auto power = [&](std::uint64_t base, std::uint64_t exponent) {
            std::uint64_t result = 1;
            for (; exponent > 0; exponent >>= 1, base = times(base, base))
                if (exponent & 1) result = times(result, base);
            return result;
        };
        // x 2^1074 modulo the prime.
        const auto residue = [&](double x) -> std::uint64_t {
            if (x == 0.0) return 0;
            int e = 0;
            const double f = std::frexp(std::fabs(x), &e);  // |x| = f 2^e, f in [0.5, 1)
            const auto mantissa = static_cast<std::uint64_t>(std::ldexp(f, 53));
            const std::uint64_t r = times(mantissa % prime, power(2, static_cast<std::uint64_t>(e - 53 + 1074)));
            return x < 0.0 || r == 0 ? (prime - r) % prime : r;
        };
        for (int lambda = 0; lambda <= n; ++lambda) {
            std::array<std::array<std::uint64_t, 10>, 10> a{};
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    const std::size_t r = static_cast<std::size_t>(std::min(i, j) + 1), c = static_cast<std::size_t>(std::max(i, j) + 1);
                    const std::uint64_t k = residue(K[r][c]);
                    const std::uint64_t m = times(residue(M[r][c]), static_cast<std::uint64_t>(lambda));
                    a[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = (k + prime - m) % prime;
                }
            bool zero = false;
            for (std::size_t c = 0; c < static_cast<std::size_t>(n) && !zero; ++c) {
                std::size_t pivot = c;
                while (pivot < static_cast<std::size_t>(n) && a[pivot][c] == 0) ++pivot;
                if (pivot == static_cast<std::size_t>(n)) {
                    zero = true;
                    break;
                }
                std::swap(a[c], a[pivot]);
                const std::uint64_t inverse = power(a[c][c], prime - 2);
                for (std::size_t r = c + 1; r < static_cast<std::size_t>(n); ++r) {
                    const std::uint64_t f = times(a[r][c], inverse);
                    for (std::size_t j = c; j < static_cast<std::size_t>(n); ++j)
                        a[r][j] = (a[r][j] + prime - times(f, a[c][j])) % prime;
                }
            }
            if (!zero) return false;
        }
    }
    return true;
}

// QZ on the pair in each order of its degrees of freedom (from(i, attempt)
// gives row i's source), and on H A H, H B H; the reading whose finite
// values most of the others share, each within 1e-9 of its scale.
template <int N, typename From, typename Read>
void Consensus(const Eigen::Matrix<double, N, N>& A, const Eigen::Matrix<double, N, N>& B, const From& from,
               const Read& read, std::array<Eigenvalue, 4>& values, std::size_t& finite, int& infinite)
{
    using Mat = Eigen::Matrix<double, N, N>;
    struct Reading {
        std::array<Eigenvalue, 4> values{};
        std::size_t finite = 0;
        int infinite = 0;
    };
    std::array<Reading, N + 2> readings{};
    std::size_t count = 0;
    Eigen::Matrix<double, N, 1> v;
    for (int k = 0; k < N; ++k) v(k) = NoPattern[static_cast<std::size_t>(k)];
    const Mat H = Mat::Identity() - (2.0 / v.squaredNorm()) * v * v.transpose();
    for (int attempt = 0; attempt <= N + 1; ++attempt) {
        Mat pa, pb;
        if (attempt <= N) {
            for (int r = 0; r < N; ++r)
                for (int c = 0; c < N; ++c) {
                    pa(r, c) = A(attempt == 0 ? r : from(r, attempt), attempt == 0 ? c : from(c, attempt));
                    pb(r, c) = B(attempt == 0 ? r : from(r, attempt), attempt == 0 ? c : from(c, attempt));
                }
        } else {
            pa = H * A * H;
            pb = H * B * H;
        }
        Eigen::RealQZ<Mat> qz(N);
        qz.setMaxIterations(24);
        qz.compute(pa, pb, false);
        if (qz.info() != Eigen::Success) continue;
        read(qz);
        readings[count++] = {values, finite, infinite};
    }
    const double unit = A.norm() / B.norm();
    std::size_t best = 0;
    int bestSupport = -1;
    for (std::size_t c = 0; c < count; ++c) {
        int support = 0;
        for (std::size_t k = 0; k < readings[c].finite; ++k) {
            const Eigenvalue& x = readings[c].values[k];
            std::size_t agree = 0;
            for (std::size_t o = 0; o < count; ++o) {
                if (o == c) continue;
                for (std::size_t j = 0; j < readings[o].finite; ++j)
                    if (std::hypot(x.re - readings[o].values[j].re, x.im - readings[o].values[j].im) <=
                        1e-9 * (unit + std::hypot(x.re, x.im))) {
                        ++agree;
                        break;
                    }
            }
            support += 2 * agree >= count - 1 ? 1 : 0;
        }
        if (support > bestSupport) bestSupport = support, best = c;
    }
    if (count == 0) return;
    values = readings[best].values;
    finite = readings[best].finite;
    infinite = readings[best].infinite;
}

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
    std::array<int, 4> d{};
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
    std::array<Eigenvalue, 4> values{};  // in the balanced pair's units
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
            // A complex pair. T's block is diagonal (ta, tb), and the pair
            // is that of S's block times diag(1 / ta, 1 / tb), as Eigen's
            // GeneralizedEigenSolver forms it: beta = ta tb, alpha from
            // S2 = S diag(tb, ta), no division until the end.
            const double ta = T(i, i), tb = T(i + 1, i + 1);
            maybeSingular = maybeSingular ||
                            (std::min(std::fabs(ta), std::fabs(tb)) <= tolB && S.template block<2, 2>(i, i).norm() <= tolA);
            if (std::min(std::fabs(ta), std::fabs(tb)) <= roundingB) {
                // Both are huge (a conjugate pair has one modulus): infinite
                // to within rounding.
                out.infinite += 2;
            } else {
                const double beta = ta * tb;
                const double s00 = S(i, i) * tb, s01 = S(i, i + 1) * ta;
                const double s10 = S(i + 1, i) * tb, s11 = S(i + 1, i + 1) * ta;
                const double p = 0.5 * (s00 - s11);
                const double z = std::sqrt(std::fabs(p * p + s10 * s01));
                const double re = (s11 + p) / beta, im = std::fabs(z / beta);
                values[finite++] = {re, -im};
                values[finite++] = {re, im};
            }
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
    // QZ may also call finite values infinite where K and M share a
    // direction at rounding level, in every order (one gave 1.01 and inf
    // three times for -3, 1.01, 2.78 and one value at will): wherever it
    // reads more infinite values than B has directions at rounding level,
    // the pencil on the other directions holds the determined ones, A and B
    // being within rounding of the congruence that splits those off. The
    // shared directions' values are at will, and read as infinite.
    const auto deflate = [&] {
        const Eigen::JacobiSVD<Mat> sb(B);
        int nullity = 0;
        for (int k = 0; k < N; ++k) nullity += sb.singularValues()(k) <= roundingB ? 1 : 0;
        if (out.infinite <= nullity) return;
        Eigen::Matrix<double, 2 * N, N> stacked;
        stacked << A, B;
        const Eigen::JacobiSVD<Eigen::Matrix<double, 2 * N, N>> svd(stacked, Eigen::ComputeFullV);
        int kept = N;  // singular values come in decreasing order
        while (kept > 0 && svd.singularValues()(kept - 1) <= RoundingNoise * N * (A.norm() + B.norm())) --kept;
        if (kept == N || kept == 0) return;
        const Eigen::MatrixXd V = svd.matrixV().leftCols(kept);
        Eigen::RealQZ<Eigen::MatrixXd> part(kept);
        part.setMaxIterations(24);
        part.compute(V.transpose() * A * V, V.transpose() * B * V, false);
        if (part.info() != Eigen::Success) return;
        finite = 0;
        out.infinite = N - kept;
        const Eigen::MatrixXd& S = part.matrixS();
        const Eigen::MatrixXd& T = part.matrixT();
        for (int i = 0; i < kept;) {
            if (i == kept - 1 || S(i + 1, i) == 0.0) {
                if (std::fabs(T(i, i)) <= roundingB)
                    ++out.infinite;
                else
                    values[finite++] = {S(i, i) / T(i, i), 0.0};
                ++i;
                continue;
            }
            const double ta = T(i, i), tb = T(i + 1, i + 1);
            if (std::min(std::fabs(ta), std::fabs(tb)) <= roundingB) {
                out.infinite += 2;
            } else {
                const double beta = ta * tb;
                const double s00 = S(i, i) * tb, s01 = S(i, i + 1) * ta;
                const double s10 = S(i + 1, i) * tb, s11 = S(i + 1, i + 1) * ta;
                const double p = 0.5 * (s00 - s11);
                const double z = std::sqrt(std::fabs(p * p + s10 * s01));
                values[finite++] = {(s11 + p) / beta, -std::fabs(z / beta)};
                values[finite++] = {(s11 + p) / beta, std::fabs(z / beta)};
            }
            i += 2;
        }
    };
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
    if (!schurOfInverse && out.infinite > 0) deflate();
    Norms norms;
    norms.k = NormBelow(K, N);
    norms.m = NormBelow(M, N);
    norms.a = static_cast<long double>(A.norm()) / std::sqrt(static_cast<long double>(N));
    norms.b = static_cast<long double>(B.norm()) / std::sqrt(static_cast<long double>(N));
    for (std::size_t i = 0; i < N; ++i) norms.unit[i] = std::ldexp(1.0L, d[i]);
    std::array<double, 4> scale{};
    for (std::size_t k = 0; k < finite; ++k) {
        std::array<Complex, N> y{};
        const Complex polished = Polished<N>(A, B, Complex(values[k].re, values[k].im), y);
        values[k] = {polished.real(), polished.imag()};
        scale[k] = Conditioning<N>(B, polished, y, ek - em, norms, M);
    }
    out.unitScale = static_cast<double>(std::min(norms.k / NormAbove(M, N),
                                                 norms.a / static_cast<long double>(B.norm()) * std::ldexp(1.0L, ek - em)));
    // In the pencil's own units, by real part, then imaginary part; an
    // insertion sort, as four need. The balanced pair's own values stay
    // beside them.
    std::array<Eigenvalue, 4> balanced = values;
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
            const double apart = std::hypot(out.lambda[i].re - out.lambda[j].re, out.lambda[i].im - out.lambda[j].im);
            if (apart <= 0.5 * ClusterNoise * std::min(out.scale[i], out.scale[j])) pairs[pairCount++] = {i, j};
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

}  // namespace

GeneralEigenvalues GeneralPencilEigenvalues(const Matrix10& K, const Matrix10& M, int n)
{
    switch (n) {
    case 2: return Solve<2>(K, M);
    case 3: return Solve<3>(K, M);
    default: return Solve<4>(K, M);
    }
}

std::array<Eigenvalue, 4> ShownEigenvalues(const GeneralEigenvalues& e)
{
    const std::size_t n = static_cast<std::size_t>(e.n);
    std::array<Eigenvalue, 4> shown = e.lambda;
    for (std::size_t k = 0; k < n; ++k) {
        if (!std::isfinite(e.lambda[k].re)) continue;
        const std::size_t first = static_cast<std::size_t>(e.cluster[k]);
        long double re = 0.0L, im = 0.0L;
        int members = 0;
        for (std::size_t j = 0; j < n; ++j)
            if (e.cluster[j] == e.cluster[k]) re += e.lambda[j].re, im += e.lambda[j].im, ++members;
        Eigenvalue mean{static_cast<double>(re / members), static_cast<double>(im / members)};
        double radius = 0.0;
        for (std::size_t j = 0; j < n; ++j)
            if (e.cluster[j] == e.cluster[k])
                radius = std::max(radius, std::hypot(e.lambda[j].re - mean.re, e.lambda[j].im - mean.im));
        if (members == 1) radius = 0.5 * ClusterNoise * e.scale[first];
        if (std::fabs(mean.im) <= radius) mean.im = 0.0;
        shown[k] = {mean.re + 0.0, mean.im + 0.0};
    }
    const auto before = [](const Eigenvalue& x, const Eigenvalue& y) { return x.re < y.re || (x.re == y.re && x.im < y.im); };
    for (std::size_t k = 1; k < n; ++k)
        for (std::size_t j = k; j > 0 && before(shown[j], shown[j - 1]); --j) std::swap(shown[j], shown[j - 1]);
    return shown;
}

}  // namespace varno
