#include "solvers/inertia.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace varno {
namespace {

using Lane = std::array<double, 4>;
using Square4 = std::array<std::array<double, 4>, 4>;

std::size_t U(int i) { return static_cast<std::size_t>(i); }

// x * 2^e, exact wherever ldexp is, but without a library call per entry:
// the factor is built from its bits, in two steps where 2^e is out of range.
double TimesPowerOfTwo(double x, int e)
{
    for (; e > 1023; e -= 1023) x *= 0x1p1023;
    for (; e < -1022; e += 1022) x *= 0x1p-1022;
    return x * std::bit_cast<double>(static_cast<std::uint64_t>(e + 1023) << 52);
}

// floor(log2(x)) for a finite x > 0.
int BinaryExponent(double x)
{
    const auto biased = static_cast<int>((std::bit_cast<std::uint64_t>(x) >> 52) & 0x7ff);
    return biased != 0 ? biased - 1023 : std::ilogb(x);  // a subnormal: rare enough for the call
}

// sqrt(x^2 + y^2) without overflow or a harmful underflow: QL's rotations
// must stay orthogonal even when both sides are tiny.
double Hypot(double x, double y)
{
    x = std::fabs(x);
    y = std::fabs(y);
    const double big = std::max(x, y);
    const double small = std::min(x, y);
    if (small == 0.0) return big;
    const double q = small / big;
    return big * std::sqrt(1.0 + q * q);
}

// One Householder reflection that zeroes a[j+2 .. n-1][j] of the symmetric
// matrix a, applied from both sides; returns the new a[j+1][j].
template <int n>
double Reflect(Square4& a, int j)
{
    const int m = n - j - 1;  // length of the column below the diagonal
    double big = 0.0;
#pragma GCC unroll 4
    for (int i = 0; i < m; ++i) big = std::max(big, std::fabs(a[U(j + 1 + i)][U(j)]));
    if (big == 0.0) return 0.0;
    // Far from 1, the column is scaled by a power of two first, so that its
    // squares neither overflow nor lose the reflector's accuracy to underflow.
    int e = 0;
    Lane x;
#pragma GCC unroll 4
    for (int i = 0; i < m; ++i) x[U(i)] = a[U(j + 1 + i)][U(j)];
    if (big > 0x1p400 || big < 0x1p-400) {
        e = BinaryExponent(big);
        for (int i = 0; i < m; ++i) x[U(i)] = TimesPowerOfTwo(x[U(i)], -e);
    }
    double rest = 0.0;
#pragma GCC unroll 4
    for (int i = 1; i < m; ++i) rest += x[U(i)] * x[U(i)];
    if (rest == 0.0) return a[U(j + 1)][U(j)];  // already tridiagonal in this column

    const double alpha = x[0];
    const double norm = std::sqrt(alpha * alpha + rest);
    const double beta = alpha >= 0.0 ? -norm : norm;
    const double tau = (beta - alpha) / beta;
    const double scale = 1.0 / (alpha - beta);
    Lane v{1.0, 0.0, 0.0, 0.0};
#pragma GCC unroll 4
    for (int i = 1; i < m; ++i) v[U(i)] = x[U(i)] * scale;

    // B := H B H for the trailing block B, H = I - tau v v^T:
    // p = tau B v, w = p - (tau/2)(p.v) v, B := B - v w^T - w v^T.
    const int o = j + 1;
    Lane p;
#pragma GCC unroll 4
    for (int r = 0; r < m; ++r) {
        double s = 0.0;
#pragma GCC unroll 4
        for (int c = 0; c < m; ++c) s += a[U(o + r)][U(o + c)] * v[U(c)];
        p[U(r)] = tau * s;
    }
    double pv = 0.0;
#pragma GCC unroll 4
    for (int r = 0; r < m; ++r) pv += p[U(r)] * v[U(r)];
    const double half = 0.5 * tau * pv;
    Lane w;
#pragma GCC unroll 4
    for (int r = 0; r < m; ++r) w[U(r)] = p[U(r)] - half * v[U(r)];
#pragma GCC unroll 4
    for (int r = 0; r < m; ++r)
#pragma GCC unroll 4
        for (int c = 0; c < m; ++c) a[U(o + r)][U(o + c)] -= v[U(r)] * w[U(c)] + w[U(r)] * v[U(c)];
    return e == 0 ? beta : TimesPowerOfTwo(beta, e);
}

// Two doubles side by side, the width every x86-64 has (GCC/Clang vector
// extension): each lane rounds exactly as the scalar expression would.
typedef double Pair __attribute__((vector_size(16)));
typedef long long PairMask __attribute__((vector_size(16)));

// Four counts at once, one shift per lane: below[l] is the number of negative
// pivots of LDL^T of T - sigma[l] I. A zero pivot becomes guard[l]: -pivmin
// counts an eigenvalue equal to sigma as below it, +pivmin does not.
template <int n>
std::array<int, 4> CountFor(const TridiagonalPencil& t, const Lane& sigma, const Lane& guard)
{
    const Pair pivmin = {t.pivmin, t.pivmin};
    const PairMask magnitude = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL};
    const Pair s[2] = {{sigma[0], sigma[1]}, {sigma[2], sigma[3]}};
    const PairMask g[2] = {reinterpret_cast<PairMask>(Pair{guard[0], guard[1]}),
                           reinterpret_cast<PairMask>(Pair{guard[2], guard[3]})};
    Pair d[2];
    PairMask negative[2] = {{0, 0}, {0, 0}};  // -1 per negative pivot
#pragma GCC unroll 4
    for (int i = 0; i < n; ++i) {
        for (int h = 0; h < 2; ++h) {
            d[h] = i == 0 ? t.diagonal[0] - s[h] : (t.diagonal[U(i)] - s[h]) - t.offSquared[U(i - 1)] / d[h];
            // A pivot too small to divide by becomes the guard.
            const PairMask tiny = reinterpret_cast<Pair>(reinterpret_cast<PairMask>(d[h]) & magnitude) < pivmin;
            d[h] = reinterpret_cast<Pair>((reinterpret_cast<PairMask>(d[h]) & ~tiny) | (g[h] & tiny));
            negative[h] += d[h] < 0.0;
        }
    }
    return {static_cast<int>(-negative[0][0]), static_cast<int>(-negative[0][1]), static_cast<int>(-negative[1][0]),
            static_cast<int>(-negative[1][1])};
}

std::array<int, 4> Count4(const TridiagonalPencil& t, const Lane& sigma, const Lane& guard)
{
    switch (t.n) {
    case 2: return CountFor<2>(t, sigma, guard);
    case 3: return CountFor<3>(t, sigma, guard);
    default: return CountFor<4>(t, sigma, guard);
    }
}

// Claims in the pencil's units times 2^shift, two per pass: lanes 0, 1 count
// strictly below each lo, lanes 2, 3 at or below each hi. lambda_k >= lo needs
// fewer than k below lo; lambda_k <= hi needs at least k at or below hi.
bool ClaimsHoldScaled(const TridiagonalPencil& t, std::span<const EigenvalueClaim> claims, int shift)
{
    const bool oneFactor = shift > -1023 && shift < 1023;  // 2^shift is a normal double
    const double factor = oneFactor ? TimesPowerOfTwo(1.0, shift) : 1.0;
    const auto scaled = [&](double x) { return oneFactor ? x * factor : TimesPowerOfTwo(x, shift); };
    const Lane guard{t.pivmin, t.pivmin, -t.pivmin, -t.pivmin};
    for (std::size_t c = 0; c < claims.size(); c += 2) {
        const EigenvalueClaim& a = claims[c];
        const EigenvalueClaim& b = claims[std::min(c + 1, claims.size() - 1)];
        const std::array<int, 4> below = Count4(t, {scaled(a.lo), scaled(b.lo), scaled(a.hi), scaled(b.hi)}, guard);
        if (below[0] >= a.k || below[1] >= b.k || below[2] < a.k || below[3] < b.k) return false;
    }
    return true;
}

// Implicit QL with shifts (EISPACK's tql1), eigenvalues only, unordered.
// False if some eigenvalue has not settled after 30 sweeps.
bool QlEigenvalues(const TridiagonalPencil& t, Lane& d)
{
    const int n = t.n;
    d = t.diagonal;
    Lane e{};
    for (int i = 0; i + 1 < n; ++i) e[U(i)] = t.off[U(i)];
    for (int l = 0; l < n; ++l) {
        for (int sweep = 0;; ++sweep) {
            int m = l;
            for (; m + 1 < n; ++m)
                if (std::fabs(e[U(m)]) <= DBL_EPSILON * (std::fabs(d[U(m)]) + std::fabs(d[U(m + 1)]))) break;
            if (m == l) break;
            if (sweep == 30) return false;
            double g = (d[U(l + 1)] - d[U(l)]) / (2.0 * e[U(l)]);
            double r = Hypot(g, 1.0);
            g = d[U(m)] - d[U(l)] + e[U(l)] / (g + std::copysign(r, g));
            double s = 1.0;
            double c = 1.0;
            double p = 0.0;
            int i = m - 1;
            for (; i >= l; --i) {
                const double f = s * e[U(i)];
                const double b = c * e[U(i)];
                r = Hypot(f, g);
                e[U(i + 1)] = r;
                if (r == 0.0) {  // T split here: restart from the other side
                    d[U(i + 1)] -= p;
                    e[U(m)] = 0.0;
                    break;
                }
                s = f / r;
                c = g / r;
                g = d[U(i + 1)] - p;
                r = (d[U(i)] - g) * s + 2.0 * c * b;
                p = s * r;
                d[U(i + 1)] = g + p;
                g = c * r - b;
            }
            if (r == 0.0 && i >= l) continue;
            d[U(l)] -= p;
            e[U(l)] = g;
            e[U(m)] = 0.0;
        }
    }
    for (int i = 1; i < n; ++i)  // ascending; std::sort is overkill for four
        for (int j = i; j > 0 && d[U(j - 1)] > d[U(j)]; --j) std::swap(d[U(j - 1)], d[U(j)]);
    return true;
}

// Bisection for all n eigenvalues at once, one per lane, in T's units.
Lane Bisect(const TridiagonalPencil& t)
{
    const Lane atOrBelow{-t.pivmin, -t.pivmin, -t.pivmin, -t.pivmin};
    std::array<int, 4> target{};
    for (std::size_t l = 0; l < 4; ++l) target[l] = std::min(static_cast<int>(l) + 1, t.n);

    // The widened Gershgorin bounds must count 0 and n; should rounding put
    // them a hair inside, widen until they do.
    double lower = t.lower;
    double upper = t.upper;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::array<int, 4> below = Count4(t, {lower, upper, lower, upper}, atOrBelow);
        if (below[0] == 0 && below[1] == t.n) break;
        const double width = upper - lower;
        lower -= width;
        upper += width;
    }
    // Each lane's eigenvalue lies in (lo, hi]. Below floor an eigenvalue near
    // 0 is settled: far under the rounding of the reduction (eps * norm).
    Lane lo{lower, lower, lower, lower};
    Lane hi{upper, upper, upper, upper};
    const double floor = std::ldexp(t.norm, -100);
    for (int iteration = 0; iteration < 200; ++iteration) {
        bool busy = false;
        Lane mid{};
        for (std::size_t l = 0; l < 4; ++l) {
            const double tolerance = std::max(2.0 * DBL_EPSILON * std::max(std::fabs(lo[l]), std::fabs(hi[l])), floor);
            busy = busy || hi[l] - lo[l] > tolerance;
            mid[l] = lo[l] + 0.5 * (hi[l] - lo[l]);
        }
        if (!busy) break;
        const std::array<int, 4> below = Count4(t, mid, atOrBelow);
        for (std::size_t l = 0; l < 4; ++l) (below[l] >= target[l] ? hi[l] : lo[l]) = mid[l];
    }
    // Every point of (lo, hi] is as right as any other. hi is exact where a
    // count hit the eigenvalue itself (a diagonal pencil), and a zero inside
    // is the zero a rigid-body mode should show, not a speck of rounding.
    Lane x{};
    for (int l = 0; l < t.n; ++l) x[U(l)] = lo[U(l)] < 0.0 && hi[U(l)] >= 0.0 ? 0.0 : hi[U(l)];
    return x;
}

std::array<double, 4> ToPencilUnits(const TridiagonalPencil& t, Lane mu)
{
    for (int l = 0; l < t.n; ++l) mu[U(l)] = TimesPowerOfTwo(mu[U(l)], -t.shift) + 0.0;  // + 0.0: never "-0"
    return mu;
}

// The reduction for one n, so that every loop has a fixed length and unrolls.
template <int n>
std::optional<TridiagonalPencil> Reduce(const Matrix10& K, const Matrix10& M)
{
    Square4 k;
    Square4 m;
    double kBig = 0.0;
    double mBig = 0.0;
    double poison = 0.0;  // stays 0 unless some entry is infinite or NaN
    // The upper triangle as typed; the symmetrised store mirrors it below.
#pragma GCC unroll 4
    for (int i = 0; i < n; ++i)
#pragma GCC unroll 4
        for (int j = i; j < n; ++j) {
            const double kij = K[U(i + 1)][U(j + 1)];
            const double mij = M[U(i + 1)][U(j + 1)];
            k[U(i)][U(j)] = k[U(j)][U(i)] = kij;
            m[U(i)][U(j)] = m[U(j)][U(i)] = mij;
            poison += (kij - kij) + (mij - mij);
            kBig = std::max(kBig, std::fabs(kij));
            mBig = std::max(mBig, std::fabs(mij));
        }
    if (poison != 0.0 || mBig == 0.0) return std::nullopt;  // NaN != 0.0 too

    // Largest entries into [1, 2): exact, and the eigenvalues follow by 2^(em - ek).
    const int ek = kBig > 0.0 ? BinaryExponent(kBig) : 0;
    const int em = BinaryExponent(mBig);
    const auto scale = [](Square4& x, int e) {
        if (e > -1023 && e < 1023) {  // one factor, exactly a power of two
            const double f = TimesPowerOfTwo(1.0, -e);
#pragma GCC unroll 4
            for (int i = 0; i < n; ++i)
#pragma GCC unroll 4
                for (int j = 0; j < n; ++j) x[U(i)][U(j)] *= f;
        } else {
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) x[U(i)][U(j)] = TimesPowerOfTwo(x[U(i)][U(j)], -e);
        }
    };
    scale(k, ek);
    scale(m, em);

    // M = L D L^T with L unit lower triangular; M is positive definite exactly
    // when every pivot is positive. (No square root on this dependent chain.)
    Square4 L;
    Lane inverse;  // 1 / pivot
#pragma GCC unroll 4
    for (int j = 0; j < n; ++j) {
        // Below the diagonal, m comes to hold L(i, j) d(j), which the sums reuse.
        double pivot = m[U(j)][U(j)];
#pragma GCC unroll 4
        for (int p = 0; p < j; ++p) pivot -= L[U(j)][U(p)] * m[U(j)][U(p)];
        if (!(pivot > 0.0)) return std::nullopt;
        inverse[U(j)] = 1.0 / pivot;
#pragma GCC unroll 4
        for (int i = j + 1; i < n; ++i) {
            double t = m[U(i)][U(j)];
#pragma GCC unroll 4
            for (int p = 0; p < j; ++p) t -= L[U(i)][U(p)] * m[U(j)][U(p)];
            m[U(i)][U(j)] = t;  // overwritten: t = L(i, j) d(j)
            L[U(i)][U(j)] = t * inverse[U(j)];
        }
    }

    // C = D^-1/2 L^-1 K L^-T D^-1/2. First Y = L^-1 K (no division: L is unit).
    Square4 Y;
#pragma GCC unroll 4
    for (int c = 0; c < n; ++c)
#pragma GCC unroll 4
        for (int i = 0; i < n; ++i) {
            double s = k[U(i)][U(c)];
#pragma GCC unroll 4
            for (int p = 0; p < i; ++p) s -= L[U(i)][U(p)] * Y[U(p)][U(c)];
            Y[U(i)][U(c)] = s;
        }
    // Then the lower triangle of Z = Y L^-T from Z L^T = Y, scaled on both sides.
    Lane root;  // pivot^-1/2
#pragma GCC unroll 4
    for (int i = 0; i < n; ++i) root[U(i)] = std::sqrt(inverse[U(i)]);
    Square4 C;
    double cBig = 0.0;
#pragma GCC unroll 4
    for (int r = 0; r < n; ++r)
#pragma GCC unroll 4
        for (int j = 0; j <= r; ++j) {
            double s = Y[U(r)][U(j)];
#pragma GCC unroll 4
            for (int p = 0; p < j; ++p) s -= C[U(r)][U(p)] * L[U(j)][U(p)];
            C[U(r)][U(j)] = s;
        }
#pragma GCC unroll 4
    for (int r = 0; r < n; ++r)
#pragma GCC unroll 4
        for (int j = 0; j <= r; ++j) {
            C[U(j)][U(r)] = C[U(r)][U(j)] = C[U(r)][U(j)] * root[U(r)] * root[U(j)];
            cBig = std::max(cBig, std::fabs(C[U(r)][U(j)]));
        }
    if (!std::isfinite(cBig)) return std::nullopt;  // M too close to singular for doubles
    // Only far from 1 is C rescaled; squares of its entries then stay in range.
    int ec = 0;
    if (cBig > 0x1p400 || (cBig < 0x1p-400 && cBig > 0.0)) {
        ec = BinaryExponent(cBig);
        for (int r = 0; r < n; ++r)
            for (int j = 0; j < n; ++j) C[U(r)][U(j)] = TimesPowerOfTwo(C[U(r)][U(j)], -ec);
    }

    TridiagonalPencil t;
    t.n = n;
    t.shift = em - ek - ec;
#pragma GCC unroll 4
    for (int j = 0; j + 2 < n; ++j) t.off[U(j)] = Reflect<n>(C, j);
    t.off[U(n - 2)] = C[U(n - 1)][U(n - 2)];
    double offBig = 0.0;
    for (int i = 0; i < n; ++i) t.diagonal[U(i)] = C[U(i)][U(i)];
    for (int i = 0; i + 1 < n; ++i) {
        t.offSquared[U(i)] = t.off[U(i)] * t.off[U(i)];
        offBig = std::max(offBig, t.offSquared[U(i)]);
    }
    // As LAPACK's bisection does: small enough not to disturb any count,
    // large enough that b^2 / pivmin cannot overflow.
    t.pivmin = DBL_MIN * std::max(1.0, offBig);

    double lower = t.diagonal[0];
    double upper = t.diagonal[0];
    for (int i = 0; i < n; ++i) {
        const double radius =
            (i > 0 ? std::fabs(t.off[U(i - 1)]) : 0.0) + (i + 1 < n ? std::fabs(t.off[U(i)]) : 0.0);
        lower = std::min(lower, t.diagonal[U(i)] - radius);
        upper = std::max(upper, t.diagonal[U(i)] + radius);
    }
    t.norm = std::max(std::fabs(lower), std::fabs(upper));
    const double widen = 2.1 * (static_cast<double>(n) * DBL_EPSILON * t.norm + 2.0 * t.pivmin);
    t.lower = lower - widen;
    t.upper = upper + widen;
    return t;
}

}  // namespace

std::optional<TridiagonalPencil> ReduceDefinitePencil(const Matrix10& K, const Matrix10& M, int n)
{
    switch (n) {
    case 2: return Reduce<2>(K, M);
    case 3: return Reduce<3>(K, M);
    case 4: return Reduce<4>(K, M);
    default: return std::nullopt;
    }
}

bool ClaimsHold(const TridiagonalPencil& t, std::span<const EigenvalueClaim> claims)
{
    return ClaimsHoldScaled(t, claims, t.shift);
}

std::array<double, 4> PencilEigenvalues(const TridiagonalPencil& t)
{
    if (t.norm == 0.0) return {};  // T = 0: every eigenvalue is 0
    Lane mu{};
    bool proved = QlEigenvalues(t, mu);
    if (proved) {
        // QL and the count each err by a few units of rounding of norm.
        const double slack = 8.0 * t.n * DBL_EPSILON * t.norm;
        std::array<EigenvalueClaim, 4> claims{};
        for (int k = 0; k < t.n; ++k) claims[U(k)] = {k + 1, mu[U(k)] - slack, mu[U(k)] + slack};
        proved = ClaimsHoldScaled(t, std::span<const EigenvalueClaim>(claims.data(), U(t.n)), 0);
    }
    return ToPencilUnits(t, proved ? mu : Bisect(t));
}

std::array<double, 4> BisectedEigenvalues(const TridiagonalPencil& t)
{
    if (t.norm == 0.0) return {};
    return ToPencilUnits(t, Bisect(t));
}

}  // namespace varno
