// What the Modes window shows, as plain text: its table, the same table as
// tab-separated text for the clipboard, the plot's legend, and the line
// that says what the last calculation gives. No widgets here, so all of it
// can be checked without a display.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "certified/modes.h"
#include "core/matrix_store.h"
#include "driver/calculate.h"

namespace varno::ui {

// A value that is not defined for a mode (no frequency where M is not the
// definite matrix, no period for a rigid-body mode, ...).
inline constexpr const char* NotDefinedText = "\u2013";

// What the window shows after a calculation: the modes, or none with the
// reason; note is the line above the table either way.
struct ModesView {
    std::optional<ModalResult> result;
    std::string note;
};

// The modes of the last calculation: those of its pencil when it computed
// anything and the pencil is definite; none otherwise. store is the one the
// calculation left, symmetrised for n. Such a calculation always showed an
// eigenvalue report: the checked one, or the closed form's once it was
// proved right.
ModesView ModesAfterCalculation(const MatrixStore& store, Outcome outcome);

// The table's column titles and its rows, one per mode, in ascending order
// of lambda: mode, lambda, bound, omega, f, T, effective mass in kg and as
// a share of the total mass in %.
std::vector<std::string> ModesHeader();
std::vector<std::vector<std::string>> ModesRows(const ModalResult& result);

// The header and the rows, cells separated by tabs, each row ended by a
// line break.
std::string ModesTsv(const ModalResult& result);

// The legend of mode k (1-based) in the plot: its frequency where it has
// one, else its eigenvalue.
std::string ModeLegend(const ModalResult& result, int k);

// A bound for people: two significant digits, rounded up, so that what is
// shown still holds.
std::string BoundText(double bound);

}  // namespace varno::ui
