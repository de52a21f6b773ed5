// The check after the closed forms. They compare magnitudes with absolute
// thresholds, so what they show depends on the units typed in. When one of M,
// -M, K, -K is safely definite every eigenvalue is real and can be counted on
// the pencil itself; the Calculate command holds back what the solver would
// show, checks it against those counts, and shows it only if it is right.
//
// The rule: a shown value x is right for the true lambda_k (both in ascending
// order) when it prints as lambda_k prints, or |x - lambda_k| <= 1e-12 s_k,
// s_k = (|K| + |lambda_k| |M|) |x_k|^2 / |x_k^T M x_k| being lambda_k's own
// scale: how far it moves under relative changes of K and M. The check uses
// a lower bound of s_k, so it is stricter than the rule; it is made on nu
// (lambda, or 1 / lambda where K is the definite matrix), for which the rule
// is the same to first order.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "certified/proof.h"
#include "core/framework.h"
#include "core/program_state.h"

namespace varno {

// One message a solver wanted to show, kept until the check has seen it. A
// report comes without its text (the channel defers it), and is written
// when it is released.
struct HeldMessage {
    enum class Kind { Message, Refusal, Report };
    std::string text;
    Kind kind = Kind::Message;
    ReportForm form;
    std::size_t valueCount = 0;
    std::array<Eigenvalue, 4> values;  // the first valueCount are set
    std::span<const Eigenvalue> Values() const { return {values.data(), valueCount}; }
};

// Keeps the first messages in place (most calculations show one, a few up to
// seven), so that holding them back costs no allocation but the texts'; the
// rest go on the heap.
class HoldingChannel final : public ReportChannel {
public:
    void ShowMessage(const std::string& text) override { Next() = {text, HeldMessage::Kind::Message, {}, 0, {}}; }
    void ShowRefusal(const std::string& text) override { Next() = {text, HeldMessage::Kind::Refusal, {}, 0, {}}; }
    void ShowReport(const std::string& text, std::span<const Eigenvalue> values, ReportForm form) override;
    bool DefersReportText() const override { return true; }

    std::span<const HeldMessage> Inline() const { return {inline_.data(), std::min(count_, inline_.size())}; }
    std::span<const HeldMessage> Overflow() const { return overflow_; }

    // Shows every held message, in order, exactly as the solver would have,
    // writing each report into the text buffer that solver writes it into.
    void ReleaseTo(ReportChannel& channel, TextBuffers& text) const;

private:
    HeldMessage& Next();

    std::array<HeldMessage, 4> inline_{};
    std::vector<HeldMessage> overflow_;
    std::size_t count_ = 0;
};

// Within this many times s_k a value is right whatever it prints.
inline constexpr double ScaleNoise = 1e-12;

// The pencil's proved eigenvalues, found the first time a check needs them;
// a mend then shows them without finding them again.
class ProvedOnDemand {
public:
    explicit ProvedOnDemand(const DefinitePencil& pencil) : pencil_(pencil) {}
    const ProvedEigenvalues& Get();
    const ProvedEigenvalues* IfFound() const { return proved_ ? &*proved_ : nullptr; }

private:
    const DefinitePencil& pencil_;
    std::optional<ProvedEigenvalues> proved_;
};

// Whether the values shown (any order; real parts) are the pencil's lambda by
// the rule, each printed with "%.<precision>g". First each within the noise,
// by two counts apiece, which settles most; one that is not must print as
// the whole interval its eigenvalue is proved in does.
bool ShownValuesRight(std::span<const Eigenvalue> shown, int precision, const DefinitePencil& pencil,
                      ProvedOnDemand& proved);
bool ShownValuesRight(std::span<const Eigenvalue> shown, int precision, const DefinitePencil& pencil);

// Whether everything held is right for the pencil: no refusal, no report in
// a complex form, every report's values right, and at least one report.
bool HeldOutputRight(const HoldingChannel& held, const DefinitePencil& pencil, ProvedOnDemand& proved);
bool HeldOutputRight(const HoldingChannel& held, const DefinitePencil& pencil);

}  // namespace varno
