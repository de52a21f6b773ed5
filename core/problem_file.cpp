#include "core/problem_file.h"

#include <algorithm>
#include <array>

#include "core/line_splitter.h"
#include "core/number_text.h"
#include "core/problem_lines.h"

namespace varno {
namespace {

// The splitter's handler: each problem checked as its lines end, the first
// fault ending the scan.
class Scanner {
public:
    Scanner(ProblemFileScan& result, bool firstOnly) : result_(result), firstOnly_(firstOnly) {}

    void Line(std::string_view line, std::int64_t number, std::uint64_t offset)
    {
        const LineKind kind = ClassifyLine(line);
        if (kind == LineKind::Blank) return;
        if (kind == LineKind::Comment) {
            open_.Add(kind, line, number, openText_);  // a directions line counts
            if (!open_.reason.empty()) Finish(number);
            return;
        }
        if (kind == LineKind::K && open_.section >= 0) {  // a new problem begins
            Finish(number);
            if (Stopped()) return;
        }
        if (AtFirstLine()) result_.notProblems = kind != LineKind::K;
        if (kind == LineKind::K) openOffset_ = offset;
        open_.Add(kind, line, number, openText_);
        if (!open_.reason.empty()) Finish(number);  // certain already
    }
    void OversizeLine(std::int64_t number)
    {
        if (AtFirstLine()) result_.notProblems = true;
        open_.AddOversizeRow(number);
        Finish(number);
    }
    bool AtFirstLine() const { return result_.count == 0 && !open_.any; }
    bool Stopped() const { return !result_.ok() || done_; }

    // The end of the input, its last line numbered last.
    void End(std::int64_t last)
    {
        if (!Stopped() && (open_.any || result_.count == 0)) Finish(last);
    }

private:
    void Finish(std::int64_t number)
    {
        std::array<UpperTexts, 2> texts{};
        std::int64_t line = 0;
        const std::string why = open_.Check(openText_, texts, line);
        if (!why.empty()) {
            if (line == 0) line = open_.kLine != 0 ? open_.kLine : std::max<std::int64_t>(number, 1);
            result_.listed.clear();
            result_.count = 0;
            result_.first = {};
            result_.errorLine = line;
            result_.error = "line " + std::to_string(line) + ": " + why + ".";
            return;
        }
        const int n = static_cast<int>(open_.count[0]);
        if (result_.listed.size() < MaxListedProblems) result_.listed.push_back({open_.kLine, openOffset_, n});
        if (result_.count++ == 0) {
            FileProblem& problem = result_.first;
            problem.line = open_.kLine;
            problem.offset = openOffset_;
            problem.n = n;
            problem.directions = open_.directions;
            for (std::size_t i = 0; i < open_.count[0]; ++i)
                for (std::size_t j = i; j < open_.count[0]; ++j) {
                    problem.K[i + 1][j + 1] = ParseCellText(texts[0][i][j]);
                    problem.M[i + 1][j + 1] = ParseCellText(texts[1][i][j]);
                    problem.kTexts.emplace_back(texts[0][i][j]);
                    problem.mTexts.emplace_back(texts[1][i][j]);
                }
            done_ = firstOnly_;
        }
        open_ = {};
        openText_.clear();
    }

    ProblemFileScan& result_;
    bool firstOnly_;
    bool done_ = false;
    ProblemLines open_;
    std::string openText_;
    std::uint64_t openOffset_ = 0;
};

}  // namespace

ProblemFileScan ScanProblemFile(ByteSource& in, const ScanOptions& options)
{
    ProblemFileScan result;
    Scanner scanner(result, options.firstOnly);
    LineSplitter<Scanner> lines(scanner, options.firstLine, options.firstOffset);
    std::string chunk(std::size_t{1} << 16, '\0');
    while (!scanner.Stopped()) {
        if (options.stop != nullptr && options.stop->load(std::memory_order_relaxed)) {
            result = {};
            result.stopped = true;
            result.error = "stopped";
            return result;
        }
        const std::ptrdiff_t got = in.Read(chunk.data(), chunk.size());
        if (got < 0) {
            result = {};
            result.error = in.error;
            return result;
        }
        if (got == 0) {
            lines.End();
            scanner.End(lines.lineNumber());
            break;
        }
        lines.Take(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
    }
    if (result.ok()) result.notProblems = false;
    return result;
}

std::string UpperRowText(const Matrix10& X, int i, int n)
{
    std::string text;
    for (int j = i; j <= n; ++j) {
        if (j > i) text += ' ';
        text += ExactText(X[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
    }
    return text;
}

std::string WriteProblemFile(const Matrix10& K, const Matrix10& M, int n, std::string_view version,
                             const std::vector<Direction>& directions)
{
    std::string text = "# n = " + std::to_string(n) + ", written by varno " + std::string(version) + "\n";
    for (const auto* X : {&K, &M}) {
        text += X == &K ? "K\n" : "M\n";
        for (int i = 1; i <= n; ++i) (text += UpperRowText(*X, i, n)) += '\n';
    }
    if (std::any_of(directions.begin(), directions.end(), [](Direction d) { return d != Direction::X; }))
        (((text += DirectionsPrefix) += ' ') += DirectionsText(directions)) += '\n';
    return text;
}

}  // namespace varno
