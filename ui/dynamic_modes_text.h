// What the modes window of a model too large for the grid shows, as plain
// text: one row a mode with lambda, its bound, omega, f and T, and per
// direction the effective mass, its share and the cumulative share; the
// line on the masses above it; the shapes as plotted and their legends.
// No widgets here, so all of it can be checked without a display.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "certified/dynamic/modes.h"
#include "certified/modal_directions.h"
#include "core/direction.h"
#include "driver/calculate_dynamic.h"
#include "ui/modes_text.h"

namespace varno::ui {

struct DynamicModesView {
    DynamicModalResult result;
    std::vector<Direction> directions;  // one a degree of freedom
    std::vector<DirectionParticipation> byDirection;
};
// M: the pencil's, whole, as calculated.
DynamicModesView DynamicModesViewOf(DynamicModalResult result, const DenseMatrix& M, std::vector<Direction> directions);

// Calculate for the model view: the report, and the modes, with their
// vectors, and their participation in directions (one a degree of freedom).
struct ModelCalculation {
    DynamicCalculation calculation;  // without its modes, which are in modes
    std::optional<DynamicModesView> modes;
};
ModelCalculation CalculateModel(const SymmetricPencil& pencil, std::vector<Direction> directions);

// The columns: mode, lambda, bound, omega, f, T, then DynamicDirectionColumns
// a direction: effective mass, share and cumulative share in %.
inline constexpr int DynamicFirstDirectionColumn = 6;
inline constexpr int DynamicDirectionColumns = 3;
std::vector<std::string> DynamicModesHeader(const DynamicModesView& view);
int DynamicColumnCount(const DynamicModesView& view);
inline int DynamicCumulativeColumn(std::size_t d)
{
    return DynamicFirstDirectionColumn + DynamicDirectionColumns * static_cast<int>(d) + DynamicDirectionColumns - 1;
}
// The cell of mode k (0-based) in column (below DynamicColumnCount);
// undefined where its value is not defined.
std::string DynamicModesCell(const DynamicModesView& view, int k, int column, const std::string& undefined,
                             Digits digits = Digits::Shown);

// The line above the table: the total masses, or why there are none (and
// the critical load factor); and each direction's first mode reaching 90 %.
std::string DynamicModesNote(const DynamicModesView& view);

// The table for the clipboard: tab-separated, every number in full,
// undefined cells empty.
std::string DynamicModesTsv(const DynamicModesView& view);

// Mode k's shape (0-based) as plotted: a largest component of +1, so that
// shapes of any scaling read alike side by side.
std::vector<double> PlottedShape(const DynamicModalResult& result, int k);
// Mode k's legend (0-based): its frequency where it has one, else lambda.
std::string DynamicModeLegend(const DynamicModalResult& result, int k);

// The step between the ticks of the degrees of freedom's axis: 1, 2 or 5
// times a power of ten, at most about ten ticks whatever n.
int DofTickInterval(int n);

// The modes to plot from text such as "1-6, 9" (1-based, each at most
// once, ascending), at most MostPlotted; error says why where it is not
// such a list of modes up to n.
inline constexpr int MostPlotted = 12;
std::vector<int> ModeListOf(std::string_view text, int n, std::string& error);

}  // namespace varno::ui
