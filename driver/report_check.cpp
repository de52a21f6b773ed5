#include "driver/report_check.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/number_text.h"
#include "solvers/report_text.h"

namespace varno {

HeldMessage& HoldingChannel::Next()
{
    ++count_;
    if (count_ <= inline_.size()) return inline_[count_ - 1];
    return overflow_.emplace_back();
}

void HoldingChannel::ShowReport(const std::string& text, std::span<const Eigenvalue> values, ReportForm form)
{
    HeldMessage& m = Next();
    m.text = text;  // empty, as the solvers defer it
    m.kind = HeldMessage::Kind::Report;
    m.form = form;
    m.valueCount = std::min(values.size(), m.values.size());
    std::copy_n(values.begin(), m.valueCount, m.values.begin());
}

void HoldingChannel::ReleaseTo(ReportChannel& channel, TextBuffers& text) const
{
    for (const auto part : {Inline(), Overflow()})
        for (const HeldMessage& m : part) {
            switch (m.kind) {
            case HeldMessage::Kind::Report:
                ShowEigenvalueReport(channel, m.valueCount == 4 ? text.QuarticReportText : text.ReportText,
                                     m.Values(), m.form);
                break;
            case HeldMessage::Kind::Refusal: channel.ShowRefusal(m.text); break;
            case HeldMessage::Kind::Message: channel.ShowMessage(m.text); break;
            }
        }
}

namespace {

// A shown lambda as the nu it stands for, in the pencil's scaled units; NaN
// where it cannot be right at all.
double ShownNu(const DefinitePencil& pencil, double x)
{
    if (std::isnan(x)) return x;
    if (!pencil.Inverted()) return std::isfinite(x) ? ScaledNu(pencil, x) : std::nan("");
    if (x == 0.0) return std::nan("");  // a definite K has no zero eigenvalue
    return ScaledNu(pencil, 1.0 / x);  // an infinite lambda is mu = 0
}

}  // namespace

const ProvedEigenvalues& ProvedOnDemand::Get()
{
    if (!proved_) proved_ = PencilEigenvalues(pencil_);
    return *proved_;
}

bool ShownValuesRight(std::span<const Eigenvalue> shown, int precision, const DefinitePencil& pencil,
                      ProvedOnDemand& proved)
{
    const std::size_t n = static_cast<std::size_t>(pencil.n);
    if (shown.size() != n) return false;
    std::array<double, 4> lambda{};
    std::array<double, 4> nu{};
    for (std::size_t k = 0; k < n; ++k) {
        lambda[k] = shown[k].re;
        nu[k] = ShownNu(pencil, lambda[k]);
        if (std::isnan(nu[k])) return false;
    }
    // Each nu with its own lambda, ascending in nu.
    std::array<std::size_t, 4> order{0, 1, 2, 3};
    std::sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(n),
              [&](std::size_t a, std::size_t b) { return nu[a] < nu[b]; });

    // Half of the rule's width leaves room for the counts' own rounding.
    std::array<EigenvalueClaim, 4> claims{};
    for (std::size_t k = 0; k < n; ++k) {
        const double y = nu[order[k]];
        const double noise = 0.5 * ScaleNoise * ScaleLowerBound(pencil, y);
        claims[k] = {static_cast<int>(k) + 1, y - noise, y + noise};
    }
    std::array<bool, 4> held{};
    if (ScaledClaimsHold(pencil, std::span(claims.data(), n), std::span(held.data(), n))) return true;
    // The k-th eigenvalue lies in its proved interval; x is right if all of
    // that prints as x does (printing is monotone: its ends suffice).
    const ProvedEigenvalues& e = proved.Get();
    for (std::size_t k = 0; k < n; ++k) {
        if (held[k]) continue;
        const double x = lambda[order[k]];
        if (!std::isfinite(x)) return false;
        double lo = e.lo[k];
        double hi = e.hi[k];
        if (pencil.Inverted()) {
            if (!(lo > 0.0 || hi < 0.0)) return false;  // infinite, to within rounding
            lo = 1.0 / e.hi[k];
            hi = 1.0 / e.lo[k];
        }
        // Two numbers more than a unit of the last digit shown apart, at the
        // larger one's scale, print differently: no need to print them.
        const double unit = std::pow(10.0, 1 - precision) * std::max({std::fabs(x), std::fabs(lo), std::fabs(hi)});
        if (!(std::fabs(x - lo) <= unit && std::fabs(x - hi) <= unit)) return false;
        const std::string text = FormatG(x, 1, precision);
        if (FormatG(lo, 1, precision) != text || FormatG(hi, 1, precision) != text) return false;
    }
    return true;
}

bool ShownValuesRight(std::span<const Eigenvalue> shown, int precision, const DefinitePencil& pencil)
{
    ProvedOnDemand proved(pencil);
    return ShownValuesRight(shown, precision, pencil, proved);
}

bool HeldOutputRight(const HoldingChannel& held, const DefinitePencil& pencil)
{
    ProvedOnDemand proved(pencil);
    return HeldOutputRight(held, pencil, proved);
}

bool HeldOutputRight(const HoldingChannel& held, const DefinitePencil& pencil, ProvedOnDemand& proved)
{
    int reports = 0;
    for (const auto part : {held.Inline(), held.Overflow()})
        for (const HeldMessage& m : part) {
            switch (m.kind) {
            case HeldMessage::Kind::Refusal: return false;  // the pencil has its eigenvalues
            case HeldMessage::Kind::Message: continue;
            case HeldMessage::Kind::Report:
                if (m.form.complex) return false;  // all of them real
                if (!ShownValuesRight(m.Values(), m.form.precision, pencil, proved)) return false;
                ++reports;
            }
        }
    return reports > 0;
}

}  // namespace varno
