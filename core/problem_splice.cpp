#include "core/problem_splice.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/problem_lines.h"

namespace varno {
namespace {

// A problem's own lines are few; one of more than this is nothing a Save
// wrote or a person typed, and is not held to be rewritten.
constexpr std::size_t LongestLine = std::size_t{4} << 20;
constexpr std::size_t LargestProblem = std::size_t{16} << 20;

// The input read ahead by a buffer's worth.
class Ahead {
public:
    explicit Ahead(ByteSource& in) : in_(in) {}

    // Bytes at hand, reading more where none are; empty at the end.
    std::string_view Available()
    {
        if (pos_ == buffer_.size() && !ended_) {
            buffer_.resize(std::size_t{1} << 16);
            const std::ptrdiff_t got = in_.Read(buffer_.data(), buffer_.size());
            if (got < 0) error = in_.error;
            ended_ = got <= 0;
            buffer_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
            pos_ = 0;
        }
        return std::string_view(buffer_).substr(pos_);
    }
    void Consume(std::size_t bytes) { pos_ += bytes; }

    std::string error;

private:
    ByteSource& in_;
    std::string buffer_;
    std::size_t pos_ = 0;
    bool ended_ = false;
};

struct RawLine {
    std::string text;    // without its line end
    std::string_view ending;  // "\n", "\r\n", or "" for a last line without one
    LineKind kind = LineKind::Blank;
};

// The next line whole, or false at the end of the input, or for one too long.
bool NextLine(Ahead& ahead, RawLine& line, bool& tooLong)
{
    line = {};
    while (true) {
        const std::string_view bytes = ahead.Available();
        if (bytes.empty()) break;
        const std::size_t end = bytes.find('\n');
        const std::size_t take = end == std::string_view::npos ? bytes.size() : end + 1;
        if (line.text.size() + take > LongestLine) {
            tooLong = true;
            return false;
        }
        line.text.append(bytes.data(), take);
        ahead.Consume(take);
        if (end != std::string_view::npos) break;
    }
    if (line.text.empty()) return false;
    if (line.text.ends_with('\n')) {
        line.text.pop_back();
        line.ending = "\n";
        if (line.text.ends_with('\r')) {
            line.text.pop_back();
            line.ending = "\r\n";
        }
    }
    line.kind = ClassifyLine(line.text);
    return true;
}

bool SameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// No directions at all are every degree of freedom in x.
bool SameDirections(const std::vector<Direction>& a, const std::vector<Direction>& b)
{
    const auto allX = [](const std::vector<Direction>& d) {
        return std::all_of(d.begin(), d.end(), [](Direction x) { return x == Direction::X; });
    };
    return a == b || (allX(a) && allX(b) && (a.empty() || b.empty()));
}

}  // namespace

std::string SpliceProblem(ByteSource& in, const FileProblem& read, const Matrix10& K, const Matrix10& M, int n,
                          const std::vector<Direction>& directions, const std::function<bool(std::string_view)>& put)
{
    constexpr std::string_view Moved = "the problem is no longer where it was read";
    Ahead ahead(in);
    // Everything before the problem, as it is.
    for (std::uint64_t left = read.offset; left > 0;) {
        const std::string_view bytes = ahead.Available();
        if (bytes.empty()) return ahead.error.empty() ? std::string(Moved) : ahead.error;
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(left, bytes.size()));
        if (!put(bytes.substr(0, take))) return {};
        ahead.Consume(take);
        left -= take;
    }
    // The problem's lines, up to its last row of M, checked to be the very
    // problem read.
    std::vector<RawLine> lines;
    ProblemLines seen;
    std::string seenText;
    std::size_t bytes = 0;
    std::int64_t number = read.line;
    bool tooLong = false;
    for (RawLine line; !(seen.section == 1 && seen.count[1] == static_cast<std::size_t>(read.n));) {
        if (!NextLine(ahead, line, tooLong)) {
            if (!ahead.error.empty()) return ahead.error;
            return tooLong ? "a line of the problem is too long to rewrite in place" : std::string(Moved);
        }
        bytes += line.text.size();
        if (bytes > LargestProblem || line.text.size() > MaxProblemBytes)
            return "the problem's lines are too long to rewrite in place";
        if (lines.empty() && line.kind != LineKind::K) return std::string(Moved);
        seen.Add(line.kind, line.text, number++, seenText);
        if (!seen.reason.empty()) return std::string(Moved);
        lines.push_back(std::move(line));
    }
    // Blank lines and comments after it still belong to it for its
    // directions line, which may stand there; the line that ends them is
    // written as it is.
    const std::size_t body = lines.size();
    std::optional<RawLine> next;
    for (RawLine line; NextLine(ahead, line, tooLong);) {
        if (line.kind != LineKind::Blank && line.kind != LineKind::Comment) {
            next = std::move(line);
            break;
        }
        bytes += line.text.size();
        if (bytes > LargestProblem || line.text.size() > MaxProblemBytes)
            return "the problem's lines are too long to rewrite in place";
        seen.Add(line.kind, line.text, number++, seenText);
        if (!seen.reason.empty()) return std::string(Moved);
        lines.push_back(std::move(line));
    }
    if (tooLong) return "a line after the problem is too long to rewrite in place";
    if (!ahead.error.empty()) return ahead.error;
    std::array<UpperTexts, 2> texts{};
    std::int64_t faultLine = 0;
    if (!seen.Check(seenText, texts, faultLine).empty() || seen.count[0] != static_cast<std::size_t>(read.n) ||
        seen.directions != read.directions)
        return std::string(Moved);
    std::size_t k = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(read.n); ++i)
        for (std::size_t j = i; j < static_cast<std::size_t>(read.n); ++j, ++k)
            if (texts[0][i][j] != read.kTexts[k] || texts[1][i][j] != read.mTexts[k]) return std::string(Moved);

    // The directions, where they changed: in place of the line that gave
    // them, or a line of their own after the last row of M.
    const bool redirected = !SameDirections(read.directions, directions);
    const std::string directionsLine = std::string(DirectionsPrefix) + " " + DirectionsText(directions);
    bool placed = !redirected || seen.directionsLine != 0;

    // The rows anew. A line end as the file has them, for rows added.
    const std::string_view style = lines.front().ending.empty() ? "\n" : lines.front().ending;
    const auto rowText = [&](int matrix, int row) {
        const Matrix10& now = matrix == 0 ? K : M;
        const Matrix10& was = matrix == 0 ? read.K : read.M;
        bool kept = n == read.n;
        for (int j = row; j <= n && kept; ++j)
            kept = SameBits(now[static_cast<std::size_t>(row)][static_cast<std::size_t>(j)],
                            was[static_cast<std::size_t>(row)][static_cast<std::size_t>(j)]);
        return kept ? std::string() : UpperRowText(now, row, n);
    };
    std::array<int, 2> row{};  // rows of each matrix passed so far
    int matrix = -1;
    for (std::size_t l = 0; l < lines.size(); ++l) {
        const RawLine& line = lines[l];
        if (line.kind == LineKind::K || line.kind == LineKind::M) matrix = line.kind == LineKind::K ? 0 : 1;
        if (line.kind != LineKind::Row) {
            const bool replaced = redirected && line.kind == LineKind::Comment && IsDirectionsLine(line.text);
            if (!put(replaced ? std::string_view(directionsLine) : std::string_view(line.text)) || !put(line.ending))
                return {};
            continue;
        }
        const int r = ++row[static_cast<std::size_t>(matrix)];  // 1-based
        const bool last = r == read.n;
        // A line of their own for the directions after the last row of M.
        const bool own = last && matrix == 1 && !placed && l + 1 == body;
        // The last row's line end, which may be none at all, goes after the
        // last line written.
        const std::string_view ending = last && (n > read.n || own) ? style : line.ending;
        if (r <= n) {
            const std::string text = rowText(matrix, r);
            if (!put(text.empty() ? std::string_view(line.text) : std::string_view(text)) || !put(ending)) return {};
        }
        if (last)
            for (int added = read.n + 1; added <= n; ++added)
                if (!put(rowText(matrix, added)) || !put(added == n && !own ? line.ending : style)) return {};
        if (own) {
            if (!put(directionsLine) || !put(line.ending)) return {};
            placed = true;
        }
    }
    if (next && (!put(next->text) || !put(next->ending))) return {};
    // And everything after it, as it is.
    for (std::string_view rest = ahead.Available(); !rest.empty(); rest = ahead.Available()) {
        if (!put(rest)) return {};
        ahead.Consume(rest.size());
    }
    return ahead.error;
}

}  // namespace varno
