#include "driver/general_check.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <string>

#include "core/number_text.h"

namespace varno {
namespace {

// What a shown value is judged against: the value the truth lies near, how
// far from it a shown value may lie, and how far the truth itself may.
struct Target {
    Eigenvalue value;
    double tolerance = 0.0;
    double doubt = 0.0;
};

// QZ's values are within a few units of rounding of s of the true ones.
constexpr double QzDoubt = 256.0 * DBL_EPSILON;

std::array<Target, 4> TargetsOf(const GeneralEigenvalues& r)
{
    std::array<Target, 4> targets{};
    const std::size_t n = static_cast<std::size_t>(r.n);
    for (std::size_t k = 0; k < n; ++k) {
        int members = 0;
        long double re = 0.0L, im = 0.0L;
        for (std::size_t j = 0; j < n; ++j)
            if (r.cluster[j] == r.cluster[k])
                re += static_cast<long double>(r.lambda[j].re), im += static_cast<long double>(r.lambda[j].im), ++members;
        Target& t = targets[k];
        if (members == 1) {
            t.value = r.lambda[k];
            t.tolerance = 0.5 * ClusterNoise * r.scale[k];
            t.doubt = QzDoubt * r.scale[k];
            if (std::fabs(t.value.im) <= t.tolerance) t.value.im = 0.0;
            continue;
        }
        t.value = {static_cast<double>(re / members), static_cast<double>(im / members)};
        double radius = 0.0;
        for (std::size_t j = 0; j < n; ++j)
            if (r.cluster[j] == r.cluster[k])
                radius = std::max(radius, std::hypot(r.lambda[j].re - t.value.re, r.lambda[j].im - t.value.im));
        if (std::fabs(t.value.im) <= radius) t.value.im = 0.0;
        // The smallest s any eigenvector could give the mean.
        const double scale = r.unitScale + std::hypot(t.value.re, t.value.im);
        t.tolerance = 0.5 * ClusterNoise * scale;
        t.doubt = QzDoubt * scale;
    }
    // Where the conditioning could not be told (an eigenvector with x^T M x
    // zero, or a scale beyond the double range), nothing but QZ's own value
    // is taken for right.
    for (Target& t : targets)
        if (!std::isfinite(t.tolerance) || !std::isfinite(t.doubt)) t.tolerance = t.doubt = 0.0;
    return targets;
}

// Whether x prints as every number within doubt of value does: as both ends.
bool PrintsAs(double x, double value, double doubt, int precision)
{
    // Two numbers that print alike to p digits lie within a unit of the last
    // digit of either, at most 2 10^(1-p) of its magnitude: most pairs of a
    // shown value and a reference are farther apart than that, and need no
    // printing. Twice the margin, for the rounding of this test itself.
    static constexpr double TenTo[] = {1.0, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8,
                                       1e-9, 1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15, 1e-16, 1e-17};
    if (precision >= 1 && precision <= 18) {
        const double unit = 4.0 * TenTo[precision - 1] * (std::fabs(x) + std::fabs(value) + doubt);
        if (!(std::fabs(x - value) <= doubt + unit)) return false;
    }
    const std::string text = FormatG(x, 1, precision);
    return FormatG(value - doubt, 1, precision) == text && FormatG(value + doubt, 1, precision) == text;
}

bool Right(const Eigenvalue& x, const Target& t, bool complexForm, int precision)
{
    const double im = complexForm ? x.im : 0.0;
    if (!std::isfinite(x.re) || !std::isfinite(im) || !std::isfinite(t.value.re)) return false;
    if (std::hypot(x.re - t.value.re, im - t.value.im) <= t.tolerance) return true;
    if (!complexForm && t.value.im != 0.0) return false;
    // A real eigenvalue's imaginary part shown as exactly 0 is the truth's,
    // though no interval around 0 prints as one number. (One shown as
    // -5e-17 is not: the truth prints as 0.)
    const bool realShownReal = t.value.im == 0.0 && im == 0.0;
    return PrintsAs(x.re, t.value.re, t.doubt, precision) &&
           (!complexForm || realShownReal || PrintsAs(im, t.value.im, t.doubt, precision));
}

}  // namespace

bool ShownValuesMatch(std::span<const Eigenvalue> shown, bool complexForm, int precision,
                      const GeneralEigenvalues& reference)
{
    const std::size_t n = static_cast<std::size_t>(reference.n);
    // An eigenvalue beyond the double range in the pencil's units is
    // replaced by "inf" however close the closed form came.
    if (reference.infinite > 0 || shown.size() != n) return false;
    const std::array<Target, 4> targets = TargetsOf(reference);
    // Which shown value may stand for which eigenvalue; then whether some
    // one-to-one assignment uses only those (n <= 4: 24 orders at most).
    std::array<std::array<bool, 4>, 4> close{};
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t k = 0; k < n; ++k) close[i][k] = Right(shown[i], targets[k], complexForm, precision);
    std::array<std::size_t, 4> order{0, 1, 2, 3};
    do {
        bool all = true;
        for (std::size_t i = 0; i < n && all; ++i) all = close[i][order[i]];
        if (all) return true;
    } while (std::next_permutation(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(n)));
    return false;
}

bool HeldOutputMatches(const HoldingChannel& held, const GeneralEigenvalues& reference)
{
    int reports = 0;
    for (const auto part : {held.Inline(), held.Overflow()})
        for (const HeldMessage& m : part) {
            switch (m.kind) {
            case HeldMessage::Kind::Refusal: return false;
            case HeldMessage::Kind::Message: continue;
            case HeldMessage::Kind::Report:
                if (!ShownValuesMatch(m.Values(), m.form.complex, m.form.precision, reference)) return false;
                ++reports;
            }
        }
    return reports > 0;
}

bool HeldRefusal(const HoldingChannel& held)
{
    for (const auto part : {held.Inline(), held.Overflow()})
        for (const HeldMessage& m : part)
            if (m.kind == HeldMessage::Kind::Refusal) return true;
    return false;
}

}  // namespace varno
