// The problem file: the batch command's text format, which the desktop
// program opens and saves too. A line "K", K's rows (the upper triangle or
// the full matrix, one row per line), a line "M", M's rows; "#" starts a
// comment; any number of problems in one file, each from its line "K" on.
// A file either program writes, the other reads.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_stream.h"
#include "core/direction.h"
#include "core/matrix_store.h"

namespace varno {

// One problem as read from a file: its dimension, the entries as stored,
// and the texts as typed (for the cells), and where it starts.
struct FileProblem {
    std::int64_t line = 0;     // 1-based line of its "K"
    std::uint64_t offset = 0;  // bytes before its line "K"
    int n = 0;
    Matrix10 K{};  // upper triangles, 1-based as the store holds them
    Matrix10 M{};
    std::vector<std::string> kTexts;  // row-major upper triangle, as written
    std::vector<std::string> mTexts;
    std::vector<Direction> directions;  // from its directions line; empty without one
};

// A problem of a file as a list of them shows it, and where to read it.
struct ProblemEntry {
    std::int64_t line = 0;
    std::uint64_t offset = 0;
    int n = 0;
};

// A file may hold any number of problems; a list of more than this many
// would help nobody, and what is kept of a file stays bounded.
inline constexpr std::size_t MaxListedProblems = 10000;

// What Open learns of a file, read once from start to end in bounded
// memory: the first MaxListedProblems problems' places, how many there are
// in all, and the first one whole; or the first fault, its 1-based line and
// what is wrong, in one sentence for a message box ("line 7: M has 1 row; n
// is 2, so a row of M is missing."), with no problem kept.
struct ProblemFileScan {
    std::vector<ProblemEntry> listed;
    std::int64_t count = 0;
    FileProblem first;
    std::int64_t errorLine = 0;
    std::string error;  // the whole sentence, its line included
    // The fault is in the first line that counts, which is no "K": the
    // input is no file of problems at all (a note, a matrix from elsewhere).
    bool notProblems = false;
    bool stopped = false;  // told to stop before the end
    bool ok() const { return error.empty(); }
};

struct ScanOptions {
    // Where the input starts within its file: to read one problem of it,
    // from the offset a scan gave, with its lines numbered as in the file.
    std::int64_t firstLine = 1;
    std::uint64_t firstOffset = 0;
    bool firstOnly = false;  // stop after the first problem
    // Checked between reads; once set, the scan ends with stopped.
    const std::atomic<bool>* stop = nullptr;
};
ProblemFileScan ScanProblemFile(ByteSource& in, const ScanOptions& options = {});

// The text a Save writes: a comment line naming the dimension and the
// program's version, then "K", the upper rows, "M", the upper rows; each
// entry the shortest text that reads back as the very double stored; then
// the directions line, where directions are given and not all x.
std::string WriteProblemFile(const Matrix10& K, const Matrix10& M, int n, std::string_view version,
                             const std::vector<Direction>& directions = {});

// Row i (1-based) of X's upper triangle for n as a Save writes it: the
// entries from the diagonal on, separated by one blank.
std::string UpperRowText(const Matrix10& X, int i, int n);

}  // namespace varno
