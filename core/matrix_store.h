// The matrix store and the grid model: 21 cells that stand for the upper
// triangle (i <= j <= 6) of whichever matrix the action list selects.
#pragma once

#include <array>

#include "core/framework.h"

namespace varno {

struct TextBuffers;

// 1-based 10 x 10 storage; only indices 1 ... 6 ever carry data, the solvers
// read 1 ... n. Row and column 0 and indices 7 ... 9 stay 0.0.
using Matrix10 = std::array<std::array<double, 10>, 10>;

struct MatrixStore {
    Matrix10 K{};
    Matrix10 M{};
    int Dimension = 0;       // n = DimensionIndex + 2 (1 with no dimension selected)
    int DimensionIndex = 0;  // row of the dimension list, -1 when none
    int ActionIndex = 0;     // 0 = edit K, 1 = edit M, -1 when none
    int ErrorFlag = 0;       // 0 clear, 9 raised by the validation
};

enum class Which { K, M };

struct CellPosition {
    int i;
    int j;
};

inline constexpr int CellCount = 21;

// Row and column of a cell identifier 1001 ... 1021.
CellPosition CellPositionOf(int cell);
// The cell identifier of position (i, j), 1 <= i <= j <= 6.
int CellAt(int i, int j);

void ReadSelections(MatrixStore& store, const GridView& grid);

// Runs on every change of a cell's text, typed or written by the program.
void CellChanged(MatrixStore& store, TextBuffers& text, const GridView& grid, int cell);

// Writes the 21 stored values of X into the cells, last cell first. Each write
// re-parses into the matrix of the current action; callers set ActionIndex
// to X first, and the display text reads back to the same bits.
void ShowMatrix(MatrixStore& store, TextBuffers& text, GridView& grid, Which which);

// Hides all 21 cells, the 12 labels and both coefficient group boxes.
void HideGrid(GridView& grid);

// Shows exactly the grid elements of the current action and n.
void ArrangeGrid(const MatrixStore& store, GridView& grid);

void SelectActionRow(GridView& grid, int row);

// Copies the upper triangle of K and M onto the lower one for the current n.
void Symmetrise(MatrixStore& store);

}  // namespace varno
