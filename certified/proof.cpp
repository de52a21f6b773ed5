#include "certified/proof.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>
#include <utility>

#include "certified/candidates.h"
#include "certified/scaling.h"

namespace varno {
namespace {

// How far from a computed nu its proof reaches, in units of eps * s: the
// candidates err by a few units of B's condition times the largest, the
// counts by a few hundred units of s_k. Still far inside the 1e-12 s_k
// within which a value counts as right.
constexpr double Reach = 256.0;

// Bisection for nu_k from a bracket around centre, widened until it holds
// nu_k, then halved down to a quarter unit of rounding of s_k: as far as the
// counts can tell. The claim returned reaches at least as far as a proved
// candidate's would, so that a mu within rounding of 0 is one.
std::pair<double, EigenvalueClaim> Bisect(const DefinitePencil& p, int k, double centre, int& passes)
{
    if (!std::isfinite(centre)) centre = 0.0;
    const double start = std::max(Reach * DBL_EPSILON * ScaleLowerBound(p, centre), DBL_MIN);
    double width = start;
    double lo = centre - width;
    double hi = centre + width;
    for (int i = 0; i < 2200 && (++passes, CountScaled(p, lo, false) >= k); ++i)
        lo = std::max(-DBL_MAX, centre - (width *= 2.0));
    width = start;
    for (int i = 0; i < 2200 && (++passes, CountScaled(p, hi, true) < k); ++i)
        hi = std::min(DBL_MAX, centre + (width *= 2.0));
    for (int i = 0; i < 4400; ++i) {
        if (hi - lo <= 0.25 * DBL_EPSILON * ScaleLowerBound(p, std::max(std::fabs(lo), std::fabs(hi)))) break;
        const double mid = 0.5 * lo + 0.5 * hi;  // no overflow, even across the whole range
        if (mid <= lo || mid >= hi) break;
        ++passes;
        (CountScaled(p, mid, true) >= k ? hi : lo) = mid;
    }
    const double mid = 0.5 * lo + 0.5 * hi;
    const double reach = Reach * DBL_EPSILON * ScaleLowerBound(p, mid);
    return {mid, {k, std::min(lo, mid - reach), std::max(hi, mid + reach)}};
}

ProvedEigenvalues Unscaled(const DefinitePencil& p, Lane nu, Lane lo, Lane hi)
{
    // Each claim is about the k-th eigenvalue, so nu_k >= nu_(k-1) >= lo_(k-1)
    // tightens it from below and nu_k <= hi_(k+1) from above. The values
    // themselves, refined one by one, are put in order.
    SortAscending(nu, p.n);
    for (int k = 1; k < p.n; ++k) lo[U(k)] = std::max(lo[U(k)], lo[U(k - 1)]);
    for (int k = p.n - 2; k >= 0; --k) hi[U(k)] = std::min(hi[U(k)], hi[U(k + 1)]);
    ProvedEigenvalues e;
    for (int k = 0; k < p.n; ++k) {
        e.scaledNu[U(k)] = nu[U(k)];
        e.scaledLo[U(k)] = lo[U(k)];
        e.scaledHi[U(k)] = hi[U(k)];
        e.nu[U(k)] = TimesPowerOfTwo(nu[U(k)], -p.shift) + 0.0;  // + 0.0: never "-0"
        e.lo[U(k)] = TimesPowerOfTwo(lo[U(k)], -p.shift);
        e.hi[U(k)] = TimesPowerOfTwo(hi[U(k)], -p.shift);
    }
    return e;
}

// Proves the candidates (scaled units, ascending) within their reach, for
// the indices not held yet; nu, lo and hi take those claims. Returns the
// passes of counts spent.
int ProveSome(const DefinitePencil& p, const Lane& candidates, Lane& nu, Lane& lo, Lane& hi, std::array<bool, MaxOrder>& held)
{
    std::array<EigenvalueClaim, MaxOrder> claims{};
    std::array<int, MaxOrder> index{};
    std::size_t count = 0;
    for (int k = 0; k < p.n; ++k) {
        if (held[U(k)]) continue;
        const double reach = Reach * DBL_EPSILON * ScaleLowerBound(p, candidates[U(k)]);
        claims[count] = {k + 1, candidates[U(k)] - reach, candidates[U(k)] + reach};
        index[count++] = k;
    }
    std::array<bool, MaxOrder> proved{};
    CheckScaled(p, std::span(claims.data(), count), std::span(proved.data(), count));
    for (std::size_t c = 0; c < count; ++c) {
        const std::size_t k = U(index[c]);
        nu[k] = candidates[k];
        lo[k] = claims[c].lo;
        hi[k] = claims[c].hi;
        held[k] = proved[c];
    }
    return static_cast<int>(count + 1) / 2;  // two claims a pass
}

// Proves each candidate within its reach; where one fails and reducedToo
// says so, the candidate of dsygv's route for that index is tried; one that
// still fails, or all where there are no candidates, is found by bisection
// on the count for its own index. (Rayleigh quotient iteration from a poor
// candidate can settle on a neighbour, whose wider conditioning then lets a
// claim hold that says too little of this eigenvalue.)
ProvedEigenvalues Prove(const DefinitePencil& p, const std::optional<Lane>& candidates, bool reducedToo)
{
    const int n = p.n;
    Lane nu{};
    Lane lo{};
    Lane hi{};
    std::array<bool, MaxOrder> held{};
    int passes = 0;
    if (candidates) {
        passes += ProveSome(p, *candidates, nu, lo, hi, held);
        if (reducedToo && !std::all_of(held.begin(), held.begin() + n, [](bool h) { return h; }))
            if (const std::optional<Lane> second = Candidates(p, true))
                passes += ProveSome(p, *second, nu, lo, hi, held);
    }
    for (int k = 0; k < n; ++k) {
        if (held[U(k)]) continue;
        const auto [value, claim] = Bisect(p, k + 1, candidates ? nu[U(k)] : 0.0, passes);
        nu[U(k)] = value;
        lo[U(k)] = claim.lo;
        hi[U(k)] = claim.hi;
    }
    ProvedEigenvalues e = Unscaled(p, nu, lo, hi);
    e.passes = passes;
    return e;
}

}  // namespace

// The characteristic polynomial's candidates for n = 2 and 3 are backed by
// dsygv's route where they fail.
ProvedEigenvalues PencilEigenvalues(const DefinitePencil& p) { return Prove(p, Candidates(p), p.n <= 3); }

ProvedEigenvalues ProveCandidates(const DefinitePencil& p, const std::array<double, MaxOrder>& candidates)
{
    Lane scaled{};
    for (int k = 0; k < p.n; ++k) scaled[U(k)] = TimesPowerOfTwo(candidates[U(k)], p.shift);
    SortAscending(scaled, p.n);
    return Prove(p, scaled, false);
}

ProvedEigenvalues BisectedEigenvalues(const DefinitePencil& p)
{
    Lane nu{};
    Lane lo{};
    Lane hi{};
    int passes = 0;
    for (int k = 0; k < p.n; ++k) {
        const auto [value, claim] = Bisect(p, k + 1, 0.0, passes);
        nu[U(k)] = value;
        lo[U(k)] = claim.lo;
        hi[U(k)] = claim.hi;
    }
    ProvedEigenvalues e = Unscaled(p, nu, lo, hi);
    e.passes = passes;
    return e;
}

std::array<double, MaxOrder> LambdaOf(const DefinitePencil& p, const ProvedEigenvalues& e)
{
    std::array<double, MaxOrder> lambda = LambdaAt(p, e);
    SortAscending(lambda, p.n);
    return lambda;
}

std::array<double, MaxOrder> LambdaAt(const DefinitePencil& p, const ProvedEigenvalues& e)
{
    std::array<double, MaxOrder> lambda{};
    // A proved interval that holds 0 holds an eigenvalue within its rounding
    // of 0. Inverted, that is an infinite lambda. Otherwise lambda is shown
    // as computed, unless scaling it back blows a speck of rounding up beyond
    // the double range: then it is the 0 it stands for.
    for (int k = 0; k < p.n; ++k) {
        const std::size_t i = U(k);
        const bool zero = e.lo[i] <= 0.0 && e.hi[i] >= 0.0;
        if (!p.Inverted())
            lambda[i] = zero && !std::isfinite(e.nu[i]) ? 0.0 : e.nu[i];
        else
            lambda[i] = zero ? HUGE_VAL : TimesPowerOfTwo(1.0 / e.scaledNu[i], p.shift) + 0.0;
    }
    return lambda;
}

}  // namespace varno
