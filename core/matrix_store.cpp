#include "core/matrix_store.h"

#include <algorithm>

#include "core/number_text.h"
#include "core/program_state.h"

namespace varno {
namespace {

// Cells are numbered through the upper triangle row by row.
constexpr std::array<CellPosition, CellCount> BuildCellTable()
{
    std::array<CellPosition, CellCount> table{};
    int k = 0;
    for (int i = 1; i <= 6; ++i)
        for (int j = i; j <= 6; ++j) table[static_cast<std::size_t>(k++)] = {i, j};
    return table;
}

constexpr auto CellTable = BuildCellTable();

int ColumnLabel(int k) { return id::FirstColumnLabel + k - 1; }
int RowLabel(int k) { return id::FirstRowLabel + k - 1; }

}  // namespace

CellPosition CellPositionOf(int cell) { return CellTable[static_cast<std::size_t>(cell - id::FirstCell)]; }

int CellAt(int i, int j)
{
    // Row r starts after the 6 + 5 + ... cells of the rows above it.
    const int rowStart = (i - 1) * 6 - (i - 1) * (i - 2) / 2;
    return id::FirstCell + rowStart + (j - i);
}

void ReadSelections(MatrixStore& store, const GridView& grid)
{
    store.DimensionIndex = grid.ListSelection(id::DimensionList);
    store.ActionIndex = grid.ListSelection(id::ActionList);
    store.Dimension = store.DimensionIndex + 2;
}

void CellChanged(MatrixStore& store, TextBuffers& text, const GridView& grid, int cell)
{
    text.ReportText = grid.CellText(cell);
    const double value = ParseCellText(text.ReportText);
    const auto [i, j] = CellPositionOf(cell);
    Matrix10& target = store.ActionIndex == 0 ? store.K : store.M;
    target[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = value;
}

void ShowMatrix(MatrixStore& store, TextBuffers& text, GridView& grid, Which which)
{
    for (int cell = id::LastCell; cell >= id::FirstCell; --cell) {
        const auto [i, j] = CellPositionOf(cell);
        const Matrix10& source = which == Which::K ? store.K : store.M;
        text.ReportText = CellDisplayText(source[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
        grid.SetCellText(cell, text.ReportText);
    }
}

void HideGrid(GridView& grid)
{
    for (int cell = id::FirstCell; cell <= id::LastCell; ++cell) grid.SetVisible(cell, false);
    for (int k = 1; k <= 6; ++k) {
        grid.SetVisible(ColumnLabel(k), false);
        grid.SetVisible(RowLabel(k), false);
    }
    grid.SetVisible(id::MGroup, false);
    grid.SetVisible(id::KGroup, false);
}

void ArrangeGrid(const MatrixStore& store, GridView& grid)
{
    HideGrid(grid);

    if (store.ActionIndex != 0 && store.ActionIndex != 1) return;
    grid.SetVisible(store.ActionIndex == 0 ? id::KGroup : id::MGroup, true);

    // A 1 x 1 grid is never shown; from n = 2 on, column k brings its cells
    // (1, k) ... (k, k) and both labels k.
    const int n = store.Dimension;
    if (n < 2) return;
    for (int k = 1; k <= 6 && k <= n; ++k) {
        for (int i = 1; i <= k; ++i) grid.SetVisible(CellAt(i, k), true);
        grid.SetVisible(ColumnLabel(k), true);
        grid.SetVisible(RowLabel(k), true);
    }
}

void SelectActionRow(GridView& grid, int row) { grid.SelectActionRow(row); }

void Symmetrise(MatrixStore& store)
{
    const int n = std::min(store.Dimension, 9);  // never past the storage
    for (int i = 1; i <= n; ++i) {
        for (int j = i + 1; j <= n; ++j) {
            const auto ui = static_cast<std::size_t>(i);
            const auto uj = static_cast<std::size_t>(j);
            store.K[uj][ui] = store.K[ui][uj];
            store.M[uj][ui] = store.M[ui][uj];
        }
    }
}

}  // namespace varno
