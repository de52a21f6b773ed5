#include "certified/modes.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>

#include "certified/inverse_iteration.h"
#include "certified/mode_bounds.h"
#include "certified/proof.h"
#include "certified/reduction.h"
#include "certified/ritz_within_group.h"
#include "certified/scaling.h"
#include "certified/typed_quotient.h"

namespace varno {
namespace {

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

// The starts of the groups of eigenvalues closer than a thousandth of their
// scale, whose vectors are made B-orthogonal to each other and bounded
// together; returns how many.
std::size_t Groups(const DefinitePencil& p, const std::array<double, MaxOrder>& theta, std::array<int, MaxOrder>& starts)
{
    std::size_t count = 0;
    for (int k = 0; k < p.n; ++k) {
        const double window = 1e-3 * FormedScale(p, theta[U(k)]);
        if (k == 0 || !(theta[U(k)] - theta[U(k - 1)] <= window)) starts[count++] = k;
    }
    return count;
}

// What ModesOf shows before the modal quantities: theta and the vectors in
// scaled units, the bounds, and lambda in the units typed.
struct Eigenpairs {
    std::array<double, MaxOrder> theta{};
    std::array<Vector4, MaxOrder> x{};
    std::array<Long, MaxOrder> bound{};
    std::array<double, MaxOrder> lambda{};
    std::array<double, MaxOrder> lambdaBound{};  // the bound of lambda, in the units typed
};

// The double at or above x.
double RoundUp(Long x)
{
    const auto d = static_cast<double>(x);
    return static_cast<Long>(d) < x ? std::nextafter(d, HUGE_VAL) : d;
}

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

// v^T B w in long double.
Long BProduct(const DefinitePencil& p, const Vector4& v, const Vector4& w)
{
    Long sum = 0.0L;
    for (int i = 0; i < p.n; ++i)
        for (int j = 0; j < p.n; ++j)
            sum += static_cast<Long>(v[U(i)]) * static_cast<Long>(p.b[U(i)][U(j)]) * static_cast<Long>(w[U(j)]);
    return sum;
}

// x less its part along v (v^T B v = 1 to within rounding).
void BOrthogonalise(const DefinitePencil& p, const Vector4& v, Vector4& x)
{
    const Long c = BProduct(p, v, x) / BProduct(p, v, v);
    for (int i = 0; i < p.n; ++i) x[U(i)] = static_cast<double>(static_cast<Long>(x[U(i)]) - c * static_cast<Long>(v[U(i)]));
}

void BNormalise(const DefinitePencil& p, Vector4& x)
{
    const Long q = BProduct(p, x, x);
    if (!(q > 0.0L) || !std::isfinite(q)) return;
    const Long scale = 1.0L / std::sqrt(q);
    for (int i = 0; i < p.n; ++i) x[U(i)] = static_cast<double>(static_cast<Long>(x[U(i)]) * scale);
}

// Otherwise the eigenvalues the count proves, and inverse iteration on
// A - theta B itself for the vectors, ascending in nu.
void CountedPairs(const DefinitePencil& p, const Matrix10& K, const Matrix10& M, Eigenpairs& e,
                  const ProvedEigenvalues* found)
{
    const int n = p.n;
    const ProvedEigenvalues proved = found ? *found : PencilEigenvalues(p);
    e.theta = proved.scaledNu;
    std::array<int, MaxOrder> starts{};
    const std::size_t groupCount = Groups(p, e.theta, starts);
    for (std::size_t g = 0; g < groupCount; ++g) {
        const int first = starts[g];
        const int end = g + 1 < groupCount ? starts[g + 1] : n;
        for (int k = first; k < end; ++k) {
            const std::span<const Vector4> against(e.x.data() + first, U(k - first));
            // r = (1, ..., 1) first, which has a part along every mode that
            // takes part in a motion of the whole (x^T B r != 0); then starts
            // without any pattern, another for each mode.
            // (n <= 4 reads the first four components alone.)
            static constexpr Vector4 Irregular[4] = {{1.0, -0.7320508, 0.4142136, -0.2360680, 0.8414710, -0.5048461},
                                                     {0.5403023, 1.0, -0.4161468, 0.6536436, -0.2794155, 0.1411200},
                                                     {-0.9899925, 0.2836622, 1.0, 0.9601703, -0.7568025, 0.6569866},
                                                     {0.7539023, -0.1455000, -0.9111303, 1.0, 0.4121185, -0.9589243}};
            std::array<Vector4, 5> begin{Vector4{1.0, 1.0, 1.0, 1.0, 1.0, 1.0}};
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
                return std::fabs(q - e.theta[U(k)]) > 64.0 * DBL_EPSILON * FormedScale(p, q);
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
        RitzWithinGroup(p, proved, first, end, e.x, e.theta);
    }
    e.bound = Bounds(p, std::span(e.x.data(), U(n)), e.theta, std::span(starts.data(), groupCount), &proved);
    // The vector of an eigenvalue that could not be bounded says little of
    // its direction but that it is B-orthogonal to the others' (which are
    // right): made so, the modes still resolve the unit motion into parts
    // that add up to the total mass.
    // (Only where it is far from that: elsewhere its own residual is the
    // better guide.)
    for (int k = 0; k < n; ++k) {
        if (!std::isinf(e.bound[U(k)])) continue;
        bool far = false;
        for (int j = 0; j < n; ++j)
            far = far || (j != k && !std::isinf(e.bound[U(j)]) && std::fabs(BProduct(p, e.x[U(j)], e.x[U(k)])) > 1e-6L);
        if (!far) continue;
        for (int pass = 0; pass < 2; ++pass)
            for (int j = 0; j < n; ++j)
                if (j != k && !std::isinf(e.bound[U(j)])) BOrthogonalise(p, e.x[U(j)], e.x[U(k)]);
        BNormalise(p, e.x[U(k)]);
    }
    const std::array<double, MaxOrder> certified = LambdaAt(p, proved);
    for (int k = 0; k < n; ++k) {
        // An infinite eigenvalue, or one that would come out beyond the double
        // range, stays as the count decided; so does one whose vector could
        // not be bounded, as theta may then be another eigenvalue's (M all
        // but singular), where the count's is right to its own conditioning.
        // The others are theta's.
        //
        // So does one where theta left the bracket the counts prove and its
        // own bound cannot tell it from the counted value: where the
        // eigenvalue lies deep below the pencil's scale (near the underflow
        // of the scaled units), the solves lose it and theta is noise that
        // only its vast bound covers.
        const double t = e.theta[U(k)];
        const bool bracketed = t >= proved.scaledLo[U(k)] && t <= proved.scaledHi[U(k)];
        const bool unresolved = !bracketed && !(static_cast<Long>(std::fabs(t - proved.scaledNu[U(k)])) > e.bound[U(k)]);
        // And so does one whose theta would come out beyond the double range
        // where the counted value does not: a quotient of rounding noise
        // beside an eigenvalue that is 0, hundreds of orders of magnitude
        // below the others.
        const double shown = ShownLambda(p, t);
        const bool decided = std::isinf(certified[U(k)]) || (!p.Inverted() && !std::isfinite(proved.nu[U(k)])) ||
                             std::isinf(e.bound[U(k)]) || unresolved || !std::isfinite(shown);
        e.lambda[U(k)] = decided ? certified[U(k)] : shown;
        if (TypedValueWhereLost(p, K, M, proved, k, e.x[U(k)], e.lambda[U(k)])) BNormalise(p, e.x[U(k)]);
    }
}

// Each bound from nu's in scaled units to lambda's in the units typed,
// rounded up. The lambda shown may differ from the theta the bound is about
// where it rounds into or below the subnormal range (or, inverted, by the
// division's rounding): that difference is part of its bound.
void LambdaBounds(const DefinitePencil& p, Eigenpairs& e)
{
    const Long unit = std::ldexp(1.0L, -p.shift);  // nu = scaled nu * unit, exactly
    for (int k = 0; k < p.n; ++k) {
        const Long b = e.bound[U(k)];
        const Long nu = static_cast<Long>(e.theta[U(k)]);
        const double lambda = e.lambda[U(k)];
        if (!p.Inverted()) {
            e.lambdaBound[U(k)] = std::isfinite(lambda) ? RoundUp(b * unit + std::fabs(static_cast<Long>(lambda) - nu * unit))
                                                        : HUGE_VAL;
        } else if (std::isinf(lambda) || !(std::fabs(nu) > b)) {
            e.lambdaBound[U(k)] = HUGE_VAL;  // lambda may be infinite
        } else {
            // The true lambda lies between the ends of 1 / ([nu - b, nu + b]
            // unit), each formed in long double to within 1e-18 of itself;
            // the lambda shown, rounded to double, may sit anywhere in there.
            const Long shown = static_cast<Long>(lambda);
            const Long near = 1.0L / ((nu + std::copysign(b, nu)) * unit);
            const Long far = 1.0L / ((nu - std::copysign(b, nu)) * unit);
            e.lambdaBound[U(k)] = RoundUp(std::max(std::fabs(far - shown), std::fabs(shown - near)) + 1e-18L * std::fabs(far));
        }
    }
}

// A diagonal pencil: its eigenvalues are the quotients K_ii / M_ii, correctly
// rounded, +inf where M_ii is 0, each bounded by its own rounding: the
// remainder K_ii - lambda M_ii, which a fused multiply-add gives exactly, over
// M_ii. Its vectors are the unit vectors.
bool DiagonalPairs(const DefinitePencil& p, const Matrix10& K, const Matrix10& M, Eigenpairs& e)
{
    const int n = p.n;
    for (int i = 1; i <= n; ++i)
        for (int j = i + 1; j <= n; ++j)
            if (K[U(i)][U(j)] != 0.0 || M[U(i)][U(j)] != 0.0) return false;
    for (int k = 0; k < n; ++k) {
        const double kk = K[U(k + 1)][U(k + 1)];
        const double mk = M[U(k + 1)][U(k + 1)];
        const double lambda = mk == 0.0 ? HUGE_VAL : kk / mk + 0.0;
        e.x[U(k)] = {};
        e.x[U(k)][U(k)] = 1.0;
        e.theta[U(k)] = p.Inverted() ? ScaledNu(p, mk / kk) : ScaledNu(p, lambda);
        e.lambda[U(k)] = lambda;
        e.bound[U(k)] = 0.0L;
        double bound = 0.0;
        if (mk == 0.0) {
            bound = 0.0;  // exactly infinite
        } else if (std::fabs(lambda) >= DBL_MIN && std::isfinite(lambda * mk)) {
            const double remainder = std::fma(-lambda, mk, kk);  // exact
            bound = remainder == 0.0 ? 0.0 : RoundUp(std::fabs(static_cast<Long>(remainder) / static_cast<Long>(mk)));
        } else {
            // Beyond the double range, or at or below its subnormal end.
            bound = static_cast<Long>(lambda) * static_cast<Long>(mk) == static_cast<Long>(kk)
                        ? 0.0
                        : std::isfinite(lambda) ? DBL_TRUE_MIN : HUGE_VAL;
        }
        e.lambdaBound[U(k)] = bound;
    }
    return true;
}

// The eigenpairs of a definite pencil with their bounds: a diagonal pencil's
// own, dsygv's route where it serves, the count and inverse iteration
// otherwise.
Eigenpairs PairsOf(const DefinitePencil& p, const Matrix10& K, const Matrix10& M,
                   const ProvedEigenvalues* proved = nullptr)
{
    Eigenpairs e;
    if (DiagonalPairs(p, K, M, e)) return e;
    if (!RoutePairs(p, e)) CountedPairs(p, K, M, e, proved);
    LambdaBounds(p, e);
    return e;
}

}  // namespace

ModalResult ModesOf(const DefinitePencil& p, const Matrix10& K, const Matrix10& M, const ProvedEigenvalues* proved)
{
    const int n = p.n;
    const Eigenpairs e = PairsOf(p, K, M, proved);
    const std::array<Vector4, MaxOrder>& x = e.x;

    ModalResult result;
    result.n = n;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    result.totalMass = nan;
    // The mass matrix: M or -M where it is the definite one; where K or -K
    // is, M or -M where it is semidefinite (a degree of freedom without
    // mass), as every mu = 1 / lambda then has one sign, that of M's
    // quadratic form relative to the definite matrix.
    double sign = p.definite == DefiniteMatrix::MinusM ? -1.0 : 1.0;
    result.massDefinite = !p.Inverted();
    if (p.Inverted()) {
        bool nonNegative = true, nonPositive = true;
        for (int k = 0; k < n; ++k) {
            nonNegative = nonNegative && static_cast<Long>(e.theta[U(k)]) >= -e.bound[U(k)];
            nonPositive = nonPositive && static_cast<Long>(e.theta[U(k)]) <= e.bound[U(k)];
        }
        const double definiteSign = p.definite == DefiniteMatrix::K ? 1.0 : -1.0;
        if (nonNegative != nonPositive) {  // not all of them zero
            result.massDefinite = true;
            sign = nonNegative ? definiteSign : -definiteSign;
        }
    }
    result.negativeMass = result.massDefinite && sign < 0.0;
    if (result.massDefinite) {
        result.totalMass = 0.0;
        for (int i = 1; i <= n; ++i)
            for (int j = 1; j <= n; ++j) result.totalMass += sign * M[U(i)][U(j)];
    }
    for (int k = 0; k < n; ++k) {
        Mode& mode = result.modes[U(k)];
        mode.lambda = e.lambda[U(k)];
        mode.bound = e.lambdaBound[U(k)];
        // The vector in the units typed; where the pencil was congruence-scaled,
        // brought to a largest component of 1 before any form is taken of it.
        Vector4 v = x[U(k)];
        if (std::any_of(p.congruence.begin(), p.congruence.end(), [](int power) { return power != 0; })) {
            double big = 0.0;
            for (int i = 0; i < n; ++i) {
                v[U(i)] = TimesPowerOfTwo(v[U(i)], p.congruence[U(i)]);
                big = std::max(big, std::fabs(v[U(i)]));
            }
            for (int i = 0; i < n; ++i) v[U(i)] /= big;
        }
        // K x = inf M x, M x = 0: a mode of the degrees of freedom without
        // mass. (Where M is definite, inf is an eigenvalue beyond the double
        // range.)
        const bool massless = p.Inverted() && std::isinf(mode.lambda);
        Vector4 mv{};  // (+-M) v
        if (result.massDefinite && !massless) {
            // x^T (+-M) x = 1 in the units typed.
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
            // A mode without mass: what is left of the other components at
            // rounding level is 0.
            if (massless)
                for (int i = 0; i < n; ++i)
                    if (std::fabs(v[U(i)]) <= 64.0 * n * DBL_EPSILON) v[U(i)] = 0.0;
        }
        if (FixSign(v, n))
            for (double& c : mv) c = -c;
        for (int i = 0; i < n; ++i) v[U(i)] += 0.0;  // never "-0"
        mode.vector = v;

        mode.omega = mode.hertz = mode.period = mode.participation = mode.effectiveMass = nan;
        if (!result.massDefinite || massless) continue;
        // A lambda beyond the double range has an infinite bound too, and is
        // as far from a rigid-body mode as can be.
        // An eigenvalue without a bound is no rigid-body mode for that: its
        // frequency is its value's, as for any other.
        const double bound = std::isinf(mode.bound) ? 0.0 : mode.bound;
        if (mode.lambda > bound || mode.lambda == HUGE_VAL) {
            mode.omega = std::sqrt(mode.lambda);
            mode.hertz = mode.omega / (2.0 * std::numbers::pi);
            mode.period = 1.0 / mode.hertz;
        } else if (std::fabs(mode.lambda) <= bound && std::isfinite(mode.lambda)) {
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

std::array<double, MaxOrder> CertifiedLambda(const DefinitePencil& p, const Matrix10& K, const Matrix10& M,
                                             const ProvedEigenvalues* proved)
{
    std::array<double, MaxOrder> lambda = PairsOf(p, K, M, proved).lambda;
    SortAscending(lambda, p.n);
    return lambda;
}

std::optional<ModalResult> ModesOf(const Matrix10& K, const Matrix10& M, int n)
{
    const PencilClass c = ClassifyPencil(K, M, n);
    if (c.definiteness != Definiteness::Safe) return std::nullopt;
    return ModesOf(c.pencil, K, M);
}

CriticalLoad CriticalLoadOf(const ModalResult& result)
{
    if (result.massDefinite) return {};
    for (int k = 0; k < result.n; ++k) {
        const double lambda = result.modes[static_cast<std::size_t>(k)].lambda;
        if (lambda > 0.0 && !std::isinf(lambda)) return {k + 1, lambda};
    }
    return {};
}

}  // namespace varno
