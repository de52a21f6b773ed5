// The problem file: the batch command's text format, which the desktop
// program opens and saves too. A line "K", K's rows (the upper triangle or
// the full matrix, one row per line), a line "M", M's rows; "#" starts a
// comment; any number of problems in one file, each from its line "K" on.
// A file either program writes, the other reads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/matrix_store.h"

namespace varno {

// One problem as read from a file: its dimension, the entries as stored,
// and the texts as typed (for the cells), and where it starts.
struct FileProblem {
    int line = 0;  // 1-based line of its "K"
    int n = 0;
    Matrix10 K{};  // upper triangles, 1-based as the store holds them
    Matrix10 M{};
    std::vector<std::string> kTexts;  // row-major upper triangle, as written
    std::vector<std::string> mTexts;
};

// Every problem of a file, or the first fault: its 1-based line and what is
// wrong, in one sentence for a message box ("line 7: M has 1 row; n is 2, so
// a row of M is missing."). problems is empty where error is set. error is
// the whole sentence, its line included; errorLine the same line, to place
// a cursor or a mark.
struct ProblemFileRead {
    std::vector<FileProblem> problems;
    int errorLine = 0;
    std::string error;
    bool ok() const { return error.empty(); }
};
ProblemFileRead ReadProblemFile(std::string_view text);

// The text a Save writes: a comment line naming the dimension and the
// program's version, then "K", the upper rows, "M", the upper rows; each
// entry the shortest text that reads back as the very double stored.
std::string WriteProblemFile(const Matrix10& K, const Matrix10& M, int n, std::string_view version);

}  // namespace varno
