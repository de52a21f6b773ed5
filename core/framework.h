// The two seams through which the core reaches the outside world: the report
// channel and the grid's view of its controls. The desktop dialog implements
// them on real widgets; the tests and the batch command implement them in
// memory, so no computation ever depends on a toolkit.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace varno {

// One eigenvalue as a solver reports it: real and imaginary part.
struct Eigenvalue {
    double re = 0.0;
    double im = 0.0;
};

// How a report shows its values, so that whoever checks a report reads it
// from the solver and never from the text.
struct ReportForm {
    bool complex = false;  // real and imaginary parts shown; else real parts only
    int precision = 4;     // significant digits of each value shown ("%.<precision>g")
};

// The report channel. ShowMessage is modal: it returns once the user has
// dismissed the text, so every solver step after it happens "after OK".
class ReportChannel {
public:
    virtual ~ReportChannel() = default;
    virtual void ShowMessage(const std::string& text) = 0;

    // An eigenvalue report is still just a message for a person; machines
    // (the batch command's JSON, the check) also want the exact values behind
    // the text, and how the text shows them.
    virtual void ShowReport(const std::string& text, std::span<const Eigenvalue> values, ReportForm form)
    {
        (void)values;
        (void)form;
        ShowMessage(text);
    }

    // A solver's refusal to compute (a singular M, a vanishing leading
    // coefficient): for a person just a message.
    virtual void ShowRefusal(const std::string& text) { ShowMessage(text); }
};

// Identifiers of the form's controls. They double as keys of the grid view.
namespace id {
inline constexpr int DimensionList = 1000;
inline constexpr int FirstCell = 1001;  // cells 1001 ... 1021
inline constexpr int LastCell = 1021;
inline constexpr int ActionList = 1023;
inline constexpr int ActionGroup = 1024;
inline constexpr int KGroup = 1025;
inline constexpr int FirstColumnLabel = 1026;  // 1026 ... 1031: columns 1 ... 6
inline constexpr int FirstRowLabel = 1032;     // 1032 ... 1037: rows 1 ... 6
inline constexpr int MGroup = 1039;
}  // namespace id

// The grid's view of its controls.
class GridView {
public:
    virtual ~GridView() = default;

    virtual std::string CellText(int cell) const = 0;
    // A write from the program must notify the cell change exactly as typing
    // does, synchronously, before this call returns.
    virtual void SetCellText(int cell, std::string_view text) = 0;

    virtual void SetVisible(int control, bool visible) = 0;

    // The selected row of list DimensionList or ActionList, -1 when none.
    virtual int ListSelection(int list) const = 0;

    // Selects a row of the action list from the program; it must not count
    // as a user's selection (no action-change notification).
    virtual void SelectActionRow(int row) = 0;
};

}  // namespace varno
