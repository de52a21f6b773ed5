// The model view's texts and rules, for a model too large for the grid:
// the line that says what is shown, a whole matrix pasted as rows, the
// directions the degrees of freedom's labels give, and the line naming the
// cells not read as typed. Plain C++, no widgets.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/dense_matrix.h"
#include "core/direction.h"
#include "ui/typed_texts.h"

namespace varno::ui {

// "200 degrees of freedom, from beam_K.mtx and beam_M.mtx", and where a
// .dof named them ", their names from job.dof".
std::string ModelSizeLine(int n, std::string_view kName, std::string_view mName, std::string_view dofName = {});

// A matrix pasted as rows: one a line (or ';'-separated), entries
// separated by blanks, tabs or commas, each row either whole or from the
// diagonal on; what lies below the diagonal is ignored, as in the grid.
// Each entry is read as a cell reads its text, and kept where it is not
// read whole, for the mark.
struct PastedEntry {
    int i = 0;  // 0-based, i <= j
    int j = 0;
    std::string text;
};
struct PastedMatrix {
    DenseMatrix upper;  // n x n, the upper triangle set
    std::vector<PastedEntry> misread;
    std::string error;  // why it is no matrix of order n; empty where it is
    bool ok() const { return error.empty(); }
};
// name: the matrix's, for the messages ("K").
PastedMatrix ReadMatrixRows(std::string_view text, int n, char name);

// Whether text holds a single entry, for one cell rather than a matrix.
bool IsSingleEntry(std::string_view text);

// A direction for each degree of freedom: CalculiX's "node.d", d = 1 ... 6,
// gives x, y, z, rx, ry, rz; a label that is a direction's own name, that
// direction; anything else x, as where there are no labels at all.
std::vector<Direction> DirectionsOfLabels(const std::vector<std::string>& labels, int n);

// The line below the tables while some cells are not read as typed: those
// given (the first of them, as many as MostNamed), then how many more.
inline constexpr std::size_t MostNamed = 8;
std::string MisreadSummary(const std::vector<TypedTexts::Misread>& named, std::size_t total);

}  // namespace varno::ui
