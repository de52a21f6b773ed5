// The batch command's input reader: arbitrary FILE texts and ROWS pairs, and
// the same texts as a stream of problems. Nothing may crash; a rejection is
// one line that names the problem; a stream of one problem is answered as
// that problem alone, and a longer one with one JSON line per problem.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/batch.h"

namespace {

void Check(const varno::BatchParse& parsed)
{
    if (!parsed.ok()) {
        if (parsed.Message().find('\n') != std::string::npos) std::abort();
        return;
    }
    if (parsed.problem.n < 2 || parsed.problem.n > 4) std::abort();
    varno::ProgramState state;
    const varno::BatchRun run = varno::RunBatch(parsed.problem, state);
    const std::string json = varno::JsonOutput(run);
    if (json.empty() || json.front() != '{') std::abort();
    (void)varno::PlainOutput(run);
}

// How many lines read "K" once trimmed of blanks, tabs and a final CR.
int KLines(std::string_view text)
{
    int count = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string_view::npos && line.substr(first, line.find_last_not_of(" \t") - first + 1) == "K")
            ++count;
        start = end + 1;
    }
    return count;
}

void CheckStream(std::string_view text)
{
    for (const bool json : {false, true}) {
        std::istringstream in{std::string(text)};
        std::ostringstream out, err;
        const int status = varno::RunProblemStream(in, out, err, json);
        const int problems = KLines(text);
        if (problems <= 1) {  // exactly the single problem's answer
            const varno::BatchParse parsed = varno::ParseProblemFile(text);
            if (!parsed.ok()) {
                if (status != 2 || !out.str().empty() || err.str() != "varno-cli: " + parsed.Message() + "\n") std::abort();
                continue;
            }
            varno::ProgramState state;
            const varno::BatchRun run = varno::RunBatch(parsed.problem, state);
            if (out.str() != (json ? varno::JsonOutput(run) : varno::PlainOutput(run)) ||
                status != varno::ExitStatusOf(run) || !err.str().empty())
                std::abort();
        } else if (json) {  // one object per problem, each with its line
            const std::string lines = out.str();
            int count = 0;
            for (std::size_t at = 0; at < lines.size(); ++count) {
                const std::size_t end = lines.find('\n', at);
                if (lines.compare(at, 9, "{\"line\": ") != 0 || end == std::string::npos) std::abort();
                at = end + 1;
            }
            if (count != problems || status < 0 || status > 2) std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 8192) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Check(varno::ParseProblemFile(text));
    CheckStream(text);
    const std::size_t split = text.find('|');
    if (split != std::string_view::npos)
        Check(varno::ParseRowsArguments(text.substr(0, split), text.substr(split + 1)));
    return 0;
}
