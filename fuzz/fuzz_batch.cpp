// The batch command's input reader: arbitrary FILE texts and ROWS pairs, and
// the same texts as a stream of problems, with and without modes. Nothing may
// crash; a rejection is one line that names the problem; eigenvalues and
// modes come only with a report, n of them, the modes' real and ascending; a
// stream of one problem is answered as that problem alone, and a longer one
// with one JSON line per problem; two worker threads reading a few bytes at a
// time give the same bytes as one. The desktop program's Open takes exactly
// the texts the batch command answers in full, and a problem saved back
// into its file unchanged gives the file's very bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/batch.h"
#include "cli/problem_stream.h"
#include "core/problem_file.h"
#include "core/problem_splice.h"

namespace {

void Check(const varno::BatchParse& parsed)
{
    if (!parsed.ok()) {
        if (parsed.Message().find('\n') != std::string::npos) std::abort();
        return;
    }
    for (const std::string& warning : parsed.warnings)
        if (warning.find('\n') != std::string::npos) std::abort();
    if (parsed.problem.n < 2 || parsed.problem.n > varno::MaxOrder) std::abort();
    varno::ProgramState state;
    const varno::BatchRun run = varno::RunBatch(parsed.problem, state, {.eigenvalues = true, .modes = true});
    const std::string json = varno::JsonOutput(run);
    if (json.empty() || json.front() != '{') std::abort();
    const std::string plain = varno::PlainOutput(run);
    const auto n = static_cast<std::size_t>(run.n);
    const bool report = !run.channel.reports.empty();
    if ((!run.eigenvalues.empty() || run.modes) && !report) std::abort();
    if (!run.eigenvalues.empty() && run.eigenvalues.size() != n) std::abort();
    if (report && (plain.find("\n\nModes\n") != std::string::npos) != run.modes.has_value()) std::abort();
    if (!run.modes) return;
    if (run.eigenvalues.size() != n || run.modes->n != run.n) std::abort();
    for (std::size_t k = 0; k < n; ++k) {
        const double lambda = run.modes->modes[k].lambda;
        if (run.eigenvalues[k].im != 0.0 || std::isnan(lambda) || !(run.modes->modes[k].bound >= 0.0)) std::abort();
        if (k > 0 && lambda < run.modes->modes[k - 1].lambda) std::abort();
    }
}

// How many problems the reader answers: one a line that reads "K", by its
// own test of a line; only the one where the first line that counts is not
// "K", for then nothing after it is read.
int KLines(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    int count = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const varno::LineKind kind = varno::ClassifyLine(text.substr(start, end - start));
        if (count == 0 && kind != varno::LineKind::K && kind != varno::LineKind::Blank &&
            kind != varno::LineKind::Comment)
            return 1;
        count += kind == varno::LineKind::K;
        start = end + 1;
    }
    return count;
}

// Every line of a JSON Lines answer is an object with its "line".
void CheckJsonLines(const std::string& lines, int expected)
{
    int count = 0;
    for (std::size_t at = 0; at < lines.size(); ++count) {
        const std::size_t end = lines.find('\n', at);
        if (lines.compare(at, 9, "{\"line\": ") != 0 || end == std::string::npos) std::abort();
        at = end + 1;
    }
    if (expected >= 0 && count != expected) std::abort();
}

// The answers to text; read in small pieces by two worker threads, the same bytes.
int Answer(std::string_view text, const varno::StreamOptions& options, std::string& out, std::string& err)
{
    const int status = varno::RunProblemText(text, out, err, options);
    varno::StreamOptions threaded = options;
    threaded.jobs = 2;
    std::string out2, err2;
    if (varno::RunProblemText(text, out2, err2, threaded, 7) != status || out2 != out || err2 != err) std::abort();
    return status;
}

void CheckStream(std::string_view text)
{
    const int problems = KLines(text);
    for (const auto& [json, modes] : {std::pair{false, false}, std::pair{true, false}, std::pair{false, true},
                                      std::pair{true, true}}) {
        std::string out, err;
        const int status = Answer(text, {.json = json, .modes = modes}, out, err);
        if (status < 0 || status > 2) std::abort();
        if (problems <= 1) {  // exactly the single problem's answer
            const varno::BatchParse parsed = varno::ParseProblemFile(text);
            if (!parsed.ok()) {
                if (status != 2 || !out.empty() || err != "varno-cli: " + parsed.Message() + "\n") std::abort();
                continue;
            }
            varno::ProgramState state;
            const varno::BatchRun run = varno::RunBatch(parsed.problem, state, {.eigenvalues = json, .modes = modes});
            std::string warnings;
            for (const std::string& w : parsed.warnings) warnings += "varno-cli: " + w + "\n";
            if (out != (json ? varno::JsonOutput(run, 0, parsed.warnings) : varno::PlainOutput(run)) ||
                status != varno::ExitStatusOf(run) || err != warnings)
                std::abort();
        } else if (json) {
            CheckJsonLines(out, problems);
        }
    }
    // With stream, every answer has the stream form, however few there are.
    std::string out, err;
    Answer(text, {.json = true, .stream = true, .strict = true, .modes = true}, out, err);
    CheckJsonLines(out, -1);
}

void CheckOpen(std::string_view text)
{
    varno::TextSource in(text, 7);
    const varno::ProblemFileScan scan = varno::ScanProblemFile(in);
    std::string out, err;
    if (scan.ok() != (varno::RunProblemText(text, out, err, {}) != 2)) std::abort();
    if (!scan.ok()) {
        if (scan.error.find('\n') != std::string::npos || scan.errorLine < 1) std::abort();
        return;
    }
    if (scan.count != KLines(text)) std::abort();
    for (std::size_t k = 0; k < std::min<std::size_t>(scan.listed.size(), 3); ++k) {
        const varno::ProblemEntry& entry = scan.listed[k];
        varno::TextSource from(text.substr(entry.offset));
        const varno::FileProblem read =
            varno::ScanProblemFile(from, {.firstLine = entry.line, .firstOffset = entry.offset, .firstOnly = true}).first;
        if (read.line != entry.line || read.n != entry.n) std::abort();
        varno::TextSource original(text, 5);
        std::string saved;
        const std::string why =
            varno::SpliceProblem(original, read, read.K, read.M, read.n, read.directions, [&](std::string_view piece) {
            saved += piece;
            return true;
        });
        if (!why.empty() || saved != text) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 8192) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Check(varno::ParseProblemFile(text));
    CheckStream(text);
    CheckOpen(text);
    const std::size_t split = text.find('|');
    if (split != std::string_view::npos)
        Check(varno::ParseRowsArguments(text.substr(0, split), text.substr(split + 1)));
    return 0;
}
