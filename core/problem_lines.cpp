#include "core/problem_lines.h"

#include <algorithm>
#include <span>

#include "core/message_text.h"
#include "core/number_text.h"

namespace varno {
namespace {

std::string OrdersAllowed()
{
    std::string text = "2";
    for (int k = 3; k <= MaxOrder; ++k) (text += k < MaxOrder ? ", " : " or ") += std::to_string(k);
    return text;
}

// Row texts of matrix m as kept, for ReadUpperRows.
std::size_t RowViews(const ProblemLines& lines, std::size_t m, std::string_view text,
                     std::array<std::string_view, ProblemLines::Kept>& views)
{
    const std::size_t kept = std::min(lines.count[m], ProblemLines::Kept);
    for (std::size_t r = 0; r < kept; ++r) views[r] = text.substr(lines.rows[m][r].offset, lines.rows[m][r].size);
    return kept;
}

}  // namespace

LineKind ClassifyLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return LineKind::Blank;
    const char c = line.front();
    if ((c >= '0' && c <= '9') || c == '-' || c == '.' || c == '+') return LineKind::Row;  // the common case, at once
    if (IsBlank(line)) return LineKind::Blank;
    if (c == '#') return LineKind::Comment;
    const auto first = line.find_first_not_of(" \t");
    const std::string_view word = line.substr(first, line.find_last_not_of(" \t") - first + 1);
    return word == "K" ? LineKind::K : word == "M" ? LineKind::M : LineKind::Row;
}

bool MayStartProblems(std::string_view prefix)
{
    if (prefix.starts_with('#') || IsBlank(prefix)) return true;
    const std::size_t k = prefix.find_first_not_of(" \t");
    if (prefix[k] != 'K' && prefix[k] != 'M') return false;
    // After the letter only blanks, and a CR that ends the line.
    const std::size_t other = prefix.find_first_not_of(" \t", k + 1);
    return other == std::string_view::npos || (other + 1 == prefix.size() && prefix[other] == '\r');
}

std::string RowCount(std::size_t rows) { return std::to_string(rows) + (rows == 1 ? " row" : " rows"); }

void ProblemLines::Fault(std::string why, std::int64_t number)
{
    if (!reason.empty()) return;  // the first one stands
    reason = std::move(why);
    errorLine = number;
}

void ProblemLines::Add(LineKind kind, std::string_view line, std::int64_t number, std::string& text)
{
    switch (kind) {
    case LineKind::Blank: return;
    case LineKind::Comment: {
        // Before its "K" a directions line belongs to no problem: a comment.
        if (section < 0 || !IsDirectionsLine(line)) return;
        if (directionsLine != 0) {
            Fault("a second directions line; the first is on line " + std::to_string(directionsLine), number);
            return;
        }
        directionsLine = number;
        std::string_view words = line.substr(DirectionsPrefix.size());
        if (words.ends_with('\r')) words.remove_suffix(1);
        const std::size_t first = words.find_first_not_of(" \t");
        words = first == std::string_view::npos ? std::string_view() : words.substr(first, words.find_last_not_of(" \t") - first + 1);
        if (std::string why = ParseDirections(words, directions); !why.empty()) Fault("directions: " + why, number);
        return;
    }
    case LineKind::K:
    case LineKind::M: {
        any = true;
        const int wanted = kind == LineKind::K ? 0 : 1;
        if (wanted != section + 1) {
            Fault(std::string("unexpected \"") + (wanted == 0 ? 'K' : 'M') +
                      "\"; the file holds a line K, K's rows, a line M, M's rows",
                  number);
            return;
        }
        section = wanted;
        (wanted == 0 ? kLine : mLine) = number;
        return;
    }
    case LineKind::Row: break;
    }
    any = true;
    if (section < 0) {
        Fault("rows before the line \"K\"", number);
        return;
    }
    const auto s = static_cast<std::size_t>(section);
    const std::size_t index = count[s]++;
    if (index >= static_cast<std::size_t>(std::max(cap, MaxOrder)) || !reason.empty()) return;  // only counted
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // A small problem's rows stay small; only rows beyond the grid's may hold more.
    const bool large = count[0] > Kept;
    if (bytes + line.size() > (large ? MaxDynamicProblemBytes : MaxProblemBytes)) {
        Fault(large ? "the rows of this problem hold more than 512 MiB" : "the rows of this problem hold more than 1 MiB",
              number);
        return;
    }
    if (index < Kept)
        rows[s][index] = {text.size(), line.size(), number};
    else
        more[s].push_back({text.size(), line.size(), number});
    text.append(line);
    bytes += line.size();
}

void ProblemLines::ShiftOffsets(std::size_t by)
{
    for (std::size_t m = 0; m < 2; ++m) {
        for (Row& row : rows[m]) row.offset += by;
        for (Row& row : more[m]) row.offset += by;
    }
}

void ProblemLines::AddOversizeRow(std::int64_t number)
{
    any = true;
    if (section < 0) {
        Fault("rows before the line \"K\"", number);
        return;
    }
    ++count[static_cast<std::size_t>(section)];
    Fault("the rows of this problem hold more than 1 MiB", number);
}

std::string ProblemLines::Check(std::string_view text, std::array<UpperTexts, 2>& texts, std::int64_t& line) const
{
    line = 0;
    if (!reason.empty()) {
        line = errorLine;
        return reason;
    }
    if (section < 0) return "no line \"K\" in the input";
    if (count[0] == 0) {
        line = kLine;
        return "K has no rows";
    }
    if (section < 1) return "no line \"M\" in the input";
    std::array<std::array<std::string_view, Kept>, 2> views;
    const std::array<std::size_t, 2> kept{RowViews(*this, 0, text, views[0]), RowViews(*this, 1, text, views[1])};
    // Rows typed as after -k, in one line, are the likeliest reason for a
    // count that is off.
    const auto hint = [&](std::size_t m) {
        for (std::size_t r = 0; r < kept[m]; ++r)
            if (views[m][r].find(';') != std::string_view::npos)
                return std::string("; \";\" does not separate rows in a file, where each row has a line of its own");
        return std::string();
    };
    const auto order = [](std::size_t r) { return r >= 2 && r <= Kept; };
    if (count[0] > Kept && cap > MaxOrder)
        return "K has " + RowCount(count[0]) + "; n must be 2 to " + std::to_string(cap) + hint(0);
    if (!order(count[0])) return "K has " + RowCount(count[0]) + "; n must be " + OrdersAllowed() + hint(0);
    const auto n = static_cast<int>(count[0]);
    const auto rowFault = [&](std::size_t m) {
        std::size_t failed = 0;
        const std::size_t checked = std::min(kept[m], count[0]);
        std::string why = ReadUpperRows(std::span(views[m].data(), checked), m == 0 ? 'K' : 'M', n, texts[m], &failed);
        if (!why.empty()) {
            line = rows[m][failed].line;
            why += hint(m);
        }
        return why;
    };
    if (std::string why = rowFault(0); !why.empty()) return why;
    if (count[1] < 2 && count[1] < count[0]) {
        // A row of M at fault was certain before the missing ones were.
        if (std::string why = rowFault(1); !why.empty()) return why;
        line = count[1] > 0 ? rows[1][count[1] - 1].line : mLine;
        const std::size_t missing = count[0] - count[1];
        return "M has " + RowCount(count[1]) + "; n is " + std::to_string(count[0]) + ", so " +
               (missing == 1 ? std::string("a row of M is") : std::to_string(missing) + " rows of M are") +
               " missing" + hint(1);
    }
    if (!order(count[1])) return "M has " + RowCount(count[1]) + "; n must be " + OrdersAllowed() + hint(1);
    if (count[0] != count[1]) return "K has " + RowCount(count[0]) + " but M has " + std::to_string(count[1]);
    if (std::string why = rowFault(1); !why.empty()) return why;
    if (!directions.empty() && directions.size() != count[0]) {
        line = directionsLine;
        return "the directions line gives " + std::to_string(directions.size()) +
               (directions.size() == 1 ? " label" : " labels") + " for n = " + std::to_string(count[0]);
    }
    return {};
}

bool ProblemLines::CertainlyMalformed(std::string_view text) const
{
    if (!reason.empty()) return true;
    if (section < 1) return false;
    if (Large()) return count[1] > count[0];  // its rows are read once whole
    if (count[0] < 2 || count[0] > Kept || count[1] > count[0]) return true;
    const auto n = static_cast<int>(count[0]);
    for (std::size_t m = 0; m < 2; ++m) {
        std::array<std::string_view, Kept> views;
        UpperTexts texts{};
        const std::size_t kept = std::min(RowViews(*this, m, text, views), count[0]);
        if (!ReadUpperRows(std::span(views.data(), kept), 'X', n, texts).empty()) return true;
    }
    return false;
}

}  // namespace varno

namespace varno {

std::string ProblemLines::Whole(std::string_view text, DenseMatrix& k, DenseMatrix& m, std::int64_t& line) const
{
    line = 0;
    if (!reason.empty()) {
        line = errorLine;
        return reason;
    }
    const std::size_t n = count[0];
    for (std::size_t w = 0; w < 2; ++w) {
        // K's own faults come before a count of M's rows that is off.
        if (w == 1 && count[1] != n) {
            line = count[1] > 0 && count[1] <= static_cast<std::size_t>(cap) ? RowAt(1, count[1] - 1).line : mLine;
            return "K has " + RowCount(n) + " but M has " + std::to_string(count[1]);
        }
        DenseMatrix& x = w == 0 ? k : m;
        const char name = w == 0 ? 'K' : 'M';
        x = DenseMatrix(static_cast<int>(n));
        for (std::size_t i = 0; i < n; ++i) {
            const Row& row = RowAt(w, i);
            const std::string_view t = text.substr(row.offset, row.size);
            std::size_t entries = 0;
            for (std::size_t at = 0;;) {
                at = t.find_first_not_of(" \t", at);
                if (at == std::string_view::npos) break;
                at = std::min(t.find_first_of(" \t", at), t.size());
                ++entries;
            }
            if (entries != n && entries != n - i) {
                line = row.line;
                return "row " + std::to_string(i + 1) + " of " + name + " has " + std::to_string(entries) +
                       (entries == 1 ? " entry" : " entries") + "; expected " +
                       (i > 0 ? std::to_string(n - i) + " or " : std::string()) + std::to_string(n);
            }
            std::size_t j = entries == n ? 0 : i;
            for (std::size_t at = 0;;) {
                at = t.find_first_not_of(" \t", at);
                if (at == std::string_view::npos) break;
                const std::size_t end = std::min(t.find_first_of(" \t", at), t.size());
                const std::string_view entry = t.substr(at, end - at);
                // Larger models come from programs, not hands: an entry not
                // read whole is a fault, never half-read.
                if (NumberPrefixLength(entry) != entry.size()) {
                    line = row.line;
                    return std::string(1, name) + " row " + std::to_string(i + 1) + ", column " + std::to_string(j + 1) +
                           ": " + Quoted(entry) + " is not a number";
                }
                if (j >= i) x(static_cast<int>(i), static_cast<int>(j)) = ParseCellText(entry);
                ++j;
                at = end;
            }
        }
        MirrorUpper(x);
    }
    if (!directions.empty() && directions.size() != n) {
        line = directionsLine;
        return "the directions line gives " + std::to_string(directions.size()) +
               (directions.size() == 1 ? " label" : " labels") + " for n = " + std::to_string(n);
    }
    return {};
}

}  // namespace varno
