// What the Modes window shows, as plain text: its tables (the modes with
// their participation per direction and damping ratios, and the shapes),
// the same as tab-separated text for the clipboard and as CSV for a file,
// the plot's legend, and the line that says what the last calculation
// gives. No widgets here, so all of it can be checked without a display.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "certified/modal_directions.h"
#include "certified/modes.h"
#include "certified/rayleigh_damping.h"
#include "certified/shape_normalisation.h"
#include "core/matrix_store.h"
#include "core/number_text.h"
#include "driver/calculate.h"

namespace varno::ui {

// A value that is not defined for a mode (no frequency where M is not the
// definite matrix, no period for a rigid-body mode, ...), on screen; in
// copied and saved text such a cell is empty, which a spreadsheet reads as
// no value.
inline constexpr const char* NotDefinedText = "\u2013";

// What the window shows after a calculation: the modes, or none with the
// reason; note is the line above the table either way. M is the mass matrix
// the modes are of, as the store held it.
struct ModesView {
    std::optional<ModalResult> result;
    std::string note;
    Matrix10 M{};
};

// The modes of the last calculation: those of its pencil when it computed
// anything and the pencil is definite; none otherwise. store is the one the
// calculation left, symmetrised for n. Such a calculation always showed an
// eigenvalue report: the checked one, or the closed form's once it was
// proved right.
ModesView ModesAfterCalculation(const MatrixStore& store, Outcome outcome);

// What the user chose in the window; kept while the program runs.
struct ModalSettings {
    std::vector<Direction> directions;  // one a degree of freedom; x for any not given
    Normalisation normalisation;
    RayleighRequest rayleigh;
};

// Everything the window shows of one result under its settings.
struct ModalTables {
    ModalResult result;
    std::vector<Direction> directions;  // result.n of them
    Normalisation normalisation;
    NormalisedShapes shapes;  // refused (a node at the chosen degree of freedom): by mass instead, with the reason
    std::string normalisationError;
    std::vector<DirectionParticipation> byDirection;
    RayleighRequest rayleigh;
    RayleighDamping damping;  // its error where refused
};
ModalTables TablesOf(const ModesView& view, const ModalSettings& settings);

// How numbers are written: to the digits the window shows (six, shares with
// two decimals), or in full, each the shortest text that reads back to the
// very double, as copies and files carry them.
enum class Digits { Shown, Full };

// The modes table's column titles, with units, and its rows, one per mode
// in ascending order of lambda: mode, lambda, bound, omega, f, T, the
// generalised mass M* of the shape as normalised, the Rayleigh damping
// ratio where it was formed, and per direction L = phi^T M r, Gamma =
// L / M*, the effective mass L^2 / M*, its share and the cumulative share
// in %. A rotational direction's masses are moments of inertia (kg m^2).
// undefined fills a cell whose value is not defined.
std::vector<std::string> ModesHeader(const ModalTables& tables);
std::vector<std::vector<std::string>> ModesRows(const ModalTables& tables, const std::string& undefined,
                                                Digits digits = Digits::Shown);
// The first column of the directions' figures, of which each direction has
// DirectionColumns; and that of direction d's cumulative share (d indexes
// byDirection).
inline constexpr int DirectionColumns = 5;
int FirstDirectionColumn(const ModalTables& tables);
int CumulativeColumn(const ModalTables& tables, std::size_t d);

// The unit of direction d's masses: kg, or kg m^2 for a rotation.
std::string MassUnit(Direction d);

// The line on the total masses: every degree of freedom moving together
// while all are x, else one total a direction, each in its unit; empty
// without masses.
std::string MassNote(const ModalTables& tables);



// The shapes table: one row a degree of freedom, its direction, then one
// column a mode.
std::vector<std::string> ShapesHeader(const ModalTables& tables);
std::vector<std::vector<std::string>> ShapesRows(const ModalTables& tables, Digits digits = Digits::Shown);

// The figures beside the tables, as (title, value) rows: per direction the
// total mass, the effective masses added up and the mode reaching 90 %, the
// normalisation, and a0 and a1 where formed.
std::vector<std::vector<std::string>> SummaryRows(const ModalTables& tables, const std::string& undefined,
                                                  Digits digits = Digits::Shown);

// The normalisation in words ("x\u1d40Mx = 1", "largest component = 1", ...).
std::string NormalisationText(const ModalTables& tables);

// For the clipboard: the modes table, the shapes table and the summary,
// each row's cells separated by tabs, each table after an empty line;
// every number in full, undefined cells empty.
std::string ModesTsv(const ModalTables& tables);

// For a file: one of the tables as CSV (commas, a cell with a comma, quote
// or line break quoted, CRLF line ends), a header row then the rows, all of
// one width, as a spreadsheet or pandas.read_csv take them; every number in
// full, undefined cells empty. The summary is a table of (quantity, value).
enum class ModesTable { Modes, Shapes, Summary };
std::string ModesCsv(const ModalTables& tables, ModesTable which);

// A damping ratio typed into a box: the number where the text (blanks
// around it aside) is one whole, read as a cell reads it; else NaN, which
// RayleighFrom refuses.
double RatioOfText(const std::string& text);

// The legend of mode k (1-based) in the plot: its frequency where it has
// one, else its eigenvalue.
std::string ModeLegend(const ModalResult& result, int k);

// A bound for people, as the batch command prints it too.
using varno::BoundText;

}  // namespace varno::ui
