// ROWS: the plain-text form of one matrix, shared by the batch command and
// by a matrix pasted into the grid. Rows are separated by ';' (a pasted text
// may also break them at line ends), entries by blanks or tabs. Row i holds
// either n entries, of which those below the diagonal are ignored, or the
// n - i + 1 entries from the diagonal on. Entries are read as cell texts.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/matrix_store.h"
#include "core/order.h"

namespace varno {

// The entry texts of the upper triangle, [i][j] with 0 <= i <= j < n.
using UpperTexts = std::array<std::array<std::string_view, MaxOrder>, MaxOrder>;

bool IsBlank(std::string_view text);

// The non-blank rows of text, split at ';' and, with lineEnds, also at line ends.
std::vector<std::string_view> SplitRows(std::string_view text, bool lineEnds);

// Reads rows as an n x n matrix (n <= MaxOrder) into out. Returns "" or a one-line
// message saying what is wrong, e.g. "row 2 of K has 4 entries; expected 2
// or 3", with the index of that row in failedRow where given.
std::string ReadUpperRows(std::span<const std::string_view> rows, char name, int n, UpperTexts& out,
                          std::size_t* failedRow = nullptr);

// A pasted text read as ROWS of exactly n rows, or nothing if it is not one.
std::optional<UpperTexts> ReadPastedMatrix(std::string_view text, int n);

// The symmetric n x n matrix whose upper triangle X holds, as full rows:
// tab-separated, one row a line, each number the shortest text that reads
// back to the same double (an infinity as 1e+999), so that a spreadsheet
// and ReadPastedMatrix both read it back.
std::string MatrixRowsText(const Matrix10& X, int n);

}  // namespace varno
