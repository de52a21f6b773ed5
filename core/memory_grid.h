// In-memory implementations of the two seams, for the batch command and the
// tests: a grid that keeps texts, visibility and selections in plain arrays,
// and a report channel that records instead of showing.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "core/framework.h"

namespace varno {

class MemoryGrid final : public GridView {
public:
    // Called for every cell write, exactly like a typed change.
    std::function<void(int cell)> onCellChange;

    std::string CellText(int cell) const override;
    void SetCellText(int cell, std::string_view text) override;
    void SetVisible(int control, bool visible) override;
    int ListSelection(int list) const override;
    void SelectActionRow(int row) override;

    // What a user does: select a list row (the caller runs the handler).
    void SetListSelection(int list, int row);
    bool IsVisible(int control) const;

private:
    static constexpr int FirstControl = 1000;
    static constexpr int ControlCount = 40;  // 1000 ... 1039
    static std::size_t Slot(int control);

    std::array<std::string, ControlCount> texts_{};
    std::array<bool, ControlCount> visible_{};
    int dimensionRow_ = -1;
    int actionRow_ = -1;
};

struct RecordedReport {
    std::string text;
    std::vector<Eigenvalue> values;
    ReportForm form;
};

class RecordingChannel final : public ReportChannel {
public:
    std::vector<std::string> messages;  // every text, reports included, in order
    std::vector<RecordedReport> reports;

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowReport(const std::string& text, std::span<const Eigenvalue> values, ReportForm form) override
    {
        messages.push_back(text);
        reports.push_back({text, {values.begin(), values.end()}, form});
    }
};

}  // namespace varno
