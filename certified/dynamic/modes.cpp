#include "certified/dynamic/modes.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>
#include <numeric>

#include "certified/dynamic/candidates.h"
#include "certified/dynamic/definite_form.h"
#include "certified/dynamic/enclosures.h"

namespace varno {
namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

// A double at or below x, and one at or above it, whatever the rounding
// before (a relative 4 eps, and a subnormal step where x is that small).
double Below(double x) { return x - std::fabs(x) * 4 * DBL_EPSILON - DBL_TRUE_MIN; }
double Above(double x) { return x + std::fabs(x) * 4 * DBL_EPSILON + DBL_TRUE_MIN; }

// lambda and the interval that holds it, from nu in [lo, hi] (scaled units).
struct LambdaInterval {
    double lambda = 0.0;
    double lo = 0.0;
    double hi = 0.0;
};
LambdaInterval LambdaFrom(const DynamicPencil& p, double nu, double lo, double hi)
{
    const double s = std::ldexp(nu, -p.shift);
    const double l = std::ldexp(lo, -p.shift);
    const double h = std::ldexp(hi, -p.shift);
    if (!p.Inverted()) return {s, Below(l), Above(h)};
    if (l <= 0.0 && h >= 0.0) return {Inf, -Inf, Inf};  // a mode without mass, within rounding
    // 1/nu is monotone on an interval without 0.
    const double lambda = 1.0 / s;
    if (std::isinf(lambda)) return {lambda, -Inf, Inf};
    return {lambda, Below(1.0 / h), Above(1.0 / l)};
}

}  // namespace

std::optional<DynamicModalResult> DynamicModesOf(const SymmetricPencil& pencil, bool withVectors, int first)
{
    const std::optional<DynamicPencil> formed = FormDynamicPencil(pencil);
    if (!formed) return std::nullopt;
    const DynamicPencil& p = *formed;
    const int n = p.n;
    const int kept = first > 0 && first < n ? first : n;
    // The lowest lambda are the lowest nu only where nu = lambda; one more
    // than kept, so that the last kept has a neighbour above it.
    const int asked = kept < n && !p.Inverted() ? kept + 1 : 0;
    const CandidatePairs c = DynamicCandidates(p, asked < n ? asked : 0);
    if (!c.ok) return std::nullopt;
    const DynamicEnclosures e = Enclose(p, c, p.smallestOfB);
    const std::size_t found = e.nu.size();

    DynamicModalResult r;
    r.n = n;
    r.definite = p.definite;
    r.counts = e.counts;
    r.negativeMass = p.definite == DefiniteMatrix::MinusM;
    std::vector<LambdaInterval> lambda(found);
    for (std::size_t k = 0; k < found; ++k) lambda[k] = LambdaFrom(p, e.nu[k], e.lo[k], e.hi[k]);
    std::vector<int> order(found);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int i, int j) {
        return lambda[static_cast<std::size_t>(i)].lambda < lambda[static_cast<std::size_t>(j)].lambda;
    });
    // Sorted by value, an interval that meets its neighbour's may hold the
    // other's eigenvalue: each of a run of meeting intervals takes the run's
    // union, which holds all of theirs.
    // (Infinite lambda, last, are each their own.)
    std::size_t finite = 0;
    while (finite < found && !std::isinf(lambda[static_cast<std::size_t>(order[finite])].lambda)) ++finite;
    for (std::size_t k = 0; k < finite;) {
        std::size_t end = k + 1;
        double lo = lambda[static_cast<std::size_t>(order[k])].lo, hi = lambda[static_cast<std::size_t>(order[k])].hi;
        while (end < finite && lambda[static_cast<std::size_t>(order[end])].lo <= hi) {
            lo = std::min(lo, lambda[static_cast<std::size_t>(order[end])].lo);
            hi = std::max(hi, lambda[static_cast<std::size_t>(order[end])].hi);
            ++end;
        }
        for (; k < end; ++k) lambda[static_cast<std::size_t>(order[k])].lo = lo, lambda[static_cast<std::size_t>(order[k])].hi = hi;
    }
    order.resize(static_cast<std::size_t>(kept));
    const std::size_t un = order.size();  // the modes given
    const std::size_t rows = static_cast<std::size_t>(n);
    r.lambda.resize(un), r.bound.resize(un);
    for (std::size_t k = 0; k < un; ++k) {
        const LambdaInterval& x = lambda[static_cast<std::size_t>(order[k])];
        r.lambda[k] = x.lambda;
        const double bound = std::max(x.lambda - x.lo, x.hi - x.lambda);
        r.bound[k] = std::isnan(bound) ? Inf : Above(bound);
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    r.omega.assign(un, nan), r.hertz.assign(un, nan), r.period.assign(un, nan);
    r.totalMass = nan;

    // Mass: M (or -M) definite, or semidefinite beside a definite K (or -K).
    const double massSign = p.definite == DefiniteMatrix::MinusM || p.definite == DefiniteMatrix::MinusK ? -1.0 : 1.0;
    const DenseMatrix& M = pencil.M;
    bool massOk = !p.Inverted();
    if (p.Inverted()) {
        // Semidefinite: every finite mode has positive mass, and the infinite
        // ones are the massless directions, within rounding.
        massOk = true;
        for (std::size_t k = 0; k < un; ++k)
            if (std::isfinite(r.lambda[k]) && !(r.lambda[k] >= -r.bound[k])) massOk = false;
    }
    r.massDefinite = massOk;
    if (massOk) {
        long double total = 0.0L;
        for (const double v : M.a) total += v;
        r.totalMass = static_cast<double>(massSign * total);
        if (p.definite == DefiniteMatrix::MinusK) r.negativeMass = true;
    }
    if (!withVectors) return r;

    r.vectors = DenseMatrix(n, static_cast<int>(un));
    for (std::size_t k = 0; k < un; ++k) {
        const int from = order[k];
        const std::size_t uf = static_cast<std::size_t>(from);
        double* x = r.vectors.Column(static_cast<int>(k));
        const double* y = c.y.Column(from);
        for (std::size_t i = 0; i < rows; ++i) x[i] = std::ldexp(y[i], p.congruence[i]);
        const bool infinite = std::isinf(r.lambda[k]);
        // x^T (+-M) x from y^T b y: S B S = 2^bExponent b, and where K is
        // the definite one, y^T a y = nu y^T b y.
        long double q = 0.0L;
        if (massOk && !infinite)
            q = p.Inverted() ? std::ldexp(static_cast<long double>(c.nu[uf]) * c.massNorm[uf], p.aExponent)
                             : std::ldexp(static_cast<long double>(c.massNorm[uf]), p.bExponent);
        if (q > 0.0L) {
            const double scale = static_cast<double>(1.0L / std::sqrt(q));
            for (std::size_t i = 0; i < rows; ++i) x[i] *= scale;
        } else {
            double big = 0.0;
            for (std::size_t i = 0; i < rows; ++i) big = std::max(big, std::fabs(x[i]));
            if (big > 0.0)
                for (std::size_t i = 0; i < rows; ++i) x[i] /= big;
        }
        // The largest component positive; of near-equal ones, the first.
        double big = 0.0;
        for (std::size_t i = 0; i < rows; ++i) big = std::max(big, std::fabs(x[i]));
        for (std::size_t i = 0; i < rows; ++i)
            if (std::fabs(x[i]) >= big * (1.0 - 1e-9)) {
                if (x[i] < 0.0)
                    for (std::size_t j = 0; j < rows; ++j) x[j] = -x[j];
                break;
            }
        for (std::size_t i = 0; i < rows; ++i) x[i] += 0.0;  // never "-0"

        if (!massOk || infinite) continue;
        if (r.lambda[k] > r.bound[k] || r.lambda[k] == Inf) {
            r.omega[k] = std::sqrt(r.lambda[k]);
            r.hertz[k] = r.omega[k] / (2.0 * std::numbers::pi);
            r.period[k] = 1.0 / r.hertz[k];
        } else if (std::fabs(r.lambda[k]) <= r.bound[k]) {
            r.omega[k] = r.hertz[k] = 0.0;  // a rigid-body mode: no period
        }
    }
    return r;
}

}  // namespace varno
