// The batch command's engine: reading problems from arguments or files, and
// running them through exactly the dialog's Calculate path.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "certified/modal_directions.h"
#include "certified/modes.h"
#include "certified/rayleigh_damping.h"
#include "certified/shape_normalisation.h"
#include "cli/dynamic_run.h"
#include "core/memory_grid.h"
#include "core/message_text.h"
#include "core/problem_lines.h"
#include "core/program_state.h"

namespace varno {

struct BatchProblem {
    int n = 0;
    // Upper triangles, 0-based; entries below the diagonal are never read.
    std::array<std::array<double, MaxOrder>, MaxOrder> K{};
    std::array<std::array<double, MaxOrder>, MaxOrder> M{};
    // The directions its file gives ("# directions: x,y"); empty without.
    std::vector<Direction> directions;
    // A problem of more than MaxOrder rows, whole, for the dynamic-size
    // path; K and M above are then unused. Shared: problems are copied.
    std::shared_ptr<const SymmetricPencil> large;
};

// Either a problem or what is wrong with it, and where when that is known.
struct BatchParse {
    BatchProblem problem;
    std::string reason;         // empty when the problem was read
    std::int64_t errorLine = 0;  // the line the reason concerns; 0 when none
    // Entries whose text is not read whole ("1,5" is read as 1), each as
    // "line L: M row 1, column 1: \"1,5\" is read as 1" (without "line L: "
    // where the rows came without lines).
    std::vector<std::string> warnings;
    bool ok() const { return reason.empty(); }
    // One line for the user: "line L: reason", or the reason alone.
    std::string Message() const;
};

// ROWS: rows separated by ';', entries by blanks or tabs. Row i holds either n
// entries or the n - i + 1 entries from the diagonal on. With strict, an
// entry not read whole makes the problem malformed instead of a warning.
BatchParse ParseRowsArguments(std::string_view kRows, std::string_view mRows, bool strict = false);

// A line "K", its rows one per line, a line "M", its rows. Empty lines and
// lines starting with '#' are ignored, and so is a UTF-8 byte-order mark at
// the start. firstLine numbers text's first line.
BatchParse ParseProblemFile(std::string_view text, std::int64_t firstLine = 1, bool strict = false);

// The problem whose lines were read, or what is wrong with it; text as given
// to lines.Add.
BatchParse ReadProblemLines(const ProblemLines& lines, std::string_view text, bool strict);

// What --directions, --rayleigh and --normalise ask of the modes.
struct ModalOptions {
    std::vector<Direction> directions;  // one a degree of freedom; empty where not asked
    std::optional<RayleighRequest> rayleigh;
    std::optional<Normalisation> normalisation;
    int first = 0;  // --first: only the first this many modes of a large problem (0: all)
    bool any() const { return !directions.empty() || rayleigh || normalisation; }
};

// The option texts read, or what is wrong with them, for a one-line message.
// "x,y,x,y": one label a degree of freedom (DirectionLabel's words).
std::string ParseDirectionsOption(std::string_view text, std::vector<Direction>& directions);
// "I,J" or "I,J,ZETA_I,ZETA_J".
std::string ParseRayleighOption(std::string_view text, RayleighRequest& request);
// "mass", "max" or "dof=N".
std::string ParseNormaliseOption(std::string_view text, Normalisation& how);
// The option's word for how: "mass", "max" or "dof=N".
std::string NormalisationWord(const Normalisation& how);

// What a run adds to the reports: JSON always gives the eigenvalues at full
// precision, and --modes the modes; neither is worked out unless asked for.
struct BatchExtras {
    bool eigenvalues = false;
    bool modes = false;
};

struct BatchRun {
    int n = 0;
    bool mended = false;  // the reports are the checked-and-mended one, not the closed form's
    RecordingChannel channel;
    BatchExtras extras;  // what was asked for
    ModalOptions modal;  // and of the modes
    // The n eigenvalues, each the one double shown for it everywhere, ordered
    // by real part; empty where no eigenvalue report was shown, or there is
    // none to give.
    std::vector<Eigenvalue> eigenvalues;
    // The modes of a definite pencil that showed a report; empty otherwise.
    std::optional<ModalResult> modes;
    // With modes: the shapes as modal.normalisation asks (by mass
    // where not asked), each direction's participation where asked, and the
    // Rayleigh damping where asked.
    NormalisedShapes shapes;
    std::vector<DirectionParticipation> byDirection;
    std::optional<RayleighDamping> damping;
    // Why what modal asks could not be given, for a one-line
    // message: a refused normalisation or damping, or no modes to take
    // them from. Empty otherwise.
    std::string modalError;
    // A large problem's run, which the outputs write instead of the above.
    std::shared_ptr<const DynamicRun> large;
};

// Writes the triangles into a fresh store, selects dimension n - 2 and action
// 0 on an in-memory grid, and runs the Calculate command; then, where an
// eigenvalue report was shown, works out the extras asked for, and with
// extras.modes what modal asks of the modes.
BatchRun RunBatch(const BatchProblem& problem, ProgramState& state, BatchExtras extras = {},
                  const ModalOptions& modal = {});

// Every message followed by an empty line, and with extras.modes the modes
// table after them: with modal, one table a direction instead of the
// effective masses, the Rayleigh damping and each mode's damping ratio, and
// the normalisation asked.
std::string PlainOutput(const BatchRun& run);
void AppendPlainOutput(std::string& out, const BatchRun& run);
// One object and its line end: "n", "messages", "reports", "eigenvalues"
// (null when there are none), with extras.modes "modes" (null without
// them) and with modal "normalisation", "directions" and
// "by_direction", "rayleigh" as asked, "mended". line > 0 adds "line": L
// first, as each object of a stream of problems has; warnings, when there
// are any, go into "warnings" last.
// The run is one made with extras.eigenvalues.
std::string JsonOutput(const BatchRun& run, std::int64_t line = 0, std::span<const std::string> warnings = {});
void AppendJsonOutput(std::string& out, const BatchRun& run, std::int64_t line = 0,
                      std::span<const std::string> warnings = {});
// {"line": L, "error": "reason"} and its line end: a malformed problem in a stream.
void AppendJsonError(std::string& out, std::int64_t line, std::string_view reason);

// 0 when an eigenvalue report was shown, 1 when the calculation ended without one.
inline int ExitStatusOf(const BatchRun& run)
{
    if (run.large) return ExitStatusOf(*run.large);
    return run.channel.reports.empty() ? 1 : 0;
}

}  // namespace varno
