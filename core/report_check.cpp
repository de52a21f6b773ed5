#include "core/report_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "core/number_text.h"
#include "solvers/quartic_polynomial.h"
#include "solvers/two_by_two.h"

namespace varno {

HeldMessage& HoldingChannel::Next()
{
    ++count_;
    if (count_ <= inline_.size()) return inline_[count_ - 1];
    return overflow_.emplace_back();
}

void HoldingChannel::ShowReport(const std::string& text, std::span<const Eigenvalue> values)
{
    HeldMessage& m = Next();
    m.text = text;
    m.report = true;
    m.valueCount = std::min(values.size(), m.values.size());
    std::copy_n(values.begin(), m.valueCount, m.values.begin());
}

void HoldingChannel::ReleaseTo(ReportChannel& channel) const
{
    for (const auto part : {Inline(), Overflow()})
        for (const HeldMessage& m : part) {
            if (m.report)
                channel.ShowReport(m.text, m.Values());
            else
                channel.ShowMessage(m.text);
        }
}

bool ShownValuesRight(std::span<const Eigenvalue> shown, int precision, const TridiagonalPencil& pencil)
{
    const std::size_t n = static_cast<std::size_t>(pencil.n);
    if (shown.size() != n) return false;
    std::array<double, 4> x{};
    double scale = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        x[k] = shown[k].re;
        if (!std::isfinite(x[k])) return false;
        scale = std::max(scale, std::fabs(x[k]));
    }
    for (std::size_t i = 1; i < n; ++i)  // ascending; four at most
        for (std::size_t j = i; j > 0 && x[j] < x[j - 1]; --j) std::swap(x[j], x[j - 1]);

    // First the narrow interval, which needs no text; most shown values are
    // that close. Only if it fails, the wider union with the printed interval.
    // (Once every value passes, max|x| agrees with max|lambda| to the shown
    // digits, so it serves as the scale.)
    const double noise = ScaleNoise * scale;
    std::array<EigenvalueClaim, 4> claims{};
    for (std::size_t k = 0; k < n; ++k) claims[k] = {static_cast<int>(k) + 1, x[k] - noise, x[k] + noise};
    const std::span<const EigenvalueClaim> all(claims.data(), n);
    if (ClaimsHold(pencil, all)) return true;
    for (std::size_t k = 0; k < n; ++k) {
        const Interval printed = PrintedInterval(x[k], precision);
        claims[k].lo = std::min(claims[k].lo, printed.lo);
        claims[k].hi = std::max(claims[k].hi, printed.hi);
    }
    return ClaimsHold(pencil, all);
}

bool HeldOutputRight(const HoldingChannel& held, int n, const TridiagonalPencil& pencil)
{
    const int precision = n == 4 ? 5 : 4;  // "%11.5g" in the 4 x 4 report, "%12.4g" in the others
    int reports = 0;
    for (const auto part : {held.Inline(), held.Overflow()})
        for (const HeldMessage& m : part) {
            if (!m.report) {
                // A refusal says M is singular; it is not.
                if (m.text == SingularMMessage || m.text == QuarticLeadingMessage) return false;
                continue;
            }
            // Only the 2 x 2 and 3 x 3 complex forms carry "+j"; a definite
            // pencil has no complex eigenvalue.
            if (m.text.find("+j") != std::string::npos) return false;
            if (!ShownValuesRight(m.Values(), precision, pencil)) return false;
            ++reports;
        }
    return reports > 0;
}

}  // namespace varno
