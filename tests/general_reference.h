// An independent reference for pencils that are not definite, for tests and
// the fuzzer: the roots of det(K - lambda M), its coefficients expanded by
// Leibniz's formula in __float128 (113-bit significand) from the double
// entries, the roots found by Aberth's iteration in the same precision and
// polished by Newton's. Nothing here shares code or method with the program:
// no QZ, no LAPACK, no Eigen. A coefficient is right to about 1e-33 of the
// sum of its terms' magnitudes; for the pencils the tests draw (M well
// conditioned) each root is then right far beyond double precision, and
// Bound says how far for any pencil.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "core/framework.h"
#include "core/number_text.h"

namespace varno::test {

using Quad = __float128;

struct QuadComplex {
    Quad re = 0;
    Quad im = 0;
};

inline QuadComplex operator+(QuadComplex a, QuadComplex b) { return {a.re + b.re, a.im + b.im}; }
inline QuadComplex operator-(QuadComplex a, QuadComplex b) { return {a.re - b.re, a.im - b.im}; }
inline QuadComplex operator*(QuadComplex a, QuadComplex b)
{
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
inline QuadComplex operator/(QuadComplex a, QuadComplex b)
{
    const Quad d = b.re * b.re + b.im * b.im;
    return {(a.re * b.re + a.im * b.im) / d, (a.im * b.re - a.re * b.im) / d};
}
inline Quad QuadAbs(Quad x) { return x < 0 ? -x : x; }
// |z| without a square root: good to a factor sqrt(2), enough for sizes.
inline Quad Size(QuadComplex z) { return std::max(QuadAbs(z.re), QuadAbs(z.im)); }
// |z| itself, to double precision, at any magnitude.
inline Quad Modulus(QuadComplex z)
{
    const Quad big = Size(z);
    if (big == 0) return 0;
    const double ratio = static_cast<double>(std::min(QuadAbs(z.re), QuadAbs(z.im)) / big);
    return big * static_cast<Quad>(std::sqrt(1.0 + ratio * ratio));
}

// det(K - lambda M) = sum c[i] lambda^i, and each coefficient's sum of
// magnitudes of its terms (what its rounding is relative to).
struct CharacteristicPolynomial {
    int n = 0;
    std::array<Quad, 7> c{};
    std::array<Quad, 7> magnitude{};
};

// k and m: full symmetric n x n, row-major in [N][N] (N <= 6).
template <std::size_t N>
inline CharacteristicPolynomial Characteristic(int n, const double (&k)[N][N], const double (&m)[N][N])
{
    CharacteristicPolynomial p;
    p.n = n;
    std::array<int, 6> perm{0, 1, 2, 3, 4, 5};
    do {
        // The sign of the permutation by counting inversions.
        int inversions = 0;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) inversions += perm[static_cast<std::size_t>(i)] > perm[static_cast<std::size_t>(j)];
        // prod_i (k[i][perm i] - lambda m[i][perm i]) as a polynomial.
        std::array<Quad, 7> term{1, 0, 0, 0, 0, 0, 0};
        for (int i = 0; i < n; ++i) {
            const Quad a = static_cast<Quad>(k[i][perm[static_cast<std::size_t>(i)]]);
            const Quad b = -static_cast<Quad>(m[i][perm[static_cast<std::size_t>(i)]]);
            for (int d = i + 1; d >= 0; --d)
                term[static_cast<std::size_t>(d)] =
                    term[static_cast<std::size_t>(d)] * a + (d > 0 ? term[static_cast<std::size_t>(d - 1)] * b : Quad(0));
        }
        for (std::size_t d = 0; d <= static_cast<std::size_t>(n); ++d) {
            p.c[d] += inversions % 2 == 0 ? term[d] : -term[d];
            p.magnitude[d] += QuadAbs(term[d]);
        }
    } while (std::next_permutation(perm.begin(), perm.begin() + n));
    return p;
}

struct GeneralReference {
    std::vector<QuadComplex> lambda;  // the n roots, in no particular order
    Quad largest = 0;                 // max |lambda|
    Quad bound = 0;                   // a first-order bound of every root's error
    // How far a root moves, relative to the largest, per relative change of
    // the entries: sum |terms of c_d| |lambda|^d / |p'(lambda)| / largest,
    // the worst root. And |c_n| over the sum of its terms' magnitudes: how
    // far det M is from cancelling to zero.
    Quad conditioning = 0;
    Quad leading = 0;
    // The same for a change of every entry by a fraction of its matrix's
    // largest entry, which is what a backward stable QZ commits:
    // n! (max|K| + max|M| |lambda|)^n / |p'(lambda)| / largest.
    Quad normwise = 0;
};

// The roots of the characteristic polynomial; empty when its leading
// coefficient is zero (M singular), whose roots are not all finite.
template <std::size_t N>
inline GeneralReference ReferenceRoots(int n, const double (&k)[N][N], const double (&m)[N][N])
{
    const CharacteristicPolynomial p = Characteristic(n, k, m);
    GeneralReference out;
    const Quad lead = p.c[static_cast<std::size_t>(n)];
    if (lead == 0) return out;
    Quad kBig = 0, mBig = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) kBig = std::max(kBig, QuadAbs(Quad(k[i][j]))), mBig = std::max(mBig, QuadAbs(Quad(m[i][j])));
    const auto eval = [&](QuadComplex z, QuadComplex& derivative) {
        QuadComplex v{p.c[static_cast<std::size_t>(n)], 0};
        derivative = {0, 0};
        for (int d = n - 1; d >= 0; --d) {
            derivative = derivative * z + v;
            v = v * z + QuadComplex{p.c[static_cast<std::size_t>(d)], 0};
        }
        return v;
    };
    // Start on a circle of radius r = max (|c_d / c_n|)^(1 / (n - d)), in
    // powers of two, off every axis (Fujiwara: every root within 2 r).
    Quad r = 0;
    for (int d = 0; d < n; ++d) {
        const Quad q = QuadAbs(p.c[static_cast<std::size_t>(d)] / lead);
        if (q == 0) continue;
        const auto power = [&](Quad x) {
            Quad y = 1;
            for (int i = d; i < n; ++i) y *= x;
            return y;
        };
        Quad x = 1;
        while (power(x) < q) x *= 2;
        while (power(x) > q) x /= 2;
        r = std::max(r, x);
    }
    if (r == 0) r = 1;
    // A coefficient whose every term is zero makes 0 a root exactly, as
    // often as the lowest such run goes (K with a zero block): Aberth would
    // creep towards a multiple root for ever, stopping anywhere near it.
    std::size_t zeros = 0;
    while (zeros < static_cast<std::size_t>(n) && p.magnitude[zeros] == 0) ++zeros;
    const auto evalDeflated = [&](QuadComplex z, QuadComplex& derivative) {
        QuadComplex v{p.c[static_cast<std::size_t>(n)], 0};
        derivative = {0, 0};
        for (int d = n - 1; d >= static_cast<int>(zeros); --d) {
            derivative = derivative * z + v;
            v = v * z + QuadComplex{p.c[static_cast<std::size_t>(d)], 0};
        }
        return v;
    };
    std::vector<QuadComplex> z(static_cast<std::size_t>(n));
    QuadComplex step{Quad(0.6), Quad(0.8)};  // on the unit circle, an irrational angle
    QuadComplex w{r * Quad(0.9), r * Quad(0.43)};
    for (std::size_t i = zeros; i < z.size(); ++i) z[i] = w = w * step;
    // Aberth: z_i -= N / (1 - N sum 1 / (z_i - z_j)), N = p / p'.
    for (int iteration = 0; iteration < 500; ++iteration) {
        Quad change = 0, size = 0;
        for (std::size_t i = zeros; i < z.size(); ++i) {
            QuadComplex derivative;
            const QuadComplex v = evalDeflated(z[i], derivative);
            if (v.re == 0 && v.im == 0) continue;
            const QuadComplex newton = v / derivative;
            QuadComplex sum{0, 0};
            for (std::size_t j = zeros; j < z.size(); ++j)
                if (j != i) sum = sum + QuadComplex{1, 0} / (z[i] - z[j]);
            const QuadComplex correction = newton / (QuadComplex{1, 0} - newton * sum);
            z[i] = z[i] - correction;
            change = std::max(change, Size(correction));
            size = std::max(size, Size(z[i]));
        }
        if (change <= Quad(1e-32) * size) break;
    }
    // Newton's polish, then the first-order error bound from the rounding of
    // the coefficients (and of the evaluation, of the same size).
    const Quad unit = Quad(1e-33);
    for (QuadComplex& x : z) {
        for (int polish = 0; polish < 3; ++polish) {
            QuadComplex derivative;
            const QuadComplex v = eval(x, derivative);
            if ((v.re != 0 || v.im != 0) && (derivative.re != 0 || derivative.im != 0)) x = x - v / derivative;
        }
        QuadComplex derivative;
        eval(x, derivative);
        Quad noise = 0, power = 1;
        for (int d = 0; d <= n; ++d) {
            noise += (p.magnitude[static_cast<std::size_t>(d)] + QuadAbs(p.c[static_cast<std::size_t>(d)])) * power;
            power *= Size(x) * 2;
        }
        const Quad slope = Modulus(derivative);
        out.bound = std::max(out.bound, slope > 0 ? 8 * unit * noise / slope : Quad(1e300));
        out.conditioning = std::max(out.conditioning, slope > 0 ? noise / slope : Quad(1e300));
        Quad spread = 1;
        for (int i = 1; i <= n; ++i) spread *= Quad(i) * (kBig + mBig * Modulus(x));
        out.normwise = std::max(out.normwise, slope > 0 ? spread / slope : Quad(1e300));
        out.largest = std::max(out.largest, Modulus(x));
        out.lambda.push_back(x);
    }
    out.conditioning = out.largest > 0 ? out.conditioning / out.largest : Quad(1e300);
    out.normwise = out.largest > 0 ? out.normwise / out.largest : Quad(1e300);
    out.leading = QuadAbs(lead) / p.magnitude[static_cast<std::size_t>(n)];
    // A multiple root is found only to the n-th root of the noise: Newton's
    // bound does not hold there, so the roots' spread stands in for it.
    for (std::size_t i = 0; i < z.size(); ++i)
        for (std::size_t j = i + 1; j < z.size(); ++j)
            if (Size(z[i] - z[j]) < Quad(1e-6) * out.largest) out.bound = std::max(out.bound, out.largest);
    return out;
}

// The rule for every report shown for such a pencil: its values match the
// true eigenvalues one to one, as the report shows them (a real form shows
// no imaginary part), each within 1e-6 of the largest |lambda|. On failure,
// why says which.
inline bool ShownRightForRoots(const std::vector<Eigenvalue>& shown, bool complexForm,
                               const GeneralReference& reference, std::string* why = nullptr)
{
    const std::size_t n = reference.lambda.size();
    if (shown.size() != n) {
        if (why != nullptr) *why = "shows " + std::to_string(shown.size()) + " values";
        return false;
    }
    const Quad tolerance = Quad(1e-6) * reference.largest;
    std::array<std::size_t, 6> order{0, 1, 2, 3, 4, 5};
    for (const Eigenvalue& x : shown)
        if (!std::isfinite(x.re) || !std::isfinite(x.im)) {
            if (why != nullptr) *why = "shows a value that is not finite";
            return false;
        }
    Quad best = -1;
    do {
        Quad worst = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const Eigenvalue& x = shown[i];
            const QuadComplex& t = reference.lambda[order[i]];
            const QuadComplex d{static_cast<Quad>(x.re) - t.re, (complexForm ? static_cast<Quad>(x.im) : Quad(0)) - t.im};
            worst = std::max(worst, Modulus(d));
        }
        if (best < 0 || worst < best) best = worst;
    } while (std::next_permutation(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(n)));
    if (best <= tolerance) return true;
    if (why != nullptr)
        *why = "off by " + FormatShortest(static_cast<double>(best / reference.largest)) + " of the largest |lambda| " +
               FormatShortest(static_cast<double>(reference.largest));
    return false;
}

}  // namespace varno::test
