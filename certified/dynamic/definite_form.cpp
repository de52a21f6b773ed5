#include "certified/dynamic/definite_form.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "certified/dynamic/lapack.h"

namespace varno {
namespace {

// The binary exponent e of x = f 2^e, f in [1/2, 1); INT_MIN for 0. Read
// off the bits for a normal x, which every entry but a subnormal one is:
// frexp's call costs more than the rest of a pass over n^2 entries.
int Exponent(double x)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased != 0 && biased != 0x7ff) return biased - 1022;
    if (x == 0.0) return INT_MIN;
    int e = 0;
    (void)std::frexp(x, &e);
    return e;
}

// x 2^c, rounded once as ldexp rounds it: a product with an exact power of
// two is, where that power is a normal double.
double Scaled(double x, int c)
{
    if (c >= -1022 && c <= 1023) {
        const std::uint64_t bits = static_cast<std::uint64_t>(c + 1023) << 52;
        double power = 0.0;
        std::memcpy(&power, &bits, sizeof power);
        return x * power;
    }
    return std::ldexp(x, c);
}

// S B S and S A S, each scaled by a power of two to a largest entry in
// [1/2, 1), where B's diagonal is positive; false where
// it is not.
bool FormInOwnUnits(const DenseMatrix& typedA, const DenseMatrix& typedB, double sign, DynamicPencil& out)
{
    const int n = typedB.n;
    out.congruence.assign(static_cast<std::size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        const double d = sign * typedB(i, i);
        if (!(d > 0.0)) return false;
        // 2^e / 2 <= d < 2^e; 2^(2c) d then lies in [1/4, 2) with c = -floor(e / 2).
        const int e = Exponent(d);
        out.congruence[static_cast<std::size_t>(i)] = -(e >= 0 ? e / 2 : (e - 1) / 2);
    }
    // Scales from into to, and returns the exponent taken out of it (INT_MIN: all zero).
    const auto scaled = [&](const DenseMatrix& from, DenseMatrix& to, double& frobenius) {
        int top = INT_MIN;
        for (int j = 0; j < n; ++j)
            for (int i = 0; i <= j; ++i) {
                const int e = Exponent(from(i, j));
                if (e != INT_MIN)
                    top = std::max(top, e + out.congruence[static_cast<std::size_t>(i)] +
                                            out.congruence[static_cast<std::size_t>(j)]);
            }
        to = DenseMatrix(n);
        if (top == INT_MIN) return top;
        long double sum = 0.0L;
        for (int j = 0; j < n; ++j)
            for (int i = 0; i <= j; ++i) {
                const int c = out.congruence[static_cast<std::size_t>(i)] +
                              out.congruence[static_cast<std::size_t>(j)] - top;
                const double v = sign * Scaled(from(i, j), c);
                to(i, j) = to(j, i) = v;
                sum += static_cast<long double>(v) * v * (i == j ? 1 : 2);
            }
        frobenius = static_cast<double>(std::sqrt(sum)) * (1.0 + 4 * DBL_EPSILON);
        return top;
    };
    // The exponents are those of doubles offset by congruence steps of at
    // most 538 each: far inside int.
    const int topA = scaled(typedA, out.a, out.frobeniusA);
    const int topB = scaled(typedB, out.b, out.frobeniusB);
    out.n = n;
    out.aExponent = topA == INT_MIN ? topB : topA;
    out.bExponent = topB;
    out.shift = out.bExponent - out.aExponent;
    return true;
}

// |a|_2 by a few steps of the power method, rounded up by a tenth: an
// estimate (from below, before the tenth), for the scales s_k that decide
// how far bisection goes and what a count can tell apart, not for a bound.
double NormEstimate(const DenseMatrix& a)
{
    const int n = a.n;
    // |a|_2 is at least its largest column's norm, which no start vector can miss
    // (a free structure's stiffness takes (1, ..., 1) to 0).
    double norm = 0.0;
    for (int j = 0; j < n; ++j) {
        long double column = 0.0L;
        for (int i = 0; i < n; ++i) column += static_cast<long double>(a(i, j)) * a(i, j);
        norm = std::max(norm, static_cast<double>(std::sqrt(column)));
    }
    std::vector<double> x(static_cast<std::size_t>(n)), y(x.size());
    for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = 1.0 + 0.5 * std::sin(1.0 + i);
    for (int step = 0; step < 12; ++step) {
        const double one = 1.0, zero = 0.0;
        const int inc = 1;
        dgemv_("N", &n, &n, &one, a.a.data(), &n, x.data(), &inc, &zero, y.data(), &inc, 1);
        long double len = 0.0L, xx = 0.0L;
        for (std::size_t i = 0; i < x.size(); ++i) len += static_cast<long double>(y[i]) * y[i], xx += static_cast<long double>(x[i]) * x[i];
        if (!(len > 0.0L) || !std::isfinite(static_cast<double>(len))) break;
        norm = std::max(norm, static_cast<double>(std::sqrt(len / xx)));
        const double scale = static_cast<double>(1.0L / std::sqrt(len));
        for (std::size_t i = 0; i < x.size(); ++i) x[i] = y[i] * scale;
    }
    return norm * 1.1;
}

}  // namespace

bool CholeskySucceeds(const DenseMatrix& a, double margin)
{
    const int n = a.n;
    double top = 0.0;
    for (int i = 0; i < n; ++i) top = std::max(top, a(i, i));
    DenseMatrix f = a;
    for (int i = 0; i < n; ++i) f(i, i) -= margin * top;
    int info = 0;
    dpotrf_("U", &n, f.a.data(), &n, &info, 1);
    return info == 0;
}

std::optional<DynamicPencil> FormDynamicPencil(const SymmetricPencil& pencil)
{
    const int n = pencil.n();
    for (const DenseMatrix* m : {&pencil.K, &pencil.M})
        for (const double v : m->a)
            if (!std::isfinite(v)) return std::nullopt;
    struct Try {
        DefiniteMatrix which;
        const DenseMatrix* a;
        const DenseMatrix* b;
        double sign;
    };
    const Try tries[] = {{DefiniteMatrix::M, &pencil.K, &pencil.M, 1.0},
                         {DefiniteMatrix::MinusM, &pencil.K, &pencil.M, -1.0},
                         {DefiniteMatrix::K, &pencil.M, &pencil.K, 1.0},
                         {DefiniteMatrix::MinusK, &pencil.M, &pencil.K, -1.0}};
    // The first of them well conditioned in its own units decides; failing
    // that, the best conditioned of those definite at all. A b near
    // singular makes every residual bound useless and leaves bisection to
    // do all the work, where K might have served.
    std::optional<DynamicPencil> best;
    double bestFloor = -1.0;
    for (const Try& t : tries) {
        DynamicPencil p;
        if (!FormInOwnUnits(*t.a, *t.b, t.sign, p)) continue;
        // The floor's proof is a factorisation with at least the margin's
        // lowering: where it stands, b is safely definite, at no extra cost.
        // Definite only by the margin, with no floor above it proved, is
        // definite to within rounding: QZ's, as for n <= MaxOrder.
        p.smallestOfB = SmallestEigenvalueFloor(p.b);
        if (!(p.smallestOfB > 0.0)) continue;
        p.normA = NormEstimate(p.a);
        p.normB = NormEstimate(p.b);
        p.definite = t.which;
        double top = 0.0;
        for (int i = 0; i < n; ++i) top = std::max(top, p.b(i, i));
        const double floor = p.smallestOfB / top;
        if (floor >= 0x1p-20) return p;
        if (floor > bestFloor) bestFloor = floor, best = std::move(p);
    }
    return best;
}

}  // namespace varno

namespace varno {

double SmallestEigenvalueFloor(const DenseMatrix& b)
{
    const int n = b.n;
    DenseMatrix f = b;
    int info = 0;
    dpotrf_("U", &n, f.a.data(), &n, &info, 1);
    if (info != 0) return 0.0;
    double norm1 = 0.0;
    for (int j = 0; j < n; ++j) {
        double column = 0.0;
        for (int i = 0; i < n; ++i) column += std::fabs(b(i, j));
        norm1 = std::max(norm1, column);
    }
    double rcond = 0.0;
    std::vector<double> work(3 * static_cast<std::size_t>(n));
    std::vector<int> iwork(static_cast<std::size_t>(n));
    dpocon_("U", &n, f.a.data(), &n, &norm1, &rcond, work.data(), iwork.data(), &info, 1);
    if (info != 0 || !(rcond > 0.0)) return 0.0;
    // |b^-1|_2 <= |b^-1|_1 for a symmetric matrix, and the estimate is within
    // a small factor of |b^-1|_1, usually from below: start at half of what
    // it implies and prove it, lowering it where the proof fails.
    const double margin = 8.0 * (n + 1) * DBL_EPSILON;
    double top = 0.0;
    for (int i = 0; i < n; ++i) top = std::max(top, b(i, i));
    double tau = 0.5 * rcond * norm1;
    for (int attempt = 0; attempt < 6 && tau > margin * top; ++attempt, tau *= 0.125) {
        DenseMatrix lowered = b;
        for (int i = 0; i < n; ++i) lowered(i, i) -= tau;
        if (CholeskySucceeds(lowered, margin)) return tau;
    }
    return 0.0;
}

}  // namespace varno
