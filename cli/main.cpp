// varno-cli: the calculator without a window, for scripts and checks.
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/batch.h"

namespace {

constexpr std::string_view Usage =
    "usage: varno-cli [--json] -k ROWS -m ROWS\n"
    "       varno-cli [--json] FILE      (FILE '-' reads standard input)\n"
    "ROWS: rows separated by ';', entries by blanks, e.g. -k \"2 0; 0 6\" -m \"1 0; 0 2\"\n";

int Fail(const std::string& message)
{
    std::cerr << "varno-cli: " << message << '\n';
    return 2;
}

std::optional<std::string> ReadAll(const std::string& path)
{
    std::ostringstream text;
    if (path == "-") {
        text << std::cin.rdbuf();
        return text.str();
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    text << file.rdbuf();
    if (file.bad()) return std::nullopt;
    return text.str();
}

}  // namespace

int main(int argc, char** argv)
{
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
        const auto text = ReadAll(*file);
        if (!text) return Fail("cannot read " + *file);
        parsed = varno::ParseProblemFile(*text);
    } else if (kRows && mRows) {
        parsed = varno::ParseRowsArguments(*kRows, *mRows);
    } else if (kRows || mRows) {
        return Fail(kRows ? "-m ROWS is missing" : "-k ROWS is missing");
    } else {
        return Fail("no problem given: -k ROWS -m ROWS or FILE (see --help)");
    }
    if (!parsed.ok()) return Fail(parsed.error);

    varno::ProgramState state;
    const varno::BatchRun run = varno::RunBatch(parsed.problem, state);
    std::cout << (json ? varno::JsonOutput(run) : varno::PlainOutput(run)) << std::flush;
    return varno::ExitStatusOf(run);
}
