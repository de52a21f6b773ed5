#include "certified/dynamic/enclosures.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

#include "certified/dynamic/inertia.h"

namespace varno {
namespace {

using Long = long double;
constexpr double Inf = std::numeric_limits<double>::infinity();

// n units of rounding as an error bound's factor, generously rounded up.
double Gamma(int n) { return 1.01 * n * (DBL_EPSILON / 2); }

double Up(Long x) { return static_cast<double>(x * (1.0L + 8.0L * LDBL_EPSILON)) * (1.0 + 2 * DBL_EPSILON); }
double Down(Long x) { return static_cast<double>(x * (1.0L - 8.0L * LDBL_EPSILON)) * (1.0 - 2 * DBL_EPSILON); }

struct Pair {
    double theta = 0.0;
    double eta = Inf;    // the residual bound
    double dtheta = Inf;  // theta's distance from the exact Rayleigh quotient, at most
    double scale = Inf;  // (|a| + |theta| |b|) |y|^2 / |y|_b^2, above s_k
};

Pair Bound(const DynamicPencil& p, const CandidatePairs& c, std::size_t k, double beta)
{
    Pair out;
    out.theta = c.nu[k];
    const Long norm = c.norm[k];
    const Long size = p.normA + std::fabs(out.theta) * static_cast<Long>(p.normB);
    const Long g = Gamma(p.n + 2);
    const Long mass = c.massNorm[k] - g * c.absB[k];
    if (!(mass > 0.0L)) return out;
    out.scale = Up(size * norm * norm / mass);
    const Long quotient = c.absA[k] + std::fabs(out.theta) * static_cast<Long>(c.absB[k]);
    out.dtheta = Up(g * quotient / mass + std::fabs(out.theta) * DBL_EPSILON);
    if (!(beta > 0.0)) return out;
    const Long residual = c.residual[k] + g * c.absResidual[k] + p.n * DBL_MIN;  // and dgemm's own underflow
    out.eta = Up(residual / std::sqrt(beta * mass));
    return out;
}

// The interval of the k-th eigenvalue (0-based index) by bisection on the
// count, from a bracket around guess grown until it holds it.
void Bisect(const DynamicPencil& p, int k, double guess, double tolerance, double& lo, double& hi, int& counts)
{
    double width = std::max({std::fabs(guess) * 0x1p-30, tolerance, DBL_MIN});
    lo = guess - width;
    hi = guess + width;
    for (int grow = 0; grow < 200; ++grow) {
        const int below = (++counts, DynamicCount(p, lo));
        if (below <= k) break;
        width *= 16.0;
        lo = guess - width;
        if (!std::isfinite(lo)) return void(lo = -Inf);
    }
    width = std::max({std::fabs(guess) * 0x1p-30, tolerance, DBL_MIN});
    for (int grow = 0; grow < 200; ++grow) {
        const int below = (++counts, DynamicCount(p, hi));
        if (below > k) break;
        width *= 16.0;
        hi = guess + width;
        if (!std::isfinite(hi)) return void(hi = Inf);
    }
    for (int step = 0; step < 2200 && hi - lo > tolerance; ++step) {
        const double mid = lo + (hi - lo) / 2;
        if (mid <= lo || mid >= hi) break;
        if ((++counts, DynamicCount(p, mid)) <= k)
            lo = mid;
        else
            hi = mid;
    }
}

}  // namespace

DynamicEnclosures Enclose(const DynamicPencil& p, const CandidatePairs& c, double smallestOfB)
{
    // The candidates' count: n, or the lowest few where c is partial.
    const int n = static_cast<int>(c.nu.size());
    const std::size_t un = static_cast<std::size_t>(n);
    std::vector<Pair> pair(un);
    for (std::size_t k = 0; k < un; ++k) pair[k] = Bound(p, c, k, smallestOfB);

    DynamicEnclosures out;
    out.nu = c.nu;
    out.lo.resize(un);
    out.hi.resize(un);
    for (std::size_t k = 0; k < un; ++k) {
        out.lo[k] = Down(static_cast<Long>(pair[k].theta) - pair[k].eta);
        out.hi[k] = Up(static_cast<Long>(pair[k].theta) + pair[k].eta);
    }
    // Groups of meeting intervals: [start[g], start[g + 1]).
    std::vector<int> start{0};
    double reach = out.hi[0];
    for (int k = 1; k < n; ++k) {
        const std::size_t u = static_cast<std::size_t>(k);
        if (out.lo[u] <= reach || std::isnan(out.lo[u]) || std::isnan(reach))
            reach = std::max(reach, out.hi[u]);
        else
            start.push_back(k), reach = out.hi[u];
    }
    start.push_back(n);
    const std::size_t groups = start.size() - 1;
    std::vector<double> groupLo(groups), groupHi(groups);
    for (std::size_t g = 0; g < groups; ++g) {
        groupLo[g] = Inf, groupHi[g] = -Inf;
        for (int k = start[g]; k < start[g + 1]; ++k) {
            groupLo[g] = std::min(groupLo[g], out.lo[static_cast<std::size_t>(k)]);
            groupHi[g] = std::max(groupHi[g], out.hi[static_cast<std::size_t>(k)]);
        }
    }
    // suspect[k]: no interval of the candidates' holds the k-th eigenvalue
    // alone, for bisection.
    std::vector<bool> suspect(un, false);
    // Counts at the ends of the groups of more than one; each stretch of lone
    // intervals between two counted ends is settled by their difference.
    int counted = 0;     // the count at the last counted end (-1: none to lean on)
    int countedAt = 0;   // the first index after it
    const auto settle = [&](int end, int count) {
        // Indices [countedAt, end) are lone intervals between counted ends:
        // they hold one each exactly where the counts add up.
        if (count - counted != end - countedAt)
            for (int k = countedAt; k < end; ++k) suspect[static_cast<std::size_t>(k)] = true;
    };
    for (std::size_t g = 0; g < groups; ++g) {
        const int first = start[g];
        const int last = start[g + 1];
        if (last - first == 1) continue;
        if (!std::isfinite(groupLo[g]) || !std::isfinite(groupHi[g])) {
            for (int k = first; k < last; ++k) suspect[static_cast<std::size_t>(k)] = true;
            // Nothing after this group can lean on a count before it.
            counted = -1;
            continue;
        }
        const int below = (++out.counts, DynamicCount(p, groupLo[g]));
        const int upTo = (++out.counts, DynamicCount(p, groupHi[g]));
        if (counted < 0) {
            for (int k = countedAt; k < first; ++k) suspect[static_cast<std::size_t>(k)] = true;
        } else {
            settle(first, below);
        }
        if (below != first || upTo != last)
            for (int k = first; k < last; ++k) suspect[static_cast<std::size_t>(k)] = true;
        counted = upTo;
        countedAt = last;
    }
    if (counted < 0) {
        for (int k = countedAt; k < n; ++k) suspect[static_cast<std::size_t>(k)] = true;
    } else if (c.partial) {
        // Only the lowest few have candidates: a count above the last says
        // that no other eigenvalue lies among them.
        const double top = groupHi[groups - 1];
        const int upTo = std::isfinite(top) ? (++out.counts, DynamicCount(p, top)) : -1;
        if (upTo < 0)
            for (int k = countedAt; k < n; ++k) suspect[static_cast<std::size_t>(k)] = true;
        else
            settle(n, upTo);
    } else if (countedAt > 0) {
        settle(n, n);
    }
    // Where nothing was counted, the n lone intervals hold one each.

    // Group members take their group's interval; lone ones Kato-Temple's
    // where it is tighter. A group's members come in its vectors' order.
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t first = static_cast<std::size_t>(start[g]);
        const std::size_t last = static_cast<std::size_t>(start[g + 1]);
        if (last - first > 1) {
            for (std::size_t k = first; k < last; ++k) out.lo[k] = groupLo[g], out.hi[k] = groupHi[g];
            continue;
        }
        if (suspect[first]) continue;
        const Pair& q = pair[first];
        const Long left = g == 0 ? -static_cast<Long>(Inf) : static_cast<Long>(groupHi[g - 1]);
        // Above the last of a partial set lie eigenvalues no candidate stands for.
        if (c.partial && g + 1 == groups) continue;
        const Long right = g + 1 == groups ? static_cast<Long>(Inf) : static_cast<Long>(groupLo[g + 1]);
        const Long theta = q.theta;
        const Long toLeft = theta - q.dtheta - left;
        const Long toRight = right - theta - q.dtheta;
        if (!(toLeft > 0.0L) || !(toRight > 0.0L)) continue;
        const Long eta = static_cast<Long>(q.eta) + q.dtheta;
        const Long square = eta * eta;
        out.lo[first] = std::max(out.lo[first], Down(theta - q.dtheta - square / toRight));
        out.hi[first] = std::min(out.hi[first], Up(theta + q.dtheta + square / toLeft));
    }
    // Bisection where the candidates' intervals prove nothing, or nothing
    // near the eigenvalue's own scale.
    // Where nu = 0 is an infinite lambda, an interval that holds 0 must be
    // as narrow as rounding before it says so.
    for (std::size_t k = 0; k < un; ++k) {
        const double scale = pair[k].scale;
        const double tolerance = std::isfinite(scale) ? scale * 0x1p-44 : 0.0;
        const bool wide = !(out.hi[k] - out.lo[k] <= scale * 0x1p-30) ||
                          (p.Inverted() && out.lo[k] <= 0.0 && out.hi[k] >= 0.0 && out.hi[k] - out.lo[k] > scale * 0x1p-40);
        if (!suspect[k] && !wide) continue;
        double lo = 0.0, hi = 0.0;
        Bisect(p, static_cast<int>(k), c.nu[k], tolerance, lo, hi, out.counts);
        // A count is exact for a matrix within dsytrf's backward error of
        // a - sigma b, which moves the eigenvalue by up to about n eps s_k:
        // a bracket narrower than that proves nothing finer. s_k from the
        // candidate's vector where it holds this eigenvalue alone, else from
        // inverse iteration where the bisection ended (the candidate may
        // stand for another one, or for none).
        double s = scale;
        if (suspect[k] || !std::isfinite(s)) {
            s = (++out.counts, ScaleNear(p, lo + (hi - lo) / 2));
            if (std::isfinite(s) && s * 0x1p-44 < hi - lo) Bisect(p, static_cast<int>(k), lo + (hi - lo) / 2, s * 0x1p-44, lo, hi, out.counts);
        }
        const double uncertain = Up(static_cast<Long>(4.0 * (p.n + 2) * DBL_EPSILON) * s);
        lo = Down(static_cast<Long>(lo) - uncertain);
        hi = Up(static_cast<Long>(hi) + uncertain);
        if (std::isnan(lo)) lo = -Inf;
        if (std::isnan(hi)) hi = Inf;
        if (suspect[k] || (hi - lo < out.hi[k] - out.lo[k])) out.lo[k] = lo, out.hi[k] = hi;
    }
    for (std::size_t k = 0; k < un; ++k)
        if (!(out.nu[k] >= out.lo[k] && out.nu[k] <= out.hi[k]))
            out.nu[k] = out.lo[k] + (out.hi[k] - out.lo[k]) / 2;
    return out;
}

}  // namespace varno
