#include "certified/typed_quotient.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

#include "certified/mode_bounds.h"
#include "certified/scaling.h"

namespace varno {

namespace {

// v := (K - sigma M)^-1 v by Gaussian elimination with complete pivoting
// (the matrix is graded by orders of magnitude beyond the double range, and
// a row pivot would spread its largest entries over the smallest),
// brought to a largest component of 1; false where it breaks down.
bool Refine(const Matrix10& K, const Matrix10& M, int n, Long sigma, std::array<Long, MaxOrder>& v)
{
    std::array<std::array<Long, MaxOrder>, MaxOrder> a{};
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const int r = std::min(i, j) + 1, c = std::max(i, j) + 1;  // the upper triangle as typed
            a[U(i)][U(j)] = static_cast<Long>(K[U(r)][U(c)]) - sigma * static_cast<Long>(M[U(r)][U(c)]);
        }
    std::array<int, MaxOrder> column{0, 1, 2, 3, 4, 5};  // the unknown in each column
    for (int k = 0; k < n; ++k) {
        int pr = k, pc = k;
        for (int i = k; i < n; ++i)
            for (int j = k; j < n; ++j)
                if (std::fabs(a[U(i)][U(j)]) > std::fabs(a[U(pr)][U(pc)])) pr = i, pc = j;
        std::swap(a[U(k)], a[U(pr)]);
        std::swap(v[U(k)], v[U(pr)]);
        for (int i = 0; i < n; ++i) std::swap(a[U(i)][U(k)], a[U(i)][U(pc)]);
        std::swap(column[U(k)], column[U(pc)]);
        if (a[U(k)][U(k)] == 0.0L) a[U(k)][U(k)] = std::numeric_limits<Long>::min();  // exactly singular: the eigenvector
        for (int i = k + 1; i < n; ++i) {
            const Long f = a[U(i)][U(k)] / a[U(k)][U(k)];
            for (int j = k; j < n; ++j) a[U(i)][U(j)] -= f * a[U(k)][U(j)];
            v[U(i)] -= f * v[U(k)];
        }
    }
    std::array<Long, MaxOrder> y{};
    for (int i = n - 1; i >= 0; --i) {
        Long t = v[U(i)];
        for (int j = i + 1; j < n; ++j) t -= a[U(i)][U(j)] * y[U(j)];
        y[U(i)] = t / a[U(i)][U(i)];
    }
    Long big = 0.0L;
    for (int i = 0; i < n; ++i) big = std::max(big, std::fabs(y[U(i)]));
    if (!(big > 0.0L) || !std::isfinite(big)) return false;
    for (int i = 0; i < n; ++i) v[U(column[U(i)])] = y[U(i)] / big;
    return true;
}
}  // namespace

double TypedQuotient(const DefinitePencil& p, const Matrix10& K, const Matrix10& M, Vector4& x, long double sigma)
{
    const int n = p.n;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Long double's range holds S x for any congruence of doubles.
    std::array<Long, MaxOrder> v{};
    for (int i = 0; i < n; ++i) v[U(i)] = std::ldexp(static_cast<Long>(x[U(i)]), p.congruence[U(i)]);
    // x is right to rounding in the scaled units, which along the tiny
    // directions of M is no digit at all: inverse iteration in long double
    // and the units typed, from sigma and then from each quotient (two or
    // three steps where the eigenvalue is alone), makes it right there.
    Long lambda = 0.0L;
    bool holds = false;
    for (int step = 0; step < 4 && !holds; ++step) {
        if (!Refine(K, M, n, sigma, v)) return nan;
        std::array<Long, MaxOrder> kv{}, mv{};
        Long xkx = 0.0L, xmx = 0.0L;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                const int r = std::min(i, j) + 1, c = std::max(i, j) + 1;  // the upper triangle as typed
                kv[U(i)] += static_cast<Long>(K[U(r)][U(c)]) * v[U(j)];
                mv[U(i)] += static_cast<Long>(M[U(r)][U(c)]) * v[U(j)];
            }
            xkx += v[U(i)] * kv[U(i)];
            xmx += v[U(i)] * mv[U(i)];
        }
        if (!(xmx != 0.0L)) return nan;
        lambda = xkx / xmx;
        Long residual = 0.0L, mass = 0.0L;
        for (int i = 0; i < n; ++i) {
            residual = std::max(residual, std::fabs(kv[U(i)] - lambda * mv[U(i)]));
            mass = std::max(mass, std::fabs(mv[U(i)]));
        }
        holds = residual <= 0x1p-40L * std::fabs(lambda) * mass;
        sigma = lambda;
    }
    const auto shown = static_cast<double>(lambda);
    if (!std::isfinite(shown) || !holds) return nan;
    // Back to the scaled units, largest component 1.
    Long back = 0.0L;
    for (int i = 0; i < n; ++i) back = std::max(back, std::fabs(std::ldexp(v[U(i)], -p.congruence[U(i)])));
    for (int i = 0; i < n; ++i) x[U(i)] = static_cast<double>(std::ldexp(v[U(i)], -p.congruence[U(i)]) / back) + 0.0;
    return shown + 0.0;
}

bool TypedValueWhereLost(const DefinitePencil& p, const Matrix10& K, const Matrix10& M, const ProvedEigenvalues& proved,
                         int k, Vector4& x, double& lambda)
{
    const double counted = proved.scaledNu[U(k)];
    if (counted == 0.0 || !(std::fabs(counted) < DBL_MIN)) return false;
    const Long unit = std::ldexp(1.0L, -p.shift);  // nu = scaled nu * unit
    const Long sigma = p.Inverted() ? 1.0L / (static_cast<Long>(counted) * unit) : static_cast<Long>(counted) * unit;
    Vector4 y = x;
    const double q = TypedQuotient(p, K, M, y, sigma);
    if (std::isnan(q)) return false;
    const Long nu = (p.Inverted() ? 1.0L / static_cast<Long>(q) : static_cast<Long>(q)) / unit;
    // The counted interval's ends are doubles at the subnormal spacing.
    const auto spacing = static_cast<Long>(DBL_TRUE_MIN);
    if (!(nu >= static_cast<Long>(proved.scaledLo[U(k)]) - spacing && nu <= static_cast<Long>(proved.scaledHi[U(k)]) + spacing))
        return false;
    lambda = q;
    x = y;
    return true;
}

}  // namespace varno
