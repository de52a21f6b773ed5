// Eigenvectors and conditioning of the eigenvalues QZ finds, for the check
// of a pencil that is not definite: the null vector of A - lambda B by
// complete pivoting, the Rayleigh-quotient polish of a value QZ left
// inexact, and each value's condition number in the units typed.
#pragma once

#include <Eigen/Core>
#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <complex>
#include <cstddef>
#include <type_traits>

#include "core/matrix_store.h"
#include "core/order.h"

namespace varno::pencil {

using Complex = std::complex<double>;
using LongComplex = std::complex<long double>;

// |z| to within a factor sqrt(2), without a square root: enough to choose
// pivots and to compare with rounding.
inline double Size(Complex z) { return std::fabs(z.real()) + std::fabs(z.imag()); }
inline double Size(double x) { return std::fabs(x); }

// 1 / z for a z that is not 0, with one division.
inline Complex Reciprocal(Complex z)
{
    const double d = z.real() * z.real() + z.imag() * z.imag();
    return d > 0.0 && std::isfinite(d) ? Complex(z.real() / d, -z.imag() / d) : 1.0 / z;
}
// The real part of the same for a real z, bit for bit: z / z^2, not 1 / z.
inline double Reciprocal(double x)
{
    const double d = x * x;
    return d > 0.0 && std::isfinite(d) ? x / d : (1.0 / Complex(x, 0.0)).real();
}

inline Complex Times(Complex a, Complex b)
{
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}
inline double Times(double a, double b) { return a * b; }

// Whether the null vector and polish of a real lambda may be formed in real
// arithmetic. Their complex forms then carry imaginary parts that are zeros
// and real parts that are the real forms' own, bit for bit: every product
// of an imaginary part is a zero, and the real parts' operations are the
// same in the same order. That needs every quantity finite, as an infinity
// times a zero imaginary part is a NaN in the complex form alone: complete
// pivoting keeps the multipliers at most 1 and the back substitution's
// entries at most 2^n, so entries of A - lambda B below 2^900 keep all of
// them far inside the double range.
inline bool RealSafe(double big, Complex lambda) { return lambda.imag() == 0.0 && big <= 0x1p+900; }

template <int N>
double LargestOf(const Eigen::Matrix<double, N, N>& A, const Eigen::Matrix<double, N, N>& B, Complex lambda)
{
    return A.cwiseAbs().maxCoeff() + Size(lambda) * B.cwiseAbs().maxCoeff();
}

// Gaussian elimination with complete pivoting on A - lambda B, in T (double
// for a real lambda, else Complex); big: LargestOf(A, B, lambda).
template <int N, class T>
std::array<T, N> EliminatedNullVector(const Eigen::Matrix<double, N, N>& A, const Eigen::Matrix<double, N, N>& B,
                                      Complex lambda, double big, bool* exact)
{
    std::array<std::array<T, N>, N> c{};
    std::array<int, N> column{};
    for (int i = 0; i < N; ++i) {
        column[static_cast<std::size_t>(i)] = i;
        for (int j = 0; j < N; ++j) {
            T& e = c[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            if constexpr (std::is_same_v<T, Complex>)
                e = Complex(A(i, j) - lambda.real() * B(i, j), -lambda.imag() * B(i, j));
            else
                e = A(i, j) - lambda.real() * B(i, j);
        }
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
        const T inverse = Reciprocal(c[k][k]);
        for (std::size_t i = k + 1; i < N; ++i) {
            const T f = Times(c[i][k], inverse);
            for (std::size_t j = k + 1; j < N; ++j) c[i][j] -= Times(f, c[k][j]);
        }
    }
    if (exact) *exact = Size(c[N - 1][N - 1]) <= 64.0 * N * DBL_EPSILON * big;
    std::array<T, N> y{};
    y[N - 1] = 1.0;
    for (int i = N - 2; i >= 0; --i) {
        T t = 0.0;
        for (int j = i + 1; j < N; ++j)
            t += Times(c[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)], y[static_cast<std::size_t>(j)]);
        y[static_cast<std::size_t>(i)] = -Times(t, Reciprocal(c[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)]));
    }
    std::array<T, N> x{};
    for (std::size_t i = 0; i < N; ++i) x[static_cast<std::size_t>(column[i])] = y[i];
    return x;
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
    const double big = LargestOf<N>(A, B, lambda);
    if (!RealSafe(big, lambda)) return EliminatedNullVector<N, Complex>(A, B, lambda, big, exact);
    const std::array<double, N> real = EliminatedNullVector<N, double>(A, B, lambda, big, exact);
    std::array<Complex, N> x{};
    for (std::size_t i = 0; i < N; ++i) x[i] = real[i];
    return x;
}

// One step of the polish below, in T: the Rayleigh quotient of x.
template <int N, class T>
T RayleighQuotient(const Eigen::Matrix<double, N, N>& A, const Eigen::Matrix<double, N, N>& B, const std::array<T, N>& x)
{
    T xax = 0.0, xbx = 0.0;
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j) {
            const T xx = Times(x[static_cast<std::size_t>(i)], x[static_cast<std::size_t>(j)]);
            xax += xx * A(i, j);
            xbx += xx * B(i, j);
        }
    return Times(xax, Reciprocal(xbx));
}

// lambda itself where it is an eigenvalue of the balanced pair to within
// rounding, as QZ's are; else the Rayleigh quotient x^T A x / x^T B x of the
// null vector x (a symmetric pencil's left eigenvector is its right one,
// transposed), taken again until it is, at most four times. Each step
// squares the error. Eigen's QZ has given 1.006337 for 1.006641 (s about 7)
// where a degree of freedom has its mass at rounding level beside a
// stiffness that is not: the step mends that where it happens, and leaves
// QZ's values alone elsewhere. x: the null vector at the lambda returned.
// Real values take the real forms while RealSafe holds, and are then the
// complex forms' bits.
template <int N>
Complex Polished(const Eigen::Matrix<double, N, N>& A, const Eigen::Matrix<double, N, N>& B,
                 Complex lambda, std::array<Complex, N>& x)
{
    bool exact = false;
    double big = LargestOf<N>(A, B, lambda);
    if (RealSafe(big, lambda)) {
        double value = lambda.real();
        std::array<double, N> y = EliminatedNullVector<N, double>(A, B, lambda, big, &exact);
        bool safe = true;
        for (int step = 0; step < 4 && !exact; ++step) {
            const double quotient = RayleighQuotient<N, double>(A, B, y);
            if (!std::isfinite(quotient)) break;
            value = quotient;
            big = LargestOf<N>(A, B, value);
            if (!(safe = RealSafe(big, value))) break;
            y = EliminatedNullVector<N, double>(A, B, value, big, &exact);
        }
        if (safe) {
            for (std::size_t i = 0; i < N; ++i) x[i] = y[i];
            return value;
        }
    }
    x = NullVector<N>(A, B, lambda, &exact);
    for (int step = 0; step < 4 && !exact; ++step) {
        const Complex quotient = RayleighQuotient<N, Complex>(A, B, x);
        if (!std::isfinite(quotient.real()) || !std::isfinite(quotient.imag())) break;
        lambda = quotient;
        x = NullVector<N>(A, B, lambda, &exact);
    }
    return lambda;
}

// A lower bound of |X|_2 for the leading n x n block of a store's matrix:
// its largest entry, or its Frobenius norm over sqrt(n), whichever is larger.
inline long double NormBelow(const Matrix10& X, int n)
{
    long double big = 0.0L, sum = 0.0L;
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) {
            const auto x = static_cast<long double>(X[static_cast<std::size_t>(std::min(i, j))][static_cast<std::size_t>(std::max(i, j))]);
            big = std::max(big, std::fabs(x));
            sum += x * x;
        }
    return std::max(big, std::sqrt(sum / static_cast<long double>(n)));
}

// An upper bound: the Frobenius norm.
inline long double NormAbove(const Matrix10& X, int n)
{
    long double sum = 0.0L;
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) {
            const auto x = static_cast<long double>(X[static_cast<std::size_t>(std::min(i, j))][static_cast<std::size_t>(std::max(i, j))]);
            sum += x * x;
        }
    return std::sqrt(sum);
}

// What the conditioning of every eigenvalue needs of the pencil, once.
struct Norms {
    long double k = 0.0L, m = 0.0L;     // |K|_2 and |M|_2 from below, as typed
    long double a = 0.0L, b = 0.0L;     // the same for the balanced pair
    std::array<long double, MaxOrder> unit{};  // 2^d_i: D's entries
};

// |z|^2 and |z| of a conditioning's quantities, real or complex: a real
// one's are its complex form's bits, as a zero imaginary part adds nothing.
inline long double Norm(long double x) { return x * x; }
inline long double Norm(LongComplex z) { return std::norm(z); }
inline long double Abs(long double x) { return std::fabs(x); }
inline long double Abs(LongComplex z) { return std::abs(z); }
// The plain product, not the library's, which guards each product against
// infinities by a call: for a finite y the two give the same bits, and for a
// y with an infinity or a NaN, s is HUGE_VAL whichever is used, as its
// length is then not finite and its form infinite or NaN.
inline long double Times(long double a, long double b) { return a * b; }
inline LongComplex Times(LongComplex a, LongComplex b)
{
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// Conditioning below in T: long double for a real lambda and a real y,
// whose complex form's products of imaginary parts are zeros and whose real
// parts are then these bits; else LongComplex.
template <int N, class T>
double ConditioningIn(const Eigen::Matrix<double, N, N>& B, Complex lambdaScaled, const std::array<Complex, N>& y,
                      int shift, const Norms& norms, const Matrix10& M)
{
    std::array<T, N> x{}, z{};
    long double length = 0.0L, balancedLength = 0.0L;
    for (std::size_t i = 0; i < N; ++i) {
        if constexpr (std::is_same_v<T, LongComplex>)
            z[i] = LongComplex(static_cast<long double>(y[i].real()), static_cast<long double>(y[i].imag()));
        else
            z[i] = static_cast<long double>(y[i].real());
        x[i] = z[i] * norms.unit[i];
        length += Norm(x[i]);
        balancedLength += Norm(z[i]);
    }
    T form = 0.0L, balancedForm = 0.0L;
    for (int i = 1; i <= N; ++i)
        for (int j = 1; j <= N; ++j) {
            const auto u = static_cast<std::size_t>(i - 1), v = static_cast<std::size_t>(j - 1);
            form += Times(x[u] * static_cast<long double>(M[static_cast<std::size_t>(std::min(i, j))][static_cast<std::size_t>(std::max(i, j))]), x[v]);
            balancedForm += Times(z[u] * static_cast<long double>(B(i - 1, j - 1)), z[v]);
        }
    long double size = std::fabs(static_cast<long double>(lambdaScaled.real()));
    if constexpr (std::is_same_v<T, LongComplex>)
        size = std::abs(LongComplex(static_cast<long double>(lambdaScaled.real()), static_cast<long double>(lambdaScaled.imag())));
    const long double scale = std::ldexp(1.0L, shift);
    const long double typed = (norms.k + size * scale * norms.m) * length / Abs(form);
    const long double balanced = (norms.a + size * norms.b) * balancedLength / Abs(balancedForm) * scale;
    const long double s = std::min(typed, balanced);
    return s < static_cast<long double>(DBL_MAX) ? static_cast<double>(s) : HUGE_VAL;  // a NaN too
}

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
    bool real = lambdaScaled.imag() == 0.0;
    for (std::size_t i = 0; i < N; ++i) real = real && y[i].imag() == 0.0;
    return real ? ConditioningIn<N, long double>(B, lambdaScaled, y, shift, norms, M)
                : ConditioningIn<N, LongComplex>(B, lambdaScaled, y, shift, norms, M);
}

}  // namespace varno::pencil
