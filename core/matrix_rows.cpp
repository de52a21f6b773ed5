#include "core/matrix_rows.h"

#include <algorithm>

#include "core/number_text.h"

namespace varno {
namespace {

// The entries of row, split at blanks and tabs: how many there are, and the
// first of them in first (a row of interest has at most MaxOrder).
std::size_t SplitEntries(std::string_view row, std::array<std::string_view, MaxOrder>& first)
{
    // Entries end at the next blank, which memchr finds far faster than a
    // loop over the characters; only a row with tabs needs both searches.
    const bool tabs = row.find('\t') != std::string_view::npos;
    std::size_t count = 0;
    std::size_t i = 0;
    while (true) {
        while (i < row.size() && (row[i] == ' ' || row[i] == '\t')) ++i;
        if (i == row.size()) break;
        const std::size_t end = std::min(tabs ? row.find_first_of(" \t", i) : row.find(' ', i), row.size());
        if (count < first.size()) first[count] = row.substr(i, end - i);
        ++count;
        i = end;
    }
    return count;
}

}  // namespace

bool IsBlank(std::string_view text) { return text.find_first_not_of(" \t\r") == std::string_view::npos; }

std::vector<std::string_view> SplitRows(std::string_view text, bool lineEnds)
{
    const std::string_view separators = lineEnds ? std::string_view(";\n\r") : std::string_view(";");
    std::vector<std::string_view> rows;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(separators, start), text.size());
        const std::string_view row = text.substr(start, end - start);
        if (!IsBlank(row)) rows.push_back(row);
        start = end + 1;
    }
    return rows;
}

std::string ReadUpperRows(std::span<const std::string_view> rows, char name, int n, UpperTexts& out,
                          std::size_t* failedRow)
{
    for (std::size_t r = 0; r < rows.size() && r < out.size(); ++r) {
        std::array<std::string_view, MaxOrder> entries;
        const std::size_t count = SplitEntries(rows[r], entries);
        const auto full = static_cast<std::size_t>(n);
        const std::size_t triangle = full - r;
        if (count != full && count != triangle) {
            std::string expected = std::to_string(triangle);
            if (triangle != full) expected += " or " + std::to_string(full);
            if (failedRow != nullptr) *failedRow = r;
            return "row " + std::to_string(r + 1) + " of " + name + " has " + std::to_string(count) +
                   (count == 1 ? " entry" : " entries") + "; expected " + expected;
        }
        const std::size_t skip = count == full ? r : 0;  // below the diagonal: ignored
        for (std::size_t c = r; c < full; ++c) out[r][c] = entries[skip + c - r];
    }
    return {};
}

std::optional<UpperTexts> ReadPastedMatrix(std::string_view text, int n)
{
    if (n < 2 || n > MaxOrder) return std::nullopt;
    const std::vector<std::string_view> rows = SplitRows(text, true);
    UpperTexts upper{};
    if (rows.size() != static_cast<std::size_t>(n) || !ReadUpperRows(rows, 'X', n, upper).empty())
        return std::nullopt;
    return upper;
}

std::string MatrixRowsText(const Matrix10& X, int n)
{
    std::string text;
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) {
            const double x = X[static_cast<std::size_t>(std::min(i, j))][static_cast<std::size_t>(std::max(i, j))];
            if (j > 1) text += '\t';
            text += ExactText(x);
        }
        text += '\n';
    }
    return text;
}

}  // namespace varno
