#include "core/problem_file.h"

#include <algorithm>
#include <array>

#include "core/number_text.h"
#include "core/problem_lines.h"

namespace varno {
namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// A run of blanks reads as one blank wherever it stands: what the batch
// command does to a line too long to keep, so that both read it alike.
std::string CompactBlanks(std::string_view line)
{
    std::string out;
    for (const char c : line) {
        const bool blank = c == ' ' || c == '\t';
        if (blank && !out.empty() && (out.back() == ' ' || out.back() == '\t')) continue;
        out += c;
    }
    return out;
}

}  // namespace

ProblemFileRead ReadProblemFile(std::string_view text)
{
    if (text.starts_with(ByteOrderMark)) text.remove_prefix(ByteOrderMark.size());
    ProblemFileRead result;
    ProblemLines open;
    std::string openText;
    int number = 0;
    // The problem read so far, converted; false at its first fault.
    const auto finish = [&] {
        std::array<UpperTexts, 2> texts{};
        std::int64_t line = 0;
        const std::string why = open.Check(openText, texts, line);
        if (!why.empty()) {
            if (line == 0) line = open.kLine != 0 ? open.kLine : std::max(number, 1);
            result.problems.clear();
            result.errorLine = static_cast<int>(line);
            result.error = "line " + std::to_string(line) + ": " + why + ".";
            return false;
        }
        FileProblem problem;
        problem.line = static_cast<int>(open.kLine);
        problem.n = static_cast<int>(open.count[0]);
        for (std::size_t i = 0; i < open.count[0]; ++i)
            for (std::size_t j = i; j < open.count[0]; ++j) {
                problem.K[i + 1][j + 1] = ParseCellText(texts[0][i][j]);
                problem.M[i + 1][j + 1] = ParseCellText(texts[1][i][j]);
                problem.kTexts.emplace_back(texts[0][i][j]);
                problem.mTexts.emplace_back(texts[1][i][j]);
            }
        result.problems.push_back(std::move(problem));
        open = {};
        openText.clear();
        return true;
    };
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        std::string compacted;
        if (line.size() > MaxProblemBytes && !line.starts_with('#')) {
            compacted = CompactBlanks(line);
            line = compacted;
            if (line.size() > MaxProblemBytes) {
                open.AddOversizeRow(number);
                continue;
            }
        }
        const LineKind kind = ClassifyLine(line);
        if (kind == LineKind::Blank || kind == LineKind::Comment) continue;
        if (kind == LineKind::K && open.section >= 0 && !finish()) return result;  // a new problem begins
        open.Add(kind, line, number, openText);
    }
    if (open.any || result.problems.empty()) finish();
    return result;
}

std::string WriteProblemFile(const Matrix10& K, const Matrix10& M, int n, std::string_view version)
{
    std::string text = "# n = " + std::to_string(n) + ", written by varno " + std::string(version) + "\n";
    for (const auto* X : {&K, &M}) {
        text += X == &K ? "K\n" : "M\n";
        for (std::size_t i = 1; i <= static_cast<std::size_t>(n); ++i) {
            for (std::size_t j = i; j <= static_cast<std::size_t>(n); ++j) {
                if (j > i) text += ' ';
                text += ExactText((*X)[i][j]);
            }
            text += '\n';
        }
    }
    return text;
}

}  // namespace varno
