// The form handlers around the grid: first display, the two lists, and a
// whole matrix pasted into or copied from the cells. The dialog binds them to
// its controls; tests run them on an in-memory grid.
#pragma once

#include <string>
#include <string_view>

#include "core/framework.h"
#include "core/program_state.h"

namespace varno {

// Form set-up at first display: everything but the dimension choice hidden.
void InitialiseForm(GridView& grid);

// A row of the dimension list was selected.
void DimensionChanged(ProgramState& state, GridView& grid);

// A row of the action list was selected: show that matrix.
void ActionChanged(ProgramState& state, GridView& grid);

// Whether text reads as ROWS for the current n while a matrix is shown.
bool PastesAsMatrix(const ProgramState& state, std::string_view text);

// Text pasted into a cell. If it reads as ROWS for the current n, it fills
// the shown matrix, each entry written into its cell as typing would, and
// the result is true; otherwise nothing happens, and the caller pastes the
// text into the one cell as usual.
bool MatrixPasted(ProgramState& state, GridView& grid, std::string_view text);

// Why text pasted into a cell is neither a matrix for the current n nor one
// cell's text: it holds line breaks or ';' (rows), but reads as a matrix of
// another order ("The clipboard holds a 4 x 4 matrix, and n is 3: choose
// n = 4, then paste it.") or as none; "" where it may go into the cell.
std::string PasteRefusal(const ProgramState& state, std::string_view text);

// The shown matrix as full symmetric rows for the clipboard ("" when no
// matrix is shown).
std::string ShownMatrixText(const ProgramState& state);

}  // namespace varno
