// The check after the closed forms. They compare magnitudes with absolute
// thresholds, so what they show depends on the units typed in. When M is
// positive definite every eigenvalue is real and can be counted; the
// Calculate command holds back what the solver would show, checks it against
// those counts, and shows it only if it is right.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "core/framework.h"
#include "solvers/inertia.h"

namespace varno {

// One message a solver wanted to show, kept until the check has seen it.
struct HeldMessage {
    std::string text;
    bool report = false;
    std::size_t valueCount = 0;
    std::array<Eigenvalue, 4> values;  // the first valueCount are set
    std::span<const Eigenvalue> Values() const { return {values.data(), valueCount}; }
};

// Keeps the first messages in place (most calculations show one, a few up to
// seven), so that holding them back costs no allocation but the texts'; the
// rest go on the heap.
class HoldingChannel final : public ReportChannel {
public:
    void ShowMessage(const std::string& text) override { Next() = {text, false, 0, {}}; }
    void ShowReport(const std::string& text, std::span<const Eigenvalue> values) override;

    std::span<const HeldMessage> Inline() const { return {inline_.data(), std::min(count_, inline_.size())}; }
    std::span<const HeldMessage> Overflow() const { return overflow_; }

    // Shows every held message, in order, exactly as the solver would have.
    void ReleaseTo(ReportChannel& channel) const;

private:
    HeldMessage& Next();

    std::array<HeldMessage, 4> inline_{};
    std::vector<HeldMessage> overflow_;
    std::size_t count_ = 0;
};

// Relative to the largest eigenvalue's magnitude: rounding noise of the
// problem's own scale, within which a shown value is right whatever it prints.
inline constexpr double ScaleNoise = 1e-12;

// Whether the real parts shown (any order) are the pencil's eigenvalues: in
// ascending order, each x must print with "%.<precision>g" as the eigenvalue
// does, or lie within ScaleNoise * max|x| of it. Certified by counting.
bool ShownValuesRight(std::span<const Eigenvalue> shown, int precision, const TridiagonalPencil& pencil);

// Whether everything held is right for the pencil of order n: no refusal,
// no report in the complex form, every report's values right, and at least
// one report.
bool HeldOutputRight(const HoldingChannel& held, int n, const TridiagonalPencil& pencil);

}  // namespace varno
