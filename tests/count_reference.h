// An independent reference for definite pencils, for tests and the fuzzer:
// eigenvalues by bisection on the inertia of A - sigma B, counted in long
// double (64-bit significand) with Bunch-Parlett's complete pivoting, and
// each eigenvalue's own scale s_k from its eigenvector by inverse iteration.
// Nothing here shares code with the program: other precision, other
// pivoting, other search. A count in long double is exact for a pencil
// within about 1e-18 of the one given, so the reference is right to about
// 1e-18 s_k, whatever B's condition; dsygv is not (it loses eps kappa(B)).
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>
#include <string>
#include <vector>

#include "core/number_text.h"

#include "tests/reference_problems.h"

namespace varno::test {

using LongSquare = std::array<std::array<long double, 4>, 4>;

// Negative eigenvalues of the symmetric s (n x n), zero pivots counted when
// orEqual. Bunch-Parlett: the largest diagonal entry as a 1 x 1 pivot unless
// the largest off-diagonal one is much larger; then a 2 x 2 pivot around it,
// whose determinant is negative.
inline int ReferenceNegatives(LongSquare s, int n, bool orEqual)
{
    const long double alpha = (1.0L + std::sqrt(17.0L)) / 8.0L;
    std::array<int, 4> rest{0, 1, 2, 3};
    int left = n;
    const auto drop = [&](int i) {
        *std::find(rest.begin(), rest.begin() + left, i) = rest[static_cast<std::size_t>(left - 1)];
        --left;
    };
    int negative = 0;
    while (left > 0) {
        int di = rest[0], oi = -1, oj = -1;
        long double dBig = 0.0L, oBig = 0.0L;
        for (int r = 0; r < left; ++r) {
            const int a = rest[static_cast<std::size_t>(r)];
            if (std::fabs(s[a][a]) > dBig) dBig = std::fabs(s[a][a]), di = a;
            for (int c = 0; c < left; ++c) {
                const int b = rest[static_cast<std::size_t>(c)];
                if (b != a && std::fabs(s[a][b]) > oBig) oBig = std::fabs(s[a][b]), oi = a, oj = b;
            }
        }
        if (dBig == 0.0L && oBig == 0.0L) {  // what is left is zero
            if (orEqual) negative += left;
            break;
        }
        if (dBig >= alpha * oBig) {
            const long double d = s[di][di];
            negative += d < 0.0L ? 1 : 0;
            drop(di);
            for (int r = 0; r < left; ++r)
                for (int c = 0; c < left; ++c) {
                    const int a = rest[static_cast<std::size_t>(r)], b = rest[static_cast<std::size_t>(c)];
                    s[a][b] -= s[a][di] * s[di][b] / d;
                }
        } else {
            ++negative;  // det < 0: one negative, one positive
            const long double a11 = s[oi][oi], a12 = s[oi][oj], a22 = s[oj][oj];
            const long double det = a11 * a22 - a12 * a12;
            drop(oi);
            drop(oj);
            for (int r = 0; r < left; ++r)
                for (int c = 0; c < left; ++c) {
                    const int a = rest[static_cast<std::size_t>(r)], b = rest[static_cast<std::size_t>(c)];
                    const long double u = s[a][oi], v = s[a][oj], x = s[oi][b], y = s[oj][b];
                    s[a][b] -= (u * (a22 * x - a12 * y) + v * (a11 * y - a12 * x)) / det;
                }
        }
    }
    return negative;
}

struct ReferenceEigenvalue {
    long double nu;  // the eigenvalue of A x = nu B x
    long double s;   // its own scale (|A|_F + |nu| |B|_F) |x|^2 / |x^T B x|
};

// A x = nu B x for symmetric p.k = A, p.m = B, B positive definite; ascending.
inline std::vector<ReferenceEigenvalue> ReferenceDefinite(const Problem& p)
{
    const int n = p.n;
    LongSquare a{}, b{};
    long double aNorm = 0.0L, bNorm = 0.0L;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            a[i][j] = p.k[i][j];
            b[i][j] = p.m[i][j];
            aNorm += a[i][j] * a[i][j];
            bNorm += b[i][j] * b[i][j];
        }
    aNorm = std::sqrt(aNorm);
    bNorm = std::sqrt(bNorm);
    const auto below = [&](long double sigma, bool orEqual) {
        LongSquare s{};
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) s[i][j] = a[i][j] - sigma * b[i][j];
        return ReferenceNegatives(s, n, orEqual);
    };
    long double bound = 1.0L;  // B definite: every nu lies within |A| / lambda_min(B)
    while ((below(-bound, false) > 0 || below(bound, true) < n) && bound < 1e4000L) bound *= 2.0L;
    std::vector<ReferenceEigenvalue> out;
    for (int k = 1; k <= n; ++k) {
        // nu_k in (lo, hi]: through 0 first, then geometric steps while the
        // ends are far apart, down to 1e-19 relative or 1e-30 of |A| / |B|.
        long double lo = -bound, hi = bound;
        const long double floor = aNorm > 0.0L ? 1e-30L * aNorm / bNorm : 1e-4000L;
        while (hi - lo > std::max(1e-19L * std::max(std::fabs(lo), std::fabs(hi)), floor)) {
            long double mid = lo + (hi - lo) / 2.0L;
            if (lo < 0.0L && hi > 0.0L)
                mid = 0.0L;
            else if (lo > 0.0L && hi > 4.0L * lo)
                mid = std::sqrt(lo) * std::sqrt(hi);
            else if (hi < 0.0L && lo < 4.0L * hi)
                mid = -std::sqrt(-lo) * std::sqrt(-hi);
            if (!(mid > lo && mid < hi)) break;
            (below(mid, true) >= k ? hi : lo) = mid;
        }
        const long double nu = lo + (hi - lo) / 2.0L;
        // Inverse iteration on A - nu B, Gaussian elimination with partial
        // pivoting, from a vector with some part along every direction.
        std::array<long double, 4> x{1.0L, 0.6L, 0.36L, 0.216L};
        for (int step = 0; step < 3; ++step) {
            LongSquare s{};
            std::array<long double, 4> y{};
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) s[i][j] = a[i][j] - nu * b[i][j], y[i] += b[i][j] * x[j];
            for (int c = 0; c < n; ++c) {
                int piv = c;
                for (int r = c + 1; r < n; ++r)
                    if (std::fabs(s[r][c]) > std::fabs(s[piv][c])) piv = r;
                std::swap(s[c], s[piv]);
                std::swap(y[c], y[piv]);
                if (s[c][c] == 0.0L)  // an exact eigenvalue: a pivot of rounding size, as inverse iteration takes
                    s[c][c] = std::numeric_limits<long double>::epsilon() * (aNorm + std::fabs(nu) * bNorm);
                for (int r = c + 1; r < n; ++r) {
                    const long double f = s[r][c] / s[c][c];
                    for (int j = c; j < n; ++j) s[r][j] -= f * s[c][j];
                    y[r] -= f * y[c];
                }
            }
            for (int r = n - 1; r >= 0; --r) {
                for (int j = r + 1; j < n; ++j) y[r] -= s[r][j] * y[j];
                y[r] /= s[r][r];
            }
            long double big = 0.0L;
            for (int i = 0; i < n; ++i) big = std::max(big, std::fabs(y[i]));
            for (int i = 0; i < n; ++i) x[i] = y[i] / big;
        }
        long double xx = 0.0L, xbx = 0.0L;
        for (int i = 0; i < n; ++i) {
            xx += x[i] * x[i];
            for (int j = 0; j < n; ++j) xbx += x[i] * b[i][j] * x[j];
        }
        out.push_back({nu, (aNorm + std::fabs(nu) * bNorm) * xx / std::fabs(xbx)});
    }
    return out;
}

// K x = lambda M x where M (mDefinite) or K is positive definite: the
// reference nu, with nu = lambda or nu = 1 / lambda.
inline std::vector<ReferenceEigenvalue> ReferencePencil(const Problem& p, bool mDefinite)
{
    if (mDefinite) return ReferenceDefinite(p);
    Problem swapped{p.n, {}, {}};
    for (int i = 0; i < p.n; ++i)
        for (int j = 0; j < p.n; ++j) swapped.k[i][j] = p.m[i][j], swapped.m[i][j] = p.k[i][j];
    return ReferenceDefinite(swapped);
}

// Whether the lambda shown (any order) are right for the reference by the
// rule: x prints as lambda_k prints ("%.<precision>g"), or |x - lambda_k| <=
// 1e-12 s_k. Where K is the definite matrix (inverted) the rule is taken on
// nu = 1 / lambda, the same to first order, so that an infinite lambda is
// right where mu is zero to within 1e-12 s_k. On failure, why says which.
inline bool ShownRightForReference(std::vector<double> shown, const std::vector<ReferenceEigenvalue>& reference,
                                   bool inverted, int precision, std::string* why = nullptr)
{
    const std::size_t n = reference.size();
    if (shown.size() != n || std::any_of(shown.begin(), shown.end(), [](double x) { return std::isnan(x); }))
        return false;
    std::vector<long double> nu;
    for (const double x : shown) nu.push_back(inverted ? 1.0L / static_cast<long double>(x) : x);
    std::vector<std::size_t> order(n);
    for (std::size_t k = 0; k < n; ++k) order[k] = k;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return nu[a] < nu[b]; });
    for (std::size_t k = 0; k < n; ++k) {
        const double x = shown[order[k]];
        const ReferenceEigenvalue& r = reference[k];
        const double lambda = static_cast<double>(inverted ? 1.0L / r.nu : r.nu);
        const bool printsAlike = FormatG(x, 1, precision) == FormatG(lambda, 1, precision);
        const bool close = std::fabs(nu[order[k]] - r.nu) <= 1e-12L * r.s;
        if (!printsAlike && !close) {
            if (why != nullptr)
                *why = "eigenvalue " + std::to_string(k + 1) + ": shown " + FormatShortest(x) + ", true " +
                       FormatShortest(lambda) + ", off by " +
                       FormatShortest(static_cast<double>(std::fabs(nu[order[k]] - r.nu) / r.s)) + " s_k";
            return false;
        }
    }
    return true;
}

}  // namespace varno::test
