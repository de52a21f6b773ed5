// An independent reference for definite pencils, for tests and the fuzzer:
// eigenvalues by bisection on the inertia of A - sigma B, counted in long
// double (64-bit significand) with Bunch-Parlett's complete pivoting, and
// each eigenvalue's own scale s_k from its eigenvector by inverse iteration
// in quadruple precision.
// Nothing here shares code with the program: other precision, other
// pivoting, other search. A count in long double is exact for a pencil
// within about 1e-18 of the one given, so the reference is right to about
// 1e-18 s_k, whatever B's condition; dsygv is not (it loses eps kappa(B)).
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>
#include <string>
#include <vector>

#include "core/number_text.h"

#include "tests/reference_problems.h"

namespace varno::test {

// Indexed with plain ints, as the loops below are.
struct LongSquare {
    long double v[6][6] = {};
    long double* operator[](int i) { return v[i]; }
    const long double* operator[](int i) const { return v[i]; }
};

// Negative eigenvalues of the symmetric s (n x n), zero pivots counted when
// orEqual. Bunch-Parlett: the largest diagonal entry as a 1 x 1 pivot unless
// the largest off-diagonal one is much larger; then a 2 x 2 pivot around it,
// whose determinant is negative.
inline int ReferenceNegatives(LongSquare s, int n, bool orEqual)
{
    const long double alpha = (1.0L + std::sqrt(17.0L)) / 8.0L;
    std::array<int, 6> rest{0, 1, 2, 3, 4, 5};
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
    // The vector's Rayleigh quotient agrees with nu to within 1e-16 s. Where
    // eigenvalues lie closer together than the long double count can tell,
    // inverse iteration returns a mixture, whose s says nothing.
    bool trusted = true;
};

// A x = nu B x for symmetric p.k = A, p.m = B, B positive definite; ascending.
inline std::vector<ReferenceEigenvalue> ReferenceDefinite(const Problem& p)
{
    const int n = p.n;
    LongSquare a{}, b{};
    long double aNorm = 0.0L, bNorm = 0.0L;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            a[i][j] = static_cast<long double>(p.k[i][j]);
            b[i][j] = static_cast<long double>(p.m[i][j]);
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
        // An eigenvalue that is exactly an end (a zero of a singular A, a
        // diagonal pencil) is taken exactly.
        const long double nu = below(hi, false) < k ? hi : lo + (hi - lo) / 2.0L;
        // The eigenvector by inverse iteration on A - nu B, in quadruple
        // precision (GCC's __float128): where nu B dwarfs A, as for an
        // eigenvalue along B's smallest direction, A's part of the matrix
        // must still be resolved to find the vector. Gaussian elimination
        // with partial pivoting, from a vector with some part along every
        // direction.
        using Quad = __float128;
        const auto qabs = [](Quad v) { return v < 0 ? -v : v; };
        Quad x[6] = {1, static_cast<Quad>(0.6L), static_cast<Quad>(0.36L), static_cast<Quad>(0.216L),
                     static_cast<Quad>(0.1296L), static_cast<Quad>(0.07776L)};
        const auto qnu = static_cast<Quad>(nu);
        for (int step = 0; step < 3; ++step) {
            Quad q[6][6] = {};
            Quad y[6] = {};
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    q[i][j] = static_cast<Quad>(a[i][j]) - qnu * static_cast<Quad>(b[i][j]);
                    y[i] += static_cast<Quad>(b[i][j]) * x[j];
                }
            for (int c = 0; c < n; ++c) {
                int piv = c;
                for (int r = c + 1; r < n; ++r)
                    if (qabs(q[r][c]) > qabs(q[piv][c])) piv = r;
                for (int j = 0; j < n; ++j) std::swap(q[c][j], q[piv][j]);
                std::swap(y[c], y[piv]);
                if (q[c][c] == 0)  // an exact eigenvalue: a pivot of rounding size, as inverse iteration takes
                    q[c][c] = static_cast<Quad>(1e-34L * (aNorm + (std::fabs(nu) + 1.0L) * bNorm));
                for (int r = c + 1; r < n; ++r) {
                    const Quad f = q[r][c] / q[c][c];
                    for (int j = c; j < n; ++j) q[r][j] -= f * q[c][j];
                    y[r] -= f * y[c];
                }
            }
            for (int r = n - 1; r >= 0; --r) {
                for (int j = r + 1; j < n; ++j) y[r] -= q[r][j] * y[j];
                y[r] /= q[r][r];
            }
            Quad big = 0;
            for (int i = 0; i < n; ++i) big = std::max(big, qabs(y[i]));
            for (int i = 0; i < n; ++i) x[i] = y[i] / big;
        }
        Quad qxx = 0, qxbx = 0, qxax = 0;
        for (int i = 0; i < n; ++i) {
            qxx += x[i] * x[i];
            for (int j = 0; j < n; ++j) {
                qxbx += x[i] * static_cast<Quad>(b[i][j]) * x[j];
                qxax += x[i] * static_cast<Quad>(a[i][j]) * x[j];
            }
        }
        const auto xx = static_cast<long double>(qxx);
        const auto xbx = static_cast<long double>(qxbx);
        const long double s = (aNorm + std::fabs(nu) * bNorm) * xx / std::fabs(xbx);
        const auto quotient = static_cast<long double>(qxax / qxbx);
        out.push_back({nu, s, std::fabs(quotient - nu) <= 1e-16L * s});
    }
    return out;
}

// K x = lambda M x where M (mDefinite) or K, times sign, is positive
// definite: the reference nu, with nu = lambda or nu = 1 / lambda.
inline std::vector<ReferenceEigenvalue> ReferencePencil(const Problem& p, bool mDefinite, double sign = 1.0)
{
    Problem q{p.n, {}, {}};
    for (int i = 0; i < p.n; ++i)
        for (int j = 0; j < p.n; ++j) {
            q.k[i][j] = sign * (mDefinite ? p.k[i][j] : p.m[i][j]);
            q.m[i][j] = sign * (mDefinite ? p.m[i][j] : p.k[i][j]);
        }
    return ReferenceDefinite(q);
}

// Whether sign x (symmetric, n x n) is positive definite with its smallest
// eigenvalue above margin times its largest entry, by a long double
// Cholesky factorisation of sign x - margin |x|_max I.
template <std::size_t N>
inline bool ReferenceDefiniteWithMargin(const double (&x)[N][N], int n, double sign, long double margin)
{
    long double big = 0.0L;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) big = std::max(big, std::fabs(static_cast<long double>(x[i][j])));
    if (!(big > 0.0L)) return false;
    LongSquare l{};
    for (int j = 0; j < n; ++j) {
        long double d = static_cast<long double>(sign * x[j][j]) - margin * big;
        for (int k = 0; k < j; ++k) d -= l[j][k] * l[j][k];
        if (!(d > 0.0L)) return false;
        l[j][j] = std::sqrt(d);
        for (int i = j + 1; i < n; ++i) {
            long double t = static_cast<long double>(sign * x[i][j]);
            for (int k = 0; k < j; ++k) t -= l[i][k] * l[j][k];
            l[i][j] = t / l[j][j];
        }
    }
    return true;
}

// Whether one shown lambda x is right for the reference eigenvalue r by the
// rule: x prints as lambda prints ("%.<precision>g"), or |x - lambda| <=
// 1e-12 s. Where K is the definite matrix (inverted) the rule is taken on
// nu = 1 / lambda, the same to first order, so that an infinite lambda is
// right where mu is zero to within 1e-12 s. A lambda beyond the double range
// is right as the zero or infinity it comes out as, and one below the normal
// range to within the spacing of doubles there.
inline bool RightForReference(double x, const ReferenceEigenvalue& r, bool inverted, int precision)
{
    const long double lambda = inverted ? 1.0L / r.nu : r.nu;
    const long double nu = inverted ? 1.0L / static_cast<long double>(x) : static_cast<long double>(x);
    if (std::fabs(lambda) > static_cast<long double>(std::numeric_limits<double>::max()) && std::isinf(x)) return true;
    if (std::fabs(lambda) < static_cast<long double>(std::numeric_limits<double>::denorm_min()) && x == 0.0) return true;
    // Below the normal range a double has a fixed spacing, and no double
    // need print as lambda does: the nearest is right, or its neighbour
    // after the rounding of a division.
    const auto unit = static_cast<long double>(std::numeric_limits<double>::denorm_min());
    if (std::fabs(lambda) < static_cast<long double>(std::numeric_limits<double>::min()) &&
        std::fabs(static_cast<long double>(x) - lambda) <= unit)
        return true;
    return FormatG(x, 1, precision) == FormatG(static_cast<double>(lambda), 1, precision) ||
           std::fabs(nu - r.nu) <= 1e-12L * r.s;
}

// Whether the lambda shown are the reference's, each right for its own
// eigenvalue, one to one (any order). On failure, why says which.
inline bool ShownRightForReference(const std::vector<double>& shown, const std::vector<ReferenceEigenvalue>& reference,
                                   bool inverted, int precision, std::string* why = nullptr)
{
    const std::size_t n = reference.size();
    if (shown.size() != n || std::any_of(shown.begin(), shown.end(), [](double x) { return std::isnan(x); }))
        return false;
    std::vector<std::size_t> order(n);
    for (std::size_t k = 0; k < n; ++k) order[k] = k;
    do {
        bool all = true;
        for (std::size_t k = 0; k < n && all; ++k) all = RightForReference(shown[order[k]], reference[k], inverted, precision);
        if (all) return true;
    } while (std::next_permutation(order.begin(), order.end()));
    if (why != nullptr) {
        *why = "shown";
        for (const double x : shown) *why += " " + FormatShortest(x);
        *why += "; true";
        for (const ReferenceEigenvalue& r : reference)
            *why += " " + FormatShortest(static_cast<double>(inverted ? 1.0L / r.nu : r.nu)) + " (s " +
                    FormatShortest(static_cast<double>(r.s)) + ")";
    }
    return false;
}

}  // namespace varno::test
