// The batch command's engine: reading problems from arguments or files, and
// running them through exactly the dialog's Calculate path.
#pragma once

#include <array>
#include <iosfwd>
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

// Either a problem or what is wrong with it, and where when that is known.
struct BatchParse {
    BatchProblem problem;
    std::string reason;  // empty when the problem was read
    int errorLine = 0;   // the line the reason concerns; 0 when none
    bool ok() const { return reason.empty(); }
    // One line for the user: "line L: reason", or the reason alone.
    std::string Message() const;
};

// ROWS: rows separated by ';', entries by blanks or tabs. Row i holds either n
// entries or the n - i + 1 entries from the diagonal on.
BatchParse ParseRowsArguments(std::string_view kRows, std::string_view mRows);

// A line "K", its rows one per line, a line "M", its rows. Empty lines and
// lines starting with '#' are ignored. firstLine numbers text's first line.
BatchParse ParseProblemFile(std::string_view text, int firstLine = 1);

struct BatchRun {
    int n = 0;
    bool mended = false;  // the reports are the checked-and-mended one, not the closed form's
    RecordingChannel channel;
};

// Writes the triangles into a fresh store, selects dimension n - 2 and action
// 0 on an in-memory grid, and runs the Calculate command.
BatchRun RunBatch(const BatchProblem& problem, ProgramState& state);

std::string PlainOutput(const BatchRun& run);
// line > 0 adds "line": L, as each object of a stream of problems has.
std::string JsonOutput(const BatchRun& run, int line = 0);

// A FILE holding any number of problems, each from its line "K" on, read and
// answered as a stream: memory does not grow with the number of problems.
// One problem (at most one line "K") is answered exactly as ever. With more,
// each answer is headed "# problem N (line L)" (plain) or carries "line": L
// (JSON Lines), and a malformed problem is reported in its place, and on err,
// without stopping the others. Returns the exit status: 2 if any problem was
// malformed, else 1 if any ended without an eigenvalue report, else 0.
int RunProblemStream(std::istream& in, std::ostream& out, std::ostream& err, bool json);

// 0 when an eigenvalue report was shown, 1 when the calculation ended without one.
inline int ExitStatusOf(const BatchRun& run) { return run.channel.reports.empty() ? 1 : 0; }

}  // namespace varno
