// The batch command's input reader: arbitrary FILE texts and ROWS pairs.
// Nothing may crash; a rejection is one line that names the problem.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/batch.h"

namespace {

void Check(const varno::BatchParse& parsed)
{
    if (!parsed.ok()) {
        if (parsed.error.find('\n') != std::string::npos) std::abort();
        return;
    }
    if (parsed.problem.n < 2 || parsed.problem.n > 4) std::abort();
    varno::ProgramState state;
    const varno::BatchRun run = varno::RunBatch(parsed.problem, state);
    const std::string json = varno::JsonOutput(run);
    if (json.empty() || json.front() != '{') std::abort();
    (void)varno::PlainOutput(run);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 8192) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Check(varno::ParseProblemFile(text));
    const std::size_t split = text.find('|');
    if (split != std::string_view::npos)
        Check(varno::ParseRowsArguments(text.substr(0, split), text.substr(split + 1)));
    return 0;
}
