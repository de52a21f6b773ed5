#include "cli/batch.h"

#include <cmath>
#include <vector>

#include "core/calculate.h"
#include "core/matrix_rows.h"
#include "core/matrix_store.h"
#include "core/number_text.h"

namespace varno {
namespace {

constexpr int MaxDimension = 4;

// rows: the row texts of one matrix, already stripped of empty ones.
std::string FillMatrix(const std::vector<std::string_view>& rows, char name, int n,
                       std::array<std::array<double, 4>, 4>& out, const std::vector<int>& lines)
{
    UpperTexts texts{};
    std::string error = ReadUpperRows(rows, name, n, texts, lines);
    if (!error.empty()) return error;
    for (std::size_t r = 0; r < static_cast<std::size_t>(n); ++r)
        for (std::size_t c = r; c < static_cast<std::size_t>(n); ++c) out[r][c] = ParseCellText(texts[r][c]);
    return {};
}

std::string CountError(char name, std::size_t rows)
{
    return std::string(1, name) + " has " + std::to_string(rows) + " rows; n must be 2, 3 or 4";
}

BatchParse Assemble(const std::vector<std::string_view>& kRows, const std::vector<std::string_view>& mRows,
                    const std::vector<int>& kLines, const std::vector<int>& mLines)
{
    BatchParse result;
    for (const auto& [rows, name] : {std::pair{&kRows, 'K'}, std::pair{&mRows, 'M'}}) {
        if (rows->size() < 2 || rows->size() > MaxDimension) {
            result.error = CountError(name, rows->size());
            return result;
        }
    }
    if (kRows.size() != mRows.size()) {
        result.error = "K has " + std::to_string(kRows.size()) + " rows but M has " + std::to_string(mRows.size());
        return result;
    }
    result.problem.n = static_cast<int>(kRows.size());
    result.error = FillMatrix(kRows, 'K', result.problem.n, result.problem.K, kLines);
    if (result.error.empty()) result.error = FillMatrix(mRows, 'M', result.problem.n, result.problem.M, mLines);
    return result;
}

void AppendJsonString(std::string& out, std::string_view s)
{
    static constexpr char Hex[] = "0123456789abcdef";
    out += '"';
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += Hex[c >> 4];
                out += Hex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

void AppendJsonNumber(std::string& out, double v)
{
    if (std::isnan(v))
        out += "\"nan\"";
    else if (std::isinf(v))
        out += v > 0 ? "\"inf\"" : "\"-inf\"";
    else
        out += FormatShortest(v);
}

}  // namespace

BatchParse ParseRowsArguments(std::string_view kRows, std::string_view mRows)
{
    return Assemble(SplitRows(kRows, false), SplitRows(mRows, false), {}, {});
}

BatchParse ParseProblemFile(std::string_view text)
{
    std::vector<std::string_view> rows[2];
    std::vector<int> lines[2];
    int section = -1;  // -1 before "K", 0 in K, 1 in M
    int lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (IsBlank(line) || line.front() == '#') continue;
        const auto first = line.find_first_not_of(" \t");
        const auto last = line.find_last_not_of(" \t");
        const std::string_view word = line.substr(first, last - first + 1);
        if (word == "K" || word == "M") {
            const int wanted = word == "K" ? 0 : 1;
            if (wanted != section + 1) {
                BatchParse bad;
                bad.error = "line " + std::to_string(lineNumber) + ": unexpected \"" + std::string(word) +
                            "\"; the file holds a line K, K's rows, a line M, M's rows";
                return bad;
            }
            section = wanted;
            continue;
        }
        if (section < 0) {
            BatchParse bad;
            bad.error = "line " + std::to_string(lineNumber) + ": rows before the line \"K\"";
            return bad;
        }
        rows[section].push_back(line);
        lines[section].push_back(lineNumber);
    }
    if (section < 1) {
        BatchParse bad;
        bad.error = section < 0 ? "no line \"K\" in the input" : "no line \"M\" in the input";
        return bad;
    }
    return Assemble(rows[0], rows[1], lines[0], lines[1]);
}

BatchRun RunBatch(const BatchProblem& problem, ProgramState& state)
{
    BatchRun run;
    run.n = problem.n;
    for (std::size_t i = 0; i < static_cast<std::size_t>(problem.n); ++i)
        for (std::size_t j = i; j < static_cast<std::size_t>(problem.n); ++j) {
            state.store.K[i + 1][j + 1] = problem.K[i][j];
            state.store.M[i + 1][j + 1] = problem.M[i][j];
        }
    MemoryGrid grid;
    grid.onCellChange = [&](int cell) { CellChanged(state.store, state.text, grid, cell); };
    grid.SetListSelection(id::DimensionList, problem.n - 2);
    grid.SetListSelection(id::ActionList, 0);
    run.mended = Calculate(state, grid, run.channel) == Outcome::Mended;
    return run;
}

std::string PlainOutput(const BatchRun& run)
{
    std::string out;
    for (const auto& message : run.channel.messages) out += message + "\n\n";
    return out;
}

std::string JsonOutput(const BatchRun& run)
{
    std::string out = "{\"n\": " + std::to_string(run.n) + ", \"messages\": [";
    for (std::size_t k = 0; k < run.channel.messages.size(); ++k) {
        if (k > 0) out += ", ";
        AppendJsonString(out, run.channel.messages[k]);
    }
    out += "], \"reports\": [";
    for (std::size_t k = 0; k < run.channel.reports.size(); ++k) {
        if (k > 0) out += ", ";
        out += '[';
        const auto& values = run.channel.reports[k].values;
        for (std::size_t v = 0; v < values.size(); ++v) {
            if (v > 0) out += ", ";
            out += '[';
            AppendJsonNumber(out, values[v].re);
            out += ", ";
            AppendJsonNumber(out, values[v].im);
            out += ']';
        }
        out += ']';
    }
    out += "], \"mended\": ";
    out += run.mended ? "true" : "false";
    out += "}\n";
    return out;
}

}  // namespace varno
