#include "cli/batch.h"

#include <cmath>
#include <istream>
#include <ostream>
#include <span>
#include <vector>

#include "core/calculate.h"
#include "core/matrix_rows.h"
#include "core/matrix_store.h"
#include "core/number_text.h"

namespace varno {
namespace {

constexpr int MaxDimension = 4;

// The rows of one matrix as read: the first few kept, all counted (more than
// four is an error that only needs the count).
struct RowList {
    std::array<std::string_view, MaxDimension> rows{};
    std::array<int, MaxDimension> lines{};
    std::size_t count = 0;
    void Add(std::string_view row, int line)
    {
        if (count < rows.size()) rows[count] = row, lines[count] = line;
        ++count;
    }
};

// Reads one matrix into out, or says in result what is wrong, with the line
// of the row at fault where the rows came with lines.
bool FillMatrix(const RowList& list, char name, int n, std::array<std::array<double, 4>, 4>& out, bool withLines,
                BatchParse& result)
{
    UpperTexts texts{};
    std::size_t failedRow = 0;
    result.reason = ReadUpperRows(std::span(list.rows.data(), list.count), name, n, texts, &failedRow);
    if (!result.ok()) {
        if (withLines) result.errorLine = list.lines[failedRow];
        return false;
    }
    for (std::size_t r = 0; r < static_cast<std::size_t>(n); ++r)
        for (std::size_t c = r; c < static_cast<std::size_t>(n); ++c) out[r][c] = ParseCellText(texts[r][c]);
    return true;
}

std::string CountError(char name, std::size_t rows)
{
    return std::string(1, name) + " has " + std::to_string(rows) + " rows; n must be 2, 3 or 4";
}

BatchParse Assemble(const RowList& kRows, const RowList& mRows, bool withLines)
{
    BatchParse result;
    for (const auto& [rows, name] : {std::pair{&kRows, 'K'}, std::pair{&mRows, 'M'}}) {
        if (rows->count < 2 || rows->count > MaxDimension) {
            result.reason = CountError(name, rows->count);
            return result;
        }
    }
    if (kRows.count != mRows.count) {
        result.reason = "K has " + std::to_string(kRows.count) + " rows but M has " + std::to_string(mRows.count);
        return result;
    }
    result.problem.n = static_cast<int>(kRows.count);
    if (FillMatrix(kRows, 'K', result.problem.n, result.problem.K, withLines, result))
        FillMatrix(mRows, 'M', result.problem.n, result.problem.M, withLines, result);
    return result;
}

void AppendJsonString(std::string& out, std::string_view s)
{
    static constexpr char Hex[] = "0123456789abcdef";
    out += '"';
    std::size_t plain = 0;  // start of the run of characters that need no escape
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.append(s, plain, i - plain);
        plain = i + 1;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            out += "\\u00";
            out += Hex[c >> 4];
            out += Hex[c & 15];
        }
    }
    out.append(s, plain, s.size() - plain);
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
    RowList lists[2];
    for (int m = 0; m < 2; ++m)
        for (const std::string_view row : SplitRows(m == 0 ? kRows : mRows, false)) lists[m].Add(row, 0);
    return Assemble(lists[0], lists[1], false);
}

std::string BatchParse::Message() const
{
    return errorLine == 0 ? reason : "line " + std::to_string(errorLine) + ": " + reason;
}

BatchParse ParseProblemFile(std::string_view text, int firstLine)
{
    RowList rows[2];
    int section = -1;  // -1 before "K", 0 in K, 1 in M
    int lineNumber = firstLine - 1;
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
                bad.errorLine = lineNumber;
                bad.reason = "unexpected \"" + std::string(word) +
                             "\"; the file holds a line K, K's rows, a line M, M's rows";
                return bad;
            }
            section = wanted;
            continue;
        }
        if (section < 0) {
            BatchParse bad;
            bad.errorLine = lineNumber;
            bad.reason = "rows before the line \"K\"";
            return bad;
        }
        rows[section].Add(line, lineNumber);
    }
    if (section < 1) {
        BatchParse bad;
        bad.reason = section < 0 ? "no line \"K\" in the input" : "no line \"M\" in the input";
        return bad;
    }
    return Assemble(rows[0], rows[1], true);
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

std::string JsonOutput(const BatchRun& run, int line)
{
    std::string out = "{";
    if (line > 0) out += "\"line\": " + std::to_string(line) + ", ";
    out += "\"n\": " + std::to_string(run.n) + ", \"messages\": [";
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

namespace {

// The word a FILE line stands for once trimmed, as ParseProblemFile reads it.
std::string_view Word(std::string_view line)
{
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

// One problem of a stream, answered but perhaps not yet written.
struct Answered {
    int kLine = 0;
    BatchParse parse;
    BatchRun run;
};

class ProblemStream {
public:
    ProblemStream(std::ostream& out, std::ostream& err, bool json) : out_(out), err_(err), json_(json) {}

    void Finish(std::string_view block, int firstLine, int kLine)
    {
        Answered answered;
        answered.kLine = kLine;
        answered.parse = ParseProblemFile(block, firstLine);
        if (answered.parse.ok()) {
            ProgramState state;
            answered.run = RunBatch(answered.parse.problem, state);
        }
        ++count_;
        // Whether the first answer needs a header is known only at the second.
        if (count_ == 1) {
            first_ = std::move(answered);
            return;
        }
        if (count_ == 2) Write(first_, 1);
        Write(answered, count_);
    }

    int End()
    {
        if (count_ == 1) {  // one problem: exactly as ever
            if (!first_.parse.ok()) {
                err_ << "varno-cli: " << first_.parse.Message() << '\n';
                return 2;
            }
            out_ << (json_ ? JsonOutput(first_.run) : PlainOutput(first_.run));
            return ExitStatusOf(first_.run);
        }
        return malformed_ ? 2 : withoutReport_ ? 1 : 0;
    }

private:
    void Write(const Answered& a, int number)
    {
        if (!a.parse.ok()) {
            malformed_ = true;
            const int line = a.parse.errorLine != 0 ? a.parse.errorLine : a.kLine;
            err_ << "varno-cli: line " << line << ": " << a.parse.reason << '\n';
            if (json_) {
                std::string text = "{\"line\": " + std::to_string(a.kLine) + ", \"error\": ";
                AppendJsonString(text, a.parse.reason);
                out_ << text << "}\n";
            } else {
                out_ << "# problem " << number << " (line " << a.kLine << ")\n" << a.parse.reason << "\n\n";
            }
            return;
        }
        withoutReport_ = withoutReport_ || ExitStatusOf(a.run) != 0;
        if (json_)
            out_ << JsonOutput(a.run, a.kLine);
        else
            out_ << "# problem " << number << " (line " << a.kLine << ")\n" << PlainOutput(a.run);
    }

    std::ostream& out_;
    std::ostream& err_;
    bool json_;
    int count_ = 0;
    Answered first_;
    bool malformed_ = false;
    bool withoutReport_ = false;
};

}  // namespace

int RunProblemStream(std::istream& in, std::ostream& out, std::ostream& err, bool json)
{
    // The input is read in large chunks into buffer, which holds the problem
    // being read (from its first line) and the start of the lines after it:
    // one problem and one chunk at most, however long the stream.
    constexpr std::size_t Chunk = 1 << 16;
    ProblemStream stream(out, err, json);
    std::string buffer;
    std::size_t problemStart = 0;  // in buffer
    std::size_t scanned = 0;       // in buffer: the lines before it are looked at
    int lineNumber = 0;            // of the last line looked at
    int firstLine = 1;             // of the problem being read
    int kLine = 0;                 // its line "K"; 0 before the first
    bool more = true;
    while (more) {
        const std::size_t size = buffer.size();
        buffer.resize(size + Chunk);
        const auto got = static_cast<std::size_t>(in.rdbuf()->sgetn(buffer.data() + size, Chunk));
        buffer.resize(size + got);
        more = got == Chunk;
        if (!more && !buffer.empty() && buffer.back() != '\n') buffer += '\n';  // the last line, unterminated
        for (std::size_t end; (end = buffer.find('\n', scanned)) != std::string::npos; scanned = end + 1) {
            ++lineNumber;
            if (Word(std::string_view(buffer).substr(scanned, end - scanned)) != "K") continue;
            if (kLine != 0) {  // a new problem begins; anything before the first K stays with it
                stream.Finish(std::string_view(buffer).substr(problemStart, scanned - problemStart), firstLine,
                              kLine);
                problemStart = scanned;
                firstLine = lineNumber;
            }
            kLine = lineNumber;
        }
        buffer.erase(0, problemStart);  // keep the problem being read and the unscanned rest
        scanned -= problemStart;
        problemStart = 0;
    }
    stream.Finish(buffer, firstLine, kLine);
    return stream.End();
}

}  // namespace varno
