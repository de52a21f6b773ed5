#include "certified/mode_bounds.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>

#include "certified/scaling.h"

namespace varno {
namespace {

using LongVector = std::array<Long, MaxOrder>;
using LongSquare = std::array<LongVector, MaxOrder>;

// What the bounds need of B, in long double: its Cholesky factor, and a
// lower bound of its smallest eigenvalue.
struct DefiniteFactor {
    LongSquare l;  // its leading n x n block
    Long smallest = 0.0L;  // 0 where no bound is known
    bool ok = false;
};

bool Cholesky(const DefinitePencil& p, Long shift, LongSquare& l)
{
    const int n = p.n;
    for (int i = 0; i < n; ++i) l[U(i)] = {};
    for (int j = 0; j < n; ++j) {
        Long d = static_cast<Long>(p.b[U(j)][U(j)]) - shift;
        for (int k = 0; k < j; ++k) d -= l[U(j)][U(k)] * l[U(j)][U(k)];
        if (!(d > 0.0L)) return false;
        l[U(j)][U(j)] = std::sqrt(d);
        for (int i = j + 1; i < n; ++i) {
            Long t = static_cast<Long>(p.b[U(i)][U(j)]);
            for (int k = 0; k < j; ++k) t -= l[U(i)][U(k)] * l[U(j)][U(k)];
            l[U(i)][U(j)] = t / l[U(j)][U(j)];
        }
    }
    return true;
}

DefiniteFactor FactorDefinite(const DefinitePencil& p)
{
    DefiniteFactor f;
    f.ok = Cholesky(p, 0.0L, f.l);
    if (!f.ok) return f;
    // lambda_min(B) = 1 / |L^-1|_2^2 >= 1 / |L^-1|_F^2, for the L computed,
    // which is exact for B + E with |E| below n (n + 1) u |B| ~ 1e-18 |B|.
    // B is safely definite (lambda_min above 16 eps |B| ~ 3.5e-15 |B|), so E
    // and the rounding of L^-1 (relative n u kappa(L) < 1e-11) take less
    // than a thousandth of that; half of it is a lower bound.
    const int n = p.n;
    Long frobenius = 0.0L;
    for (int c = 0; c < n; ++c) {
        LongVector z{};  // column c of L^-1
        for (int i = c; i < n; ++i) {
            Long t = i == c ? 1.0L : 0.0L;
            for (int k = c; k < i; ++k) t -= f.l[U(i)][U(k)] * z[U(k)];
            z[U(i)] = t / f.l[U(i)][U(i)];
            frobenius += z[U(i)] * z[U(i)];
        }
    }
    f.smallest = 0.5L / frobenius;
    return f;
}

// |B^-1/2 v|, by L^-1 v with B = L L^T.
Long InverseNorm(const DefiniteFactor& f, const LongVector& v, int n)
{
    LongVector z{};
    Long s = 0.0L;
    for (int i = 0; i < n; ++i) {
        Long t = v[U(i)];
        for (int k = 0; k < i; ++k) t -= f.l[U(i)][U(k)] * z[U(k)];
        z[U(i)] = t / f.l[U(i)][U(i)];
        s += z[U(i)] * z[U(i)];
    }
    return std::sqrt(s);
}

struct Group {
    int first = 0;
    int count = 1;
    Long lo = 0.0L;  // every eigenvalue of the group lies in [lo, hi]
    Long hi = 0.0L;
    Long radius = 0.0L;  // each within radius of its own theta
};

// What the residuals of one group give. Every long double rounding error is
// bounded into the result: u (2^-64) per operation, times the magnitudes
// that went in. Relative to the double-precision quantities these bound,
// the errors are below 1e-5 even where B's condition is 1 / (16 eps), and
// the final factor 2 covers those that are bounded only to first order.
struct Residual {
    Long radius = 0.0L;    // the group's eigenvalues lie within radius of its thetas
    Long epsilon = 0.0L;   // lone vector: |r|_{B^-1} / |x|_B
    Long rqShift = 0.0L;   // lone vector: |Rayleigh quotient - theta|, bounded
};

Residual GroupResidual(const DefinitePencil& p, const DefiniteFactor& f, std::span<const Vector4> x,
                       const std::array<double, MaxOrder>& theta, int first, int count)
{
    const int n = p.n;
    Residual out;
    if (!f.ok || !(f.smallest > 0.0L)) {
        out.radius = out.epsilon = std::numeric_limits<Long>::infinity();
        return out;
    }
    Long gram = 0.0L;       // |X^T B X - I|_F, with its rounding
    Long w = 0.0L;          // |B^-1/2 R|_F^2
    Long rounding = 0.0L;   // |error in R|_F^2
    Long thetaBig = 0.0L;
    Long quadratic = 0.0L;  // lone vector: x^T B x
    Long quadraticError = 0.0L;
    Long xr = 0.0L, xrError = 0.0L;  // lone vector: x^T r and its error
    for (int c = first; c < first + count; ++c) {
        const Vector4& v = x[U(c)];
        const Long t = static_cast<Long>(theta[U(c)]);
        thetaBig = std::max(thetaBig, std::fabs(t));
        LongVector r{};
        LongVector e{};
        for (int i = 0; i < n; ++i) {
            Long ax = 0.0L, bx = 0.0L, size = 0.0L;
            for (int j = 0; j < n; ++j) {
                ax += static_cast<Long>(p.a[U(i)][U(j)]) * static_cast<Long>(v[U(j)]);
                bx += static_cast<Long>(p.b[U(i)][U(j)]) * static_cast<Long>(v[U(j)]);
                size += std::fabs(static_cast<Long>(p.a[U(i)][U(j)]) * static_cast<Long>(v[U(j)])) +
                        std::fabs(t * static_cast<Long>(p.b[U(i)][U(j)]) * static_cast<Long>(v[U(j)]));
            }
            r[U(i)] = ax - t * bx;
            e[U(i)] = Gamma<Long>(n + 2) * size;
            rounding += e[U(i)] * e[U(i)];
        }
        const Long z = InverseNorm(f, r, n);
        w += z * z;
        for (int d = first; d < first + count; ++d) {
            const Vector4& u = x[U(d)];
            Long g = 0.0L, size = 0.0L;
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    const Long term =
                        static_cast<Long>(u[U(i)]) * static_cast<Long>(p.b[U(i)][U(j)]) * static_cast<Long>(v[U(j)]);
                    g += term;
                    size += std::fabs(term);
                }
            if (count == 1) {
                quadratic = g;
                quadraticError = Gamma<Long>(n * n + 2) * size;
            }
            const Long off = std::fabs(g - (c == d ? 1.0L : 0.0L)) + Gamma<Long>(n * n + 2) * size;
            gram += off * off;
        }
        if (count == 1) {
            for (int i = 0; i < n; ++i) {
                xr += static_cast<Long>(v[U(i)]) * r[U(i)];
                xrError += std::fabs(static_cast<Long>(v[U(i)])) * (e[U(i)] + Gamma<Long>(n) * std::fabs(r[U(i)]));
            }
        }
    }
    const Long residual = std::sqrt(w) + std::sqrt(rounding) / std::sqrt(f.smallest);
    if (count == 1) {
        // No orthonormality needed: some eigenvalue lies within |r|_{B^-1} /
        // |x|_B of theta, for any x and theta.
        const Long below = quadratic - quadraticError;
        if (!(below > 0.0L)) {
            out.radius = out.epsilon = std::numeric_limits<Long>::infinity();
            return out;
        }
        out.epsilon = residual / std::sqrt(below);
        out.radius = 2.0L * out.epsilon;
        out.rqShift = (std::fabs(xr) + xrError) / below;
        return out;
    }
    // Kahan's bound for Q = B^1/2 X G^-1/2, G = X^T B X = I + F, |F| <= tau:
    // |C Q - Q H| <= |B^-1/2 R| / sqrt(1 - tau) + |H - Theta|, H the
    // symmetric part of G^1/2 Theta G^-1/2, which lies within
    // 2 tau |Theta| / (1 - tau) of Theta; so does its spectrum.
    const Long tau = std::sqrt(gram);
    if (!(tau < 0.5L)) {
        out.radius = std::numeric_limits<Long>::infinity();
        return out;
    }
    out.radius = 2.0L * (residual / std::sqrt(1.0L - tau) + 4.0L * tau * thetaBig / (1.0L - tau));
    return out;
}

}  // namespace

// The bounds of all eigenvalues, in scaled units: groups of nearby ones
// merged until their intervals are disjoint, so that each holds exactly its
// own eigenvalues; then Kato-Temple for each lone one between its neighbours.
namespace {

std::array<Long, MaxOrder> BoundsOf(const DefinitePencil& p, std::span<const Vector4> x,
                                    const std::array<double, MaxOrder>& theta, std::span<const int> startsOfGroups,
                                    const ProvedEigenvalues* counted)
{
    const int n = p.n;
    const DefiniteFactor f = FactorDefinite(p);
    // At most MaxOrder groups: on the stack, where a heap allocation would cost
    // more than the arithmetic around it.
    std::array<Group, MaxOrder> groupsStore{};
    std::size_t groupCount = 0;
    for (std::size_t g = 0; g < startsOfGroups.size(); ++g) {
        const int first = startsOfGroups[g];
        const int end = g + 1 < startsOfGroups.size() ? startsOfGroups[g + 1] : n;
        groupsStore[groupCount++] = {first, end - first, 0.0L, 0.0L, 0.0L};
    }
    std::array<Residual, MaxOrder> residuals{};
    for (bool merged = true; merged;) {
        for (std::size_t g = 0; g < groupCount; ++g) {
            Group& group = groupsStore[g];
            residuals[g] = GroupResidual(p, f, x, theta, group.first, group.count);
            group.radius = residuals[g].radius;
            // A quotient may have moved past its neighbour's within a group.
            const auto [low, high] = std::minmax_element(theta.begin() + group.first, theta.begin() + group.first + group.count);
            group.lo = static_cast<Long>(*low) - group.radius;
            group.hi = static_cast<Long>(*high) + group.radius;
        }
        // A lone eigenvalue whose residual says too little to keep it apart
        // from its neighbours (along B's smallest directions a vector right
        // to its last bits can leave a residual as large as the eigenvalue)
        // stands at the interval its counts prove, where that is clear of
        // theirs: it is then unbounded itself, but no longer takes the
        // others' bounds with it.
        // The widest such first, until none is left.
        while (counted != nullptr) {
            std::size_t widest = groupCount;
            for (std::size_t g = 0; g < groupCount; ++g) {
                const Group& group = groupsStore[g];
                // Only a residual that leaves the value itself in doubt.
                const double t = theta[U(group.first)];
                if (group.count != 1 || std::isinf(group.radius) || !(group.radius > 1e-3L * static_cast<Long>(ScaleLowerBound(p, t)))) continue;
                const bool meets = (g > 0 && !(groupsStore[g - 1].hi < group.lo)) ||
                                   (g + 1 < groupCount && !(group.hi < groupsStore[g + 1].lo));
                const auto k = U(group.first);
                if (!meets || !(static_cast<Long>(counted->scaledHi[k] - counted->scaledLo[k]) < group.hi - group.lo)) continue;
                if (widest == groupCount || group.hi - group.lo > groupsStore[widest].hi - groupsStore[widest].lo) widest = g;
            }
            if (widest == groupCount) break;
            Group& group = groupsStore[widest];
            group.lo = static_cast<Long>(counted->scaledLo[U(group.first)]);
            group.hi = static_cast<Long>(counted->scaledHi[U(group.first)]);
            group.radius = std::numeric_limits<Long>::infinity();
            residuals[widest].radius = residuals[widest].epsilon = group.radius;
        }
        merged = false;
        for (std::size_t g = 0; g + 1 < groupCount; ++g)
            if (!(groupsStore[g].hi < groupsStore[g + 1].lo)) {  // overlapping (or a NaN): one group
                groupsStore[g].count += groupsStore[g + 1].count;
                std::copy(groupsStore.begin() + static_cast<std::ptrdiff_t>(g) + 2,
                          groupsStore.begin() + static_cast<std::ptrdiff_t>(groupCount),
                          groupsStore.begin() + static_cast<std::ptrdiff_t>(g) + 1);
                --groupCount;
                merged = true;
                break;
            }
    }
    const std::span<const Group> groups(groupsStore.data(), groupCount);
    std::array<Long, MaxOrder> bound{};
    const Long infinity = std::numeric_limits<Long>::infinity();
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const Group& group = groups[g];
        for (int k = group.first; k < group.first + group.count; ++k) bound[U(k)] = group.radius;
        const Long left = g > 0 ? groups[g - 1].hi : -infinity;
        const Long right = g + 1 < groups.size() ? groups[g + 1].lo : infinity;
        // Each vector alone: some eigenvalue lies within its own radius of
        // its theta, orthonormal or not. Where those intervals are disjoint
        // and clear of the other groups', each holds one of the group's
        // eigenvalues, and so exactly one: a close pair is then bounded as
        // two lone eigenvalues are, not by the pair's common radius.
        std::array<Residual, MaxOrder> own{};
        own[0] = residuals[g];
        // The members in ascending theta: a quotient may have moved past its
        // neighbour's.
        std::array<int, MaxOrder> order{0, 1, 2, 3, 4, 5};
        for (int c = 1; c < group.count; ++c)
            for (int j = c; j > 0 && theta[U(group.first + order[U(j)])] < theta[U(group.first + order[U(j - 1)])]; --j)
                std::swap(order[U(j)], order[U(j - 1)]);
        const auto at = [&](int c) { return static_cast<Long>(theta[U(group.first + order[U(c)])]); };
        bool apart = true;
        if (group.count > 1) {
            for (int c = 0; c < group.count; ++c) own[U(c)] = GroupResidual(p, f, x, theta, group.first + c, 1);
            for (int c = 0; c < group.count && apart; ++c) {
                const Long before = c > 0 ? at(c - 1) + own[U(order[U(c - 1)])].radius : left;
                apart = before < at(c) - own[U(order[U(c)])].radius;
            }
            apart = apart && at(group.count - 1) + own[U(order[U(group.count - 1)])].radius < right;
        }
        if (!apart) continue;
        for (int c = 0; c < group.count; ++c) {
            // Kato-Temple about the Rayleigh quotient rq, which lies within
            // rqShift of theta: no other eigenvalue lies in (a, b).
            const int k = group.first + order[U(c)];
            const Residual& r = own[U(order[U(c)])];
            const Long t = at(c);
            const Long a = c > 0 ? at(c - 1) + own[U(order[U(c - 1)])].radius : left;
            const Long b = c + 1 < group.count ? at(c + 1) - own[U(order[U(c + 1)])].radius : right;
            bound[U(k)] = std::min(bound[U(k)], r.radius);
            const Long gap = std::min(b - t, t - a) - r.rqShift;
            if (gap > 0.0L && r.epsilon < gap) {
                const Long temple = 2.0L * (r.epsilon * r.epsilon / gap + r.rqShift);
                bound[U(k)] = std::min(bound[U(k)], temple);
            }
        }
    }
    return bound;
}

}  // namespace

std::array<Long, MaxOrder> Bounds(const DefinitePencil& p, std::span<const Vector4> x,
                                  const std::array<double, MaxOrder>& theta, std::span<const int> startsOfGroups,
                                  const ProvedEigenvalues* counted)
{
    std::array<Long, MaxOrder> bound = BoundsOf(p, x, theta, startsOfGroups, nullptr);
    // Where one is left unbounded, the counts may keep it apart from the
    // others: each bound the tighter of the two.
    if (counted == nullptr || std::none_of(bound.begin(), bound.begin() + p.n, [](Long b) { return std::isinf(b); }))
        return bound;
    const std::array<Long, MaxOrder> apart = BoundsOf(p, x, theta, startsOfGroups, counted);
    for (int k = 0; k < p.n; ++k) bound[U(k)] = std::min(bound[U(k)], apart[U(k)]);
    return bound;
}

namespace {

// LoneBounds for one order, whose loops the compiler then lays out in full:
// at n = 2 they cost more to run as loops than their arithmetic.
template <int n>
bool LoneBoundsOf(const DefinitePencil& p, const Route& route, std::array<Long, MaxOrder>& bound)
{
    const std::span<const Vector4> x(route.x.data(), U(n));
    const std::array<double, MaxOrder>& theta = route.nu;
    // lambda_min(B) from the route's factor, as FactorDefinite has it, but
    // in double, where the argument there does not hold for every safely
    // definite B. The factor's error E (|E|_2 <= gamma_(n+2) n |B|_2, |B|_2
    // <= n max |b_ij|) is taken off; and the second-order errors of the
    // bounds stay under 1e-5 of what they bound only while u kappa(B) does,
    // which n max |b_ij| |D^-1/2 L^-1|_F^2 >= kappa(B) bounds.
    const double big = n * p.bBig;
    const double smallest = 0.5 / route.inverseSquare - Gamma<double>(n + 2) * n * big;
    if (!(smallest > 0.0) || !(big * route.inverseSquare * Unit<double> < 1e-5)) return false;
    // A residual within a few units of rounding, as inverse iteration's: the
    // route's own errors grow with n, so four units a degree of freedom
    // beyond n = 4 (the bounds hold whatever this admits; it keeps to the
    // route only the vectors as good as the other route's).
    const double allowed = std::max(16.0, 4.0 * n) * DBL_EPSILON;
    std::array<double, MaxOrder> epsilon{};
    std::array<double, MaxOrder> rqShift{};
    std::array<double, MaxOrder> radius{};
    std::array<bool, MaxOrder> unsquared{};
    for (int k = 0; k < n; ++k) {
        const Vector4& v = x[U(k)];
        const double t = theta[U(k)];
        double rr = 0.0, ee = 0.0, xx = 0.0;
        double quadratic = 0.0, quadraticSize = 0.0;  // x^T B x, and sum |x_i b_ij x_j|
        double xr = 0.0, xrError = 0.0;               // x^T r and its error
        double rSum = 0.0, eSum = 0.0;                // |r|_1 and |e|_1, which bound the 2-norms
        for (int i = 0; i < n; ++i) {
            double ax = 0.0, bx = 0.0, size = 0.0, bSize = 0.0;
            for (int j = 0; j < n; ++j) {
                const double aij = p.a[U(i)][U(j)] * v[U(j)];
                const double bij = p.b[U(i)][U(j)] * v[U(j)];
                ax += aij;
                bx += bij;
                bSize += std::fabs(bij);
                size += std::fabs(aij) + std::fabs(t * bij);
            }
            const double r = ax - t * bx;
            const double e = Gamma<double>(n + 2) * size;
            rr += r * r;
            ee += e * e;
            rSum += std::fabs(r);
            eSum += e;
            xx += v[U(i)] * v[U(i)];
            quadratic += v[U(i)] * bx;
            quadraticSize += std::fabs(v[U(i)]) * bSize;
            xr += v[U(i)] * r;
            xrError += std::fabs(v[U(i)]) * (e + Gamma<double>(n) * std::fabs(r));
        }
        // Where the pencil's entries span more than about 1e140, the squares
        // of a small row's rounding terms fall below the double range and
        // would take the bound with them: the sums bound the norms instead,
        // with a smallest subnormal for each operation that may have rounded
        // there, and Kato-Temple, which squares again, is left out.
        unsquared[U(k)] = !(ee >= DBL_MIN / DBL_EPSILON);
        const double norm = unsquared[U(k)] ? rSum : std::sqrt(rr);
        const double rounding = unsquared[U(k)] ? eSum + 8.0 * (n + 1) * n * DBL_TRUE_MIN : std::sqrt(ee);
        if (!(norm <= allowed * (p.aBig + std::fabs(t) * p.bBig) * std::sqrt(xx))) return false;
        // A form x^T B x not above its rounding makes epsilon NaN, which the
        // test of the intervals below refuses.
        const double below = quadratic - Gamma<double>(n * n + 2) * quadraticSize;
        epsilon[U(k)] = (norm + rounding) / std::sqrt(smallest * below);
        rqShift[U(k)] = (std::fabs(xr) + xrError) / below;
        radius[U(k)] = 2.0 * epsilon[U(k)];
    }
    for (int k = 0; k + 1 < n; ++k)  // each interval holds exactly its own eigenvalue
        if (!(theta[U(k)] + radius[U(k)] < theta[U(k + 1)] - radius[U(k + 1)])) return false;
    for (int k = 0; k < n; ++k) {
        const double t = theta[U(k)];
        const double a = k > 0 ? theta[U(k - 1)] + radius[U(k - 1)] : -HUGE_VAL;
        const double b = k + 1 < n ? theta[U(k + 1)] - radius[U(k + 1)] : HUGE_VAL;
        const double gap = std::min(b - t, t - a) - rqShift[U(k)];
        double tight = radius[U(k)];
        if (!unsquared[U(k)] && gap > 0.0 && epsilon[U(k)] < gap)
            tight = std::min(tight, 2.0 * (epsilon[U(k)] * epsilon[U(k)] / gap + rqShift[U(k)]));
        if (!(tight <= 1e-12 * ScaleLowerBound(p, t))) return false;
        bound[U(k)] = static_cast<Long>(tight);
    }
    return true;
}

}  // namespace

bool LoneBounds(const DefinitePencil& p, const Route& route, std::array<Long, MaxOrder>& bound)
{
    switch (p.n) {
    case 2: return LoneBoundsOf<2>(p, route, bound);
    case 3: return LoneBoundsOf<3>(p, route, bound);
    case 4: return LoneBoundsOf<4>(p, route, bound);
    case 5: return LoneBoundsOf<5>(p, route, bound);
    default: return LoneBoundsOf<6>(p, route, bound);
    }
}

}  // namespace varno
