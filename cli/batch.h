// The batch command's engine: reading problems from arguments or files, and
// running them through exactly the dialog's Calculate path.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/memory_grid.h"
#include "core/program_state.h"

namespace varno {

struct BatchProblem {
    int n = 0;
    // Upper triangles, 0-based; entries below the diagonal are never read.
    std::array<std::array<double, 4>, 4> K{};
    std::array<std::array<double, 4>, 4> M{};
};

// Either a problem or a one-line message that says what is wrong and where.
struct BatchParse {
    BatchProblem problem;
    std::string error;
    bool ok() const { return error.empty(); }
};

// ROWS: rows separated by ';', entries by blanks or tabs. Row i holds either n
// entries or the n - i + 1 entries from the diagonal on.
BatchParse ParseRowsArguments(std::string_view kRows, std::string_view mRows);

// A line "K", its rows one per line, a line "M", its rows. Empty lines and
// lines starting with '#' are ignored.
BatchParse ParseProblemFile(std::string_view text);

struct BatchRun {
    int n = 0;
    bool mended = false;  // the reports are the checked-and-mended one, not the closed form's
    RecordingChannel channel;
};

// Writes the triangles into a fresh store, selects dimension n - 2 and action
// 0 on an in-memory grid, and runs the Calculate command.
BatchRun RunBatch(const BatchProblem& problem, ProgramState& state);

std::string PlainOutput(const BatchRun& run);
std::string JsonOutput(const BatchRun& run);

// 0 when an eigenvalue report was shown, 1 when the calculation ended without one.
inline int ExitStatusOf(const BatchRun& run) { return run.channel.reports.empty() ? 1 : 0; }

}  // namespace varno
