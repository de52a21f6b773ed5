// varno-cli: the calculator without a window, for scripts and checks.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "cli/batch.h"
#include "cli/dynamic_run.h"
#include "cli/fd_io.h"
#include "cli/progress.h"
#include "core/model_import.h"
#include "core/version.h"

namespace {

constexpr std::string_view Usage =
    "usage: varno-cli [--json] [--modes [MODAL]] [--strict] -k ROWS -m ROWS\n"
    "       varno-cli [--json] [--modes [MODAL]] [--force-roles] --k-file KFILE --m-file MFILE\n"
    "       varno-cli [--json] [--modes [MODAL]] [--strict] [--stream] [-j N] [--progress | --no-progress] FILE\n"
    "       varno-cli --version\n"
    "ROWS: n = 2 to 6 rows separated by ';', entries by blanks, e.g. -k \"2 0; 0 6\" -m \"1 0; 0 2\"\n"
    "FILE: a line K, K's rows, a line M, M's rows, as many problems as you like; '-' reads standard input\n"
    "KFILE, MFILE: K and M as other programs write them, by extension or else by content:\n"
    "  .mtx Matrix Market coordinate, .sti/.mas CalculiX, .csv/.tsv/.txt rows, full or upper triangle\n"
    "  --force-roles   take KFILE as K and MFILE as M although their names say otherwise\n"
    "  --json          one JSON object per problem (JSON Lines for many), with the\n"
    "                  eigenvalues as doubles that read back exactly\n"
    "  --modes         natural frequencies, mode shapes, error bounds and effective\n"
    "                  masses, where M, -M, K or -K is definite\n"
    "MODAL (each implies --modes; with FILE, for every problem in it):\n"
    "  --directions x,y,x,y  a direction for each degree of freedom (x, y, z, rx, ry, rz\n"
    "                  or none): participation factors, effective masses, shares and\n"
    "                  cumulative shares per direction (default: x for all)\n"
    "  --rayleigh I,J[,ZETA_I,ZETA_J]  Rayleigh damping C = a0 M + a1 K from modes I\n"
    "                  and J (damping ratios 0.05 by default), and each mode's ratio\n"
    "  --normalise mass|max|dof=N  shapes with x^T M x = 1 (default), a largest\n"
    "                  component of 1, or 1 at degree of freedom N; participation\n"
    "                  factors follow, effective masses do not depend on it\n"
    "  --first K       of a model beyond 6 degrees of freedom, only the K lowest\n"
    "                  modes, and whether they reach 90 % of each direction's mass\n"
    "  --strict        an entry not read whole (\"1,5\" is read as 1) is an error, not a warning\n"
    "  --stream        every answer headed, each written as soon as its M has its n rows\n"
    "                  (a malformed problem as soon as nothing to come could mend it)\n"
    "  -j N            N worker threads (default: as many as the cores it may use)\n"
    "  --progress      a progress line on standard error; by default only on a terminal,\n"
    "  --no-progress   and only when FILE is a file\n";

varno::FdSink& Err()
{
    static varno::FdSink err(STDERR_FILENO, "standard error");
    return err;
}

int Fail(const std::string& message)
{
    Err().Write("varno-cli: " + message + "\n");
    return 2;
}

// Answers every problem of FILE ("-": standard input) as a stream.
int RunFile(const std::string& path, const varno::StreamOptions& options, std::optional<bool> progress)
{
    int fd = STDIN_FILENO;
    if (path != "-") {
        fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return Fail("cannot read " + varno::EscapedName(path) + ": " + varno::SystemError(errno));
    }
    varno::FdSource in(fd, path == "-" ? "standard input" : varno::EscapedName(path));
    varno::StreamOptions named = options;
    if (path != "-") named.name = varno::EscapedName(path);
    varno::FdSink out(STDOUT_FILENO, "standard output");
    const std::int64_t size = in.Size();
    // On a terminal the line helps; in a log or for a pipe of unknown length it does not.
    if (!progress.value_or(isatty(STDERR_FILENO) == 1 && size >= 0))
        return varno::RunProblemStream(in, out, Err(), named);
    varno::ProgressLine line(Err(), size);
    // Answers on the same terminal must not run into the line.
    struct AroundLine final : varno::ByteSink {
        varno::ProgressLine& line;
        varno::FdSink& out;
        AroundLine(varno::ProgressLine& l, varno::FdSink& o) : line(l), out(o) {}
        bool Write(std::string_view text) override
        {
            const bool ok = line.WriteAround(out, text);
            if (!ok) error = out.error;
            return ok;
        }
    } around(line, out);
    varno::ByteSink& answers = isatty(STDOUT_FILENO) == 1 ? static_cast<varno::ByteSink&>(around) : out;
    const int status = varno::RunProblemStream(in, answers, line, named, &line);
    line.End();
    return status;
}

// A model beyond the grid's size, on the dynamic-size path.
int RunLarge(const varno::SymmetricPencil& pencil, const varno::StreamOptions& options, const varno::ModalOptions& modal)
{
    if (modal.rayleigh || modal.normalisation)
        return Fail("--rayleigh and --normalise take models of at most " + std::to_string(varno::MaxOrder) +
                    " degrees of freedom");
    if (!modal.directions.empty() && modal.directions.size() != static_cast<std::size_t>(pencil.n()))
        return Fail("--directions gives " + std::to_string(modal.directions.size()) +
                    " directions; the model has " + std::to_string(pencil.n()) + " degrees of freedom");
    varno::KernelThreadsForAlone(pencil.n(), options.jobs);
    const varno::DynamicRun run = varno::RunDynamic(pencil, options.modes || modal.any(), modal.first, modal.directions);
    varno::FdSink out(STDOUT_FILENO, "standard output");
    if (!out.Write(options.json ? varno::DynamicJsonOutput(run) : varno::DynamicPlainOutput(run))) return Fail(out.error);
    return varno::ExitStatusOf(run);
}

}  // namespace

int Main(int argc, char** argv)
{
    varno::StreamOptions options;
    options.jobs = 0;  // not given
    std::optional<bool> progress;
    std::optional<std::string> kRows;
    std::optional<std::string> mRows;
    std::optional<std::string> file;
    std::optional<std::string> kFile;
    std::optional<std::string> mFile;
    bool forceRoles = false;
    varno::ModalOptions modal;
    for (int a = 1; a < argc; ++a) {
        const std::string_view arg = argv[a];
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--modes") {
            options.modes = true;
        } else if (arg == "--stream") {
            options.stream = true;
        } else if (arg == "--strict") {
            options.strict = true;
        } else if (arg == "--force-roles") {
            forceRoles = true;
        } else if (arg == "--progress" || arg == "--no-progress") {
            progress = arg == "--progress";
        } else if (arg.starts_with("-j")) {
            std::string_view count = arg.substr(2);
            if (count.empty()) {
                if (a + 1 >= argc) return Fail("-j needs a number of threads");
                count = argv[++a];
            }
            int jobs = 0;
            const auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), jobs);
            if (ec != std::errc() || end != count.data() + count.size() || jobs < 1 || jobs > 4096)
                return Fail("-j needs a number of threads from 1 to 4096, not \"" + std::string(count) + "\"");
            options.jobs = jobs;
        } else if (arg == "--first") {
            if (a + 1 >= argc) return Fail("--first needs a number of modes");
            const std::string_view count = argv[++a];
            const auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), modal.first);
            if (ec != std::errc() || end != count.data() + count.size() || modal.first < 1)
                return Fail("--first needs a number of modes from 1 on, not \"" + std::string(count) + "\"");
            options.modes = true;
        } else if (arg == "--directions" || arg == "--rayleigh" || arg == "--normalise") {
            if (a + 1 >= argc) return Fail(std::string(arg) + " needs a value (see --help)");
            const std::string_view value = argv[++a];
            std::string error;
            if (arg == "--directions") {
                if (!modal.directions.empty()) return Fail("--directions given more than once");
                error = varno::ParseDirectionsOption(value, modal.directions);
            } else if (arg == "--rayleigh") {
                if (modal.rayleigh) return Fail("--rayleigh given more than once");
                error = varno::ParseRayleighOption(value, modal.rayleigh.emplace());
            } else {
                if (modal.normalisation) return Fail("--normalise given more than once");
                error = varno::ParseNormaliseOption(value, modal.normalisation.emplace());
            }
            if (!error.empty()) return Fail(error);
        } else if (arg == "-h" || arg == "--help" || arg == "--version") {
            // A text that did not arrive is a failure, here as for any answer.
            varno::FdSink out(STDOUT_FILENO, "standard output");
            if (!out.Write(arg == "--version" ? std::string_view("varno-cli " VARNO_VERSION "\n") : Usage))
                return Fail(out.error);
            return 0;
        } else if (arg == "-k" || arg == "-m") {
            // The next word is always ROWS, even when it starts with '-'.
            if (a + 1 >= argc) return Fail(std::string(arg) + " needs ROWS");
            // Which of two matrices was meant is not for the command to guess.
            std::optional<std::string>& rows = arg == "-k" ? kRows : mRows;
            if (rows) return Fail(std::string(arg) + " given more than once");
            rows = argv[++a];
        } else if (arg == "--k-file" || arg == "--m-file") {
            if (a + 1 >= argc) return Fail(std::string(arg) + " needs a file");
            std::optional<std::string>& path = arg == "--k-file" ? kFile : mFile;
            if (path) return Fail(std::string(arg) + " given more than once");
            path = argv[++a];
        } else if (arg.size() > 1 && arg.front() == '-') {
            return Fail("unknown option " + std::string(arg) + " (see --help)");
        } else if (file) {
            return Fail("more than one FILE given");
        } else {
            file = std::string(arg);
        }
    }
    if (options.jobs == 0) options.jobs = varno::DefaultJobs();

    if (file) {
        options.modal = modal;
        if (kRows || mRows) return Fail("give either FILE or -k and -m, not both");
        if (kFile || mFile) return Fail("give either FILE or --k-file and --m-file, not both");
        if (forceRoles) return Fail("--force-roles is for --k-file and --m-file");
        return RunFile(*file, options, progress);
    }
    varno::BatchParse parsed;
    if (kFile || mFile) {
        if (kRows || mRows) return Fail("give K and M either both as ROWS or both as files");
        if (!kFile || !mFile) return Fail(kFile ? "--m-file is missing" : "--k-file is missing");
        // Swapped files would give the eigenvalues of another pencil, and exit 0.
        for (const auto& [path, given] : {std::pair{&*kFile, varno::ModelRole::K}, std::pair{&*mFile, varno::ModelRole::M}}) {
            const varno::ModelRole named = varno::RoleOfName(*path);
            if (forceRoles || named == varno::ModelRole::Unknown || named == given) continue;
            return Fail(varno::EscapedName(*path) + "'s name says it holds " + (named == varno::ModelRole::K ? "K" : "M") +
                        ", but it is given as " + (given == varno::ModelRole::K ? "--k-file" : "--m-file") +
                        "; give the files the other way round, or add --force-roles to take them as given");
        }
        varno::ImportedModel model = varno::ImportModelFiles({.k = *kFile,
                                                                    .m = *mFile,
                                                                    .shownK = varno::EscapedName(*kFile),
                                                                    .shownM = varno::EscapedName(*mFile),
                                                                    .cap = varno::MaxDynamicOrder});
        if (model.problemFile) return Fail(model.error + ": give it as FILE, not as --k-file or --m-file");
        if (!model.ok()) return Fail(model.error);
        // Moved, not copied: at n = 4000 each copy is 128 MB.
        if (model.n > varno::MaxOrder) return RunLarge({std::move(model.k), std::move(model.m)}, options, modal);
        parsed.problem.n = model.n;
        for (std::size_t i = 0; i < static_cast<std::size_t>(model.n); ++i)
            for (std::size_t j = i; j < static_cast<std::size_t>(model.n); ++j) {
                parsed.problem.K[i][j] = model.K[i + 1][j + 1];
                parsed.problem.M[i][j] = model.M[i + 1][j + 1];
            }
    } else {
        if (!kRows || !mRows) {
            if (kRows || mRows) return Fail(kRows ? "-m ROWS is missing" : "-k ROWS is missing");
            return Fail("no problem given: -k ROWS -m ROWS or FILE (see --help)");
        }
        if (varno::RowCount(*kRows) > static_cast<std::size_t>(varno::MaxOrder)) {
            std::string error;
            const std::optional<varno::SymmetricPencil> pencil = varno::ParseDynamicRows(*kRows, *mRows, error);
            if (!pencil) return Fail(error);
            return RunLarge(*pencil, options, modal);
        }
        parsed = varno::ParseRowsArguments(*kRows, *mRows, options.strict);
        if (!parsed.ok()) return Fail(parsed.Message());
    }
    for (const std::string& warning : parsed.warnings) Err().Write("varno-cli: " + warning + "\n");

    varno::ProgramState state;
    const varno::BatchRun run = varno::RunBatch(
        parsed.problem, state, {.eigenvalues = options.json, .modes = options.modes || modal.any()}, modal);
    // Half an answer would pass for a whole one in a script.
    if (!run.modalError.empty()) return Fail(run.modalError);
    varno::FdSink out(STDOUT_FILENO, "standard output");
    if (!out.Write(options.json ? varno::JsonOutput(run, 0, parsed.warnings) : varno::PlainOutput(run)))
        return Fail(out.error);
    return varno::ExitStatusOf(run);
}

int main(int argc, char** argv)
{
    // A model the memory cannot hold is refused by one message, not an abort;
    // nothing has been written by then (every answer is written whole, last).
    try {
        return Main(argc, argv);
    } catch (const std::bad_alloc&) {
        return Fail("not enough memory for this model");
    }
}
