#include "core/form.h"

#include <cstddef>
#include <optional>
#include <string>

#include "core/matrix_rows.h"
#include "core/matrix_store.h"
#include "core/order.h"

namespace varno {

void InitialiseForm(GridView& grid)
{
    grid.SetVisible(id::ActionGroup, false);
    grid.SetVisible(id::ActionList, false);
    HideGrid(grid);
}

void DimensionChanged(ProgramState& state, GridView& grid)
{
    grid.SetVisible(id::ActionGroup, true);
    grid.SetVisible(id::ActionList, true);
    ReadSelections(state.store, grid);
    ArrangeGrid(state.store, grid);
}

void ActionChanged(ProgramState& state, GridView& grid)
{
    ReadSelections(state.store, grid);
    ShowMatrix(state.store, state.text, grid, state.store.ActionIndex == 0 ? Which::K : Which::M);
    ArrangeGrid(state.store, grid);
}

namespace {

std::optional<UpperTexts> PastedRows(const MatrixStore& store, std::string_view text)
{
    if (store.ActionIndex != 0 && store.ActionIndex != 1) return std::nullopt;
    return ReadPastedMatrix(text, store.Dimension);
}

}  // namespace

bool PastesAsMatrix(const ProgramState& state, std::string_view text)
{
    return PastedRows(state.store, text).has_value();
}

bool MatrixPasted(ProgramState& state, GridView& grid, std::string_view text)
{
    const std::optional<UpperTexts> rows = PastedRows(state.store, text);
    if (!rows) return false;
    const int n = state.store.Dimension;
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j)
            grid.SetCellText(CellAt(i + 1, j + 1), (*rows)[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
    return true;
}

std::string PasteRefusal(const ProgramState& state, std::string_view text)
{
    if (PastesAsMatrix(state, text)) return {};
    // One line with no row separator is a cell's text, whatever it holds.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    if (text.find_first_of("\n\r;") == std::string_view::npos) return {};
    const int n = state.store.Dimension;
    for (int order = 2; order <= MaxOrder; ++order)
        if (order != n && ReadPastedMatrix(text, order))
            return "The clipboard holds a " + std::to_string(order) + " \u00d7 " + std::to_string(order) +
                   " matrix, and n is " + std::to_string(n) + ": choose n = " + std::to_string(order) + ", then paste it.";
    return "The clipboard holds rows that are no matrix of order 2 to " + std::to_string(MaxOrder) +
           " (each row full, or from the diagonal on), so nothing was pasted.";
}

std::string ShownMatrixText(const ProgramState& state)
{
    const MatrixStore& store = state.store;
    if ((store.ActionIndex != 0 && store.ActionIndex != 1) || store.Dimension < 2 || store.Dimension > MaxOrder) return {};
    return MatrixRowsText(store.ActionIndex == 0 ? store.K : store.M, store.Dimension);
}

}  // namespace varno
