#include "solvers/modes.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>
#include <vector>

#include "solvers/arithmetic.h"

namespace varno {
namespace {

using Long = long double;
using LongVector = std::array<Long, 4>;
using LongSquare = std::array<LongVector, 4>;

std::size_t U(int i) { return static_cast<std::size_t>(i); }

// The unit roundoff of the arithmetic the bounds are formed in, and n of
// them as an error bound's factor (gamma_n = n u / (1 - n u), rounded up
// generously).
template <typename Real>
constexpr Real Unit = std::numeric_limits<Real>::epsilon() / 2;
template <typename Real>
Real Gamma(int n)
{
    return Real(1.01) * static_cast<Real>(n) * Unit<Real>;
}

double Dot(const Vector4& x, const Square4& b, const Vector4& y, int n)
{
    double s = 0.0;
    for (int i = 0; i < n; ++i) {
        double row = 0.0;
        for (int j = 0; j < n; ++j) row += b[U(i)][U(j)] * y[U(j)];
        s += x[U(i)] * row;
    }
    return s;
}

// One step of inverse iteration: (A - theta B)^-1 B x, made B-orthogonal to
// the vectors given (B-normalised), scaled to a largest component of 1.
// Returns how much it grew.
double Step(const DefinitePencil& p, const SymmetricFactor& f, std::span<const Vector4> against, Vector4& x)
{
    const int n = p.n;
    Vector4 y{};
    double size = 0.0;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) y[U(i)] += p.b[U(i)][U(j)] * x[U(j)];
        size = std::max(size, std::fabs(y[U(i)]));
    }
    SolveFactored(f, y);
    for (int pass = 0; pass < 2; ++pass)  // twice is enough (Kahan, Parlett)
        for (const Vector4& v : against) {
            const double c = Dot(v, p.b, y, n);
            for (int i = 0; i < n; ++i) y[U(i)] -= c * v[U(i)];
        }
    double big = 0.0;
    for (int i = 0; i < n; ++i) big = std::max(big, std::fabs(y[U(i)]));
    if (!(big > 0.0) || !std::isfinite(big)) return 0.0;
    for (int i = 0; i < n; ++i) x[U(i)] = y[U(i)] / big;
    return big / size;
}

}  // namespace

Vector4 InverseIteration(const DefinitePencil& p, double theta, std::span<const Vector4> starts,
                         std::span<const Vector4> against, bool deflate)
{
    const int n = p.n;
    double alpha = 1.0;
    double beta = theta;
    if (std::fabs(theta) > 0x1p600) {  // as the count does: the same inertia, no overflow
        alpha = std::ldexp(1.0, -std::ilogb(theta));
        beta = theta * alpha;
    }
    Square4 s{};
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) s[U(i)][U(j)] = alpha * p.a[U(i)][U(j)] - beta * p.b[U(i)][U(j)];
    const double tau = std::fabs(alpha) * p.aBig + std::fabs(beta) * p.bBig;  // the size of A - theta B
    for (const Vector4& v : deflate ? against : std::span<const Vector4>()) {
        Vector4 bv{};
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) bv[U(i)] += p.b[U(i)][U(j)] * v[U(j)];
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) s[U(i)][U(j)] += tau * bv[U(i)] * bv[U(j)];
    }
    const SymmetricFactor f = FactorBunchKaufman(s, n);
    // Near an eigenvalue, A - theta B is singular to within its rounding,
    // and (A - theta B)^-1 grows a vector with a part along the eigenvector
    // by far more than this (about 1 / eps); elsewhere by less.
    const double enough = 1e6 / tau;
    Vector4 x{};
    double best = -1.0;
    for (std::size_t attempt = 0; attempt < starts.size() && best < enough; ++attempt) {
        Vector4 start = starts[attempt];
        const double growth = Step(p, f, against, start);
        if (growth > best) best = growth, x = start;
    }
    for (int step = 0; step < 2; ++step) Step(p, f, against, x);
    const double norm = std::sqrt(Dot(x, p.b, x, n));  // x's largest component is 1: no overflow
    for (int i = 0; i < n; ++i) x[U(i)] /= norm;
    return x;
}

namespace {

// What the bounds need of B, in long double: its Cholesky factor, and a
// lower bound of its smallest eigenvalue.
struct DefiniteFactor {
    LongSquare l{};
    Long smallest = 0.0L;  // 0 where no bound is known
    bool ok = false;
};

bool Cholesky(const DefinitePencil& p, Long shift, LongSquare& l)
{
    const int n = p.n;
    l = {};
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
                       const std::array<double, 4>& theta, int first, int count)
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

// The bounds of all eigenvalues, in scaled units: groups of nearby ones
// merged until their intervals are disjoint, so that each holds exactly its
// own eigenvalues; then Kato-Temple for each lone one between its neighbours.
std::array<Long, 4> Bounds(const DefinitePencil& p, std::span<const Vector4> x, const std::array<double, 4>& theta,
                           std::span<const int> startsOfGroups)
{
    const int n = p.n;
    const DefiniteFactor f = FactorDefinite(p);
    // At most four groups: on the stack, where a heap allocation would cost
    // more than the arithmetic around it.
    std::array<Group, 4> groupsStore{};
    std::size_t groupCount = 0;
    for (std::size_t g = 0; g < startsOfGroups.size(); ++g) {
        const int first = startsOfGroups[g];
        const int end = g + 1 < startsOfGroups.size() ? startsOfGroups[g + 1] : n;
        groupsStore[groupCount++] = {first, end - first, 0.0L, 0.0L, 0.0L};
    }
    std::array<Residual, 4> residuals{};
    for (bool merged = true; merged;) {
        for (std::size_t g = 0; g < groupCount; ++g) {
            Group& group = groupsStore[g];
            residuals[g] = GroupResidual(p, f, x, theta, group.first, group.count);
            group.radius = residuals[g].radius;
            group.lo = static_cast<Long>(theta[U(group.first)]) - group.radius;
            group.hi = static_cast<Long>(theta[U(group.first + group.count - 1)]) + group.radius;
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
    std::array<Long, 4> bound{};
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const Group& group = groups[g];
        for (int k = group.first; k < group.first + group.count; ++k) bound[U(k)] = group.radius;
        if (group.count != 1) continue;
        // Kato-Temple about the Rayleigh quotient rq, which lies within
        // rqShift of theta: no other eigenvalue lies in (a, b).
        const Residual& r = residuals[g];
        const Long a = g > 0 ? groups[g - 1].hi : -std::numeric_limits<Long>::infinity();
        const Long b = g + 1 < groups.size() ? groups[g + 1].lo : std::numeric_limits<Long>::infinity();
        const Long t = static_cast<Long>(theta[U(group.first)]);
        const Long gap = std::min(b - t, t - a) - r.rqShift;
        if (gap > 0.0L && r.epsilon < gap) {
            const Long temple = 2.0L * (r.epsilon * r.epsilon / gap + r.rqShift);
            bound[U(group.first)] = std::min(bound[U(group.first)], temple);
        }
    }
    return bound;
}

// The largest component positive; of components equal in magnitude to
// within 1e-9 of it, the first. Returns whether x was turned round.
bool FixSign(Vector4& x, int n)
{
    double big = 0.0;
    for (int i = 0; i < n; ++i) big = std::max(big, std::fabs(x[U(i)]));
    for (int i = 0; i < n; ++i)
        if (std::fabs(x[U(i)]) >= big * (1.0 - 1e-9)) {
            if (!(x[U(i)] < 0.0)) return false;
            for (int j = 0; j < n; ++j) x[U(j)] = -x[U(j)];
            return true;
        }
    return false;
}

// The bounds where dsygv's route gave the vectors, in double, each
// eigenvalue alone in an interval of its own: Bounds' argument for lone
// vectors, with |r|_{B^-1} <= |r| / sqrt(lambda_min(B)) for the exact norm,
// which costs little, as Kato-Temple takes it squared. False, and the
// caller turns to inverse iteration and long double, where a residual is
// not within a few units of rounding of (|A| + |theta| |B|) |x|, as inverse
// iteration's are (the route's are only where B is well conditioned), where
// the intervals of neighbours meet, or where a bound is wider than 1e-12 of
// the eigenvalue's scale.
bool LoneBounds(const DefinitePencil& p, const Route& route, std::array<Long, 4>& bound)
{
    const int n = p.n;
    const std::span<const Vector4> x(route.x.data(), U(n));
    const std::array<double, 4>& theta = route.nu;
    // lambda_min(B) from the route's factor, as FactorDefinite has it, but
    // in double, where the argument there does not hold for every safely
    // definite B. The factor's error E (|E|_2 <= gamma_(n+2) n |B|_2, |B|_2
    // <= n max |b_ij|) is taken off; and the second-order errors of the
    // bounds stay under 1e-5 of what they bound only while u kappa(B) does,
    // which n max |b_ij| |D^-1/2 L^-1|_F^2 >= kappa(B) bounds.
    const double big = n * p.bBig;
    const double smallest = 0.5 / route.inverseSquare - Gamma<double>(n + 2) * n * big;
    if (!(smallest > 0.0) || !(big * route.inverseSquare * Unit<double> < 1e-5)) return false;
    std::array<double, 4> epsilon{};
    std::array<double, 4> rqShift{};
    std::array<double, 4> radius{};
    std::array<bool, 4> unsquared{};
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
        if (!(norm <= 16.0 * DBL_EPSILON * (p.aBig + std::fabs(t) * p.bBig) * std::sqrt(xx))) return false;
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

// The starts of the groups of eigenvalues closer than a thousandth of their
// scale, whose vectors are made B-orthogonal to each other and bounded
// together; returns how many.
std::size_t Groups(const DefinitePencil& p, const std::array<double, 4>& theta, std::array<int, 4>& starts)
{
    std::size_t count = 0;
    for (int k = 0; k < p.n; ++k) {
        const double window = 1e-3 * ScaleLowerBound(p, theta[U(k)]);
        if (k == 0 || !(theta[U(k)] - theta[U(k - 1)] <= window)) starts[count++] = k;
    }
    return count;
}

// What ModesOf shows before the modal quantities: theta and the vectors in
// scaled units, the bounds, and lambda in the units typed.
struct Eigenpairs {
    std::array<double, 4> theta{};
    std::array<Vector4, 4> x{};
    std::array<Long, 4> bound{};
    std::array<double, 4> lambda{};
};

// lambda in the units typed for theta in scaled ones ("+ 0.0": never "-0").
double ShownLambda(const DefinitePencil& p, double theta)
{
    return p.Inverted() ? TimesPowerOfTwo(1.0 / theta, p.shift) + 0.0 : TimesPowerOfTwo(theta, -p.shift) + 0.0;
}

// dsygv's route, where it serves: every eigenvalue alone in an interval of
// its own, the vectors' residuals as small as inverse iteration's (the
// route's vectors of close eigenvalues are orthogonal as they come), and
// each bound within 1e-12 of the eigenvalue's scale, which proves theta
// right to its own conditioning as a count would. For a well conditioned B
// this is the common case, and a cheap one: no count, no factorisation of
// A - theta B.
bool RoutePairs(const DefinitePencil& p, Eigenpairs& e)
{
    const int n = p.n;
    const std::optional<Route> route = RouteEigenpairs(p);
    if (!route) return false;
    e.theta = route->nu;
    e.x = route->x;
    if (!LoneBounds(p, *route, e.bound)) return false;
    for (int k = 0; k < n; ++k) {
        const double t = e.theta[U(k)];
        // An eigenvalue beyond the double range, or a mu that may be 0 (an
        // infinite lambda), is the count's to decide.
        if (p.Inverted() && !(static_cast<Long>(std::fabs(t)) > e.bound[U(k)])) return false;
        e.lambda[U(k)] = ShownLambda(p, t);
        if (!std::isfinite(e.lambda[U(k)])) return false;
    }
    return true;
}

// x's Rayleigh quotient, formed in long double; NaN where it is not finite.
double Quotient(const DefinitePencil& p, const Vector4& x)
{
    Long xax = 0.0L, xbx = 0.0L;
    for (int i = 0; i < p.n; ++i)
        for (int j = 0; j < p.n; ++j) {
            const Long xij = static_cast<Long>(x[U(i)]) * static_cast<Long>(x[U(j)]);
            xax += xij * static_cast<Long>(p.a[U(i)][U(j)]);
            xbx += xij * static_cast<Long>(p.b[U(i)][U(j)]);
        }
    const auto quotient = static_cast<double>(xax / xbx);
    return std::isfinite(quotient) ? quotient : std::numeric_limits<double>::quiet_NaN();
}

// Otherwise the eigenvalues the count proves, and inverse iteration on
// A - theta B itself for the vectors, ascending in nu.
void CountedPairs(const DefinitePencil& p, Eigenpairs& e)
{
    const int n = p.n;
    const ProvedEigenvalues proved = PencilEigenvalues(p);
    e.theta = proved.scaledNu;
    std::array<int, 4> starts{};
    const std::size_t groupCount = Groups(p, e.theta, starts);
    for (std::size_t g = 0; g < groupCount; ++g) {
        const int first = starts[g];
        const int end = g + 1 < groupCount ? starts[g + 1] : n;
        for (int k = first; k < end; ++k) {
            const std::span<const Vector4> against(e.x.data() + first, U(k - first));
            // r = (1, ..., 1) first, which has a part along every mode that
            // takes part in a motion of the whole (x^T B r != 0); then starts
            // without any pattern, another for each mode.
            static constexpr Vector4 Irregular[4] = {{1.0, -0.7320508, 0.4142136, -0.2360680},
                                                     {0.5403023, 1.0, -0.4161468, 0.6536436},
                                                     {-0.9899925, 0.2836622, 1.0, 0.9601703},
                                                     {0.7539023, -0.1455000, -0.9111303, 1.0}};
            std::array<Vector4, 5> begin{Vector4{1.0, 1.0, 1.0, 1.0}};
            for (int s = 0; s < 4; ++s) begin[U(s + 1)] = Irregular[(s + k) % 4];
            Vector4& x = e.x[U(k)];
            x = InverseIteration(p, e.theta[U(k)], begin, against);
            // Each eigenvalue as its vector's Rayleigh quotient: right to the
            // eigenvalue's own conditioning as the counted value is (closer,
            // where that conditioning is poor: a count is exact only for a
            // pencil within rounding of the one typed in), and of all values
            // the one that leaves the smallest residual with the vector. The
            // bounds below are for it. Where it lies far from the counted
            // value, a shift that far off has left the vector's residual
            // beyond rounding, and the iteration is taken again from the
            // quotient.
            //
            // Before that, where vectors of the group came first, the same
            // shift is tried with them moved a scale away: taking them out
            // after each solve fails where the group's eigenvalues differ by
            // many orders of magnitude below its scale, as the solve grows
            // each of them so much more than the vector sought that the
            // rounding error left of them swamps it. Only then: where B is
            // ill conditioned, the term that moves them disturbs the other
            // vectors more than taking them out does.
            const auto far = [&](double q) {
                return std::fabs(q - e.theta[U(k)]) > 64.0 * DBL_EPSILON * ScaleLowerBound(p, q);
            };
            double quotient = Quotient(p, x);
            if (far(quotient) && !against.empty()) {
                x = InverseIteration(p, e.theta[U(k)], begin, against, true);
                quotient = Quotient(p, x);
            }
            if (far(quotient)) {
                begin[0] = x;
                x = InverseIteration(p, quotient, begin, against);
                quotient = Quotient(p, x);
            }
            if (!std::isnan(quotient)) e.theta[U(k)] = quotient;
        }
    }
    e.bound = Bounds(p, std::span(e.x.data(), U(n)), e.theta, std::span(starts.data(), groupCount));
    const std::array<double, 4> certified = LambdaAt(p, proved);
    for (int k = 0; k < n; ++k) {
        // An infinite eigenvalue, or one that would come out beyond the double
        // range, stays as the count decided; so does one whose vector could
        // not be bounded, as theta may then be another eigenvalue's (M all
        // but singular), where the count's is right to its own conditioning.
        // The others are theta's.
        const bool decided = std::isinf(certified[U(k)]) || (!p.Inverted() && !std::isfinite(proved.nu[U(k)])) ||
                             std::isinf(e.bound[U(k)]);
        e.lambda[U(k)] = decided ? certified[U(k)] : ShownLambda(p, e.theta[U(k)]);
    }
}

}  // namespace

ModalResult ModesOf(const DefinitePencil& p, const Matrix10& M)
{
    const int n = p.n;
    Eigenpairs e;
    if (!RoutePairs(p, e)) CountedPairs(p, e);
    const std::array<double, 4>& theta = e.theta;
    const std::array<Vector4, 4>& x = e.x;
    const std::array<Long, 4>& bound = e.bound;

    ModalResult result;
    result.n = n;
    result.massDefinite = !p.Inverted();
    const double sign = p.definite == DefiniteMatrix::MinusM ? -1.0 : 1.0;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    result.totalMass = nan;
    if (result.massDefinite) {
        result.totalMass = 0.0;
        for (int i = 1; i <= n; ++i)
            for (int j = 1; j <= n; ++j) result.totalMass += sign * M[U(i)][U(j)];
    }
    const Long unit = std::ldexp(1.0L, -p.shift);  // nu = scaled nu * unit, exactly
    for (int k = 0; k < n; ++k) {
        Mode& mode = result.modes[U(k)];
        mode.lambda = e.lambda[U(k)];
        Vector4 v = x[U(k)];
        Vector4 mv{};  // (+-M) v
        if (result.massDefinite) {
            // x^T (+-M) x = 1 in the units typed: the scaled B differs by a
            // power of two, so the form is taken afresh.
            double q = 0.0;
            for (int i = 0; i < n; ++i) {
                for (int j = 0; j < n; ++j) mv[U(i)] += (sign * M[U(i + 1)][U(j + 1)]) * v[U(j)];
                q += v[U(i)] * mv[U(i)];
            }
            const double scale = 1.0 / std::sqrt(q);
            for (int i = 0; i < n; ++i) v[U(i)] *= scale, mv[U(i)] *= scale;
        } else {
            double big = 0.0;
            for (int i = 0; i < n; ++i) big = std::max(big, std::fabs(v[U(i)]));
            for (int i = 0; i < n; ++i) v[U(i)] /= big;
        }
        if (FixSign(v, n))
            for (double& c : mv) c = -c;
        mode.vector = v;

        // The bound, from nu's in scaled units to lambda's in the units typed.
        const Long b = bound[U(k)];
        const Long nu = static_cast<Long>(theta[U(k)]);
        if (!p.Inverted()) {
            mode.bound = static_cast<double>(b * unit);
        } else if (std::isinf(mode.lambda) || !(std::fabs(nu) > b)) {
            mode.bound = HUGE_VAL;  // lambda may be infinite
        } else {
            // The true lambda lies between the ends of 1 / ([nu - b, nu + b]
            // unit), each formed in long double to within 1e-18 of itself;
            // the lambda shown, rounded to double, may sit anywhere in there.
            const Long lambda = static_cast<Long>(mode.lambda);
            const Long near = 1.0L / ((nu + std::copysign(b, nu)) * unit);
            const Long far = 1.0L / ((nu - std::copysign(b, nu)) * unit);
            mode.bound = static_cast<double>(std::max(std::fabs(far - lambda), std::fabs(lambda - near)) +
                                             1e-18L * std::fabs(far));
        }
        mode.omega = mode.hertz = mode.period = mode.participation = mode.effectiveMass = nan;
        if (!result.massDefinite) continue;
        // A lambda beyond the double range has an infinite bound too, and is
        // as far from a rigid-body mode as can be.
        if (mode.lambda > mode.bound || mode.lambda == HUGE_VAL) {
            mode.omega = std::sqrt(mode.lambda);
            mode.hertz = mode.omega / (2.0 * std::numbers::pi);
            mode.period = 1.0 / mode.hertz;
        } else if (std::fabs(mode.lambda) <= mode.bound && std::isfinite(mode.lambda)) {
            mode.omega = mode.hertz = 0.0;  // a rigid-body mode: no period
        }
        double participation = 0.0;  // x^T (+-M) r, r = (1, ..., 1)
        for (int i = 0; i < n; ++i) participation += mv[U(i)];
        mode.participation = participation;
        mode.effectiveMass = participation * participation;
    }
    // In ascending lambda, as the reports list them, infinities last; a
    // stable insertion sort, which needs no buffer as std::stable_sort does.
    for (int k = 1; k < n; ++k)
        for (int j = k; j > 0 && result.modes[U(j)].lambda < result.modes[U(j - 1)].lambda; --j)
            std::swap(result.modes[U(j)], result.modes[U(j - 1)]);
    return result;
}

std::optional<ModalResult> ModesOf(const Matrix10& K, const Matrix10& M, int n)
{
    const PencilClass c = ClassifyPencil(K, M, n);
    if (c.definiteness != Definiteness::Safe) return std::nullopt;
    return ModesOf(c.pencil, M);
}

}  // namespace varno
