// varno-cli: the calculator without a window, for scripts and checks.
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "cli/batch.h"

namespace {

constexpr std::string_view Usage =
    "usage: varno-cli [--json] -k ROWS -m ROWS\n"
    "       varno-cli [--json] FILE      (FILE '-' reads standard input; it may hold many problems)\n"
    "       varno-cli --version\n"
    "ROWS: rows separated by ';', entries by blanks, e.g. -k \"2 0; 0 6\" -m \"1 0; 0 2\"\n";

int Fail(const std::string& message)
{
    std::cerr << "varno-cli: " << message << '\n';
    return 2;
}

// Answers every problem of FILE ("-": standard input) as a stream.
int RunFile(const std::string& path, bool json)
{
    std::ifstream file;
    if (path != "-") {
        file.open(path, std::ios::binary);
        if (!file) return Fail("cannot read " + path);
    }
    std::istream& in = path == "-" ? std::cin : file;
    const int status = varno::RunProblemStream(in, std::cout, std::cerr, json);
    std::cout.flush();
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    // Many problems a second go through these streams: no C stdio sync.
    std::ios::sync_with_stdio(false);
    bool json = false;
    std::optional<std::string> kRows;
    std::optional<std::string> mRows;
    std::optional<std::string> file;
    for (int a = 1; a < argc; ++a) {
        const std::string_view arg = argv[a];
        if (arg == "--json") {
            json = true;
        } else if (arg == "-h" || arg == "--help") {
            std::cout << Usage;
            return 0;
        } else if (arg == "--version") {
            std::cout << "varno-cli " << VARNO_VERSION << '\n';
            return 0;
        } else if (arg == "-k" || arg == "-m") {
            // The next word is always ROWS, even when it starts with '-'.
            if (a + 1 >= argc) return Fail(std::string(arg) + " needs ROWS");
            (arg == "-k" ? kRows : mRows) = argv[++a];
        } else if (arg.size() > 1 && arg.front() == '-') {
            return Fail("unknown option " + std::string(arg) + " (see --help)");
        } else if (file) {
            return Fail("more than one FILE given");
        } else {
            file = std::string(arg);
        }
    }

    varno::BatchParse parsed;
    if (file) {
        if (kRows || mRows) return Fail("give either FILE or -k and -m, not both");
        return RunFile(*file, json);
    }
    if (kRows && mRows) {
        parsed = varno::ParseRowsArguments(*kRows, *mRows);
    } else if (kRows || mRows) {
        return Fail(kRows ? "-m ROWS is missing" : "-k ROWS is missing");
    } else {
        return Fail("no problem given: -k ROWS -m ROWS or FILE (see --help)");
    }
    if (!parsed.ok()) return Fail(parsed.Message());

    varno::ProgramState state;
    const varno::BatchRun run = varno::RunBatch(parsed.problem, state);
    std::cout << (json ? varno::JsonOutput(run) : varno::PlainOutput(run)) << std::flush;
    return varno::ExitStatusOf(run);
}
