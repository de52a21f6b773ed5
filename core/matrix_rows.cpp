#include "core/matrix_rows.h"

#include <algorithm>

#include "core/number_text.h"

namespace varno {
namespace {

std::vector<std::string_view> SplitEntries(std::string_view row)
{
    std::vector<std::string_view> entries;
    std::size_t i = 0;
    while (i < row.size()) {
        while (i < row.size() && (row[i] == ' ' || row[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < row.size() && row[i] != ' ' && row[i] != '\t') ++i;
        if (i > start) entries.push_back(row.substr(start, i - start));
    }
    return entries;
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

std::string ReadUpperRows(const std::vector<std::string_view>& rows, char name, int n, UpperTexts& out,
                          const std::vector<int>& lines)
{
    const auto where = [&](std::size_t r) {
        std::string w = "row " + std::to_string(r + 1) + " of " + name;
        if (!lines.empty()) w = "line " + std::to_string(lines[r]) + ": " + w;
        return w;
    };
    for (std::size_t r = 0; r < rows.size() && r < out.size(); ++r) {
        const auto entries = SplitEntries(rows[r]);
        const auto full = static_cast<std::size_t>(n);
        const std::size_t triangle = full - r;
        if (entries.size() != full && entries.size() != triangle) {
            std::string expected = std::to_string(triangle);
            if (triangle != full) expected += " or " + std::to_string(full);
            return where(r) + " has " + std::to_string(entries.size()) + " entries; expected " + expected;
        }
        const std::size_t skip = entries.size() == full ? r : 0;  // below the diagonal: ignored
        for (std::size_t c = r; c < full; ++c) out[r][c] = entries[skip + c - r];
    }
    return {};
}

std::optional<UpperTexts> ReadPastedMatrix(std::string_view text, int n)
{
    if (n < 2 || n > 4) return std::nullopt;
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
