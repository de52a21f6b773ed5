#include "ui/model_text.h"

#include <algorithm>

#include "core/matrix_rows.h"
#include "core/message_text.h"
#include "core/number_text.h"

namespace varno::ui {
namespace {

constexpr std::string_view Separators = " \t,\r";

std::vector<std::string_view> Entries(std::string_view row)
{
    std::vector<std::string_view> out;
    for (std::size_t i = row.find_first_not_of(Separators); i != std::string_view::npos;
         i = row.find_first_not_of(Separators, i)) {
        const std::size_t end = std::min(row.find_first_of(Separators, i), row.size());
        out.push_back(row.substr(i, end - i));
        i = end;
    }
    return out;
}

std::string Count(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string ModelSizeLine(int n, std::string_view kName, std::string_view mName, std::string_view dofName)
{
    std::string line = std::to_string(n) + " degrees of freedom, from " + std::string(kName) + " and " + std::string(mName);
    if (!dofName.empty()) line += ", their names from " + std::string(dofName);
    return line;
}

PastedMatrix ReadMatrixRows(std::string_view text, int n, char name)
{
    PastedMatrix out;
    const std::vector<std::string_view> rows = SplitRows(text, true);
    const auto order = static_cast<std::size_t>(n);
    if (rows.size() != order) {
        out.error = "The clipboard holds " + Count(rows.size(), "row", "rows") + ", and " + name + " has " +
                    std::to_string(n) + ": paste a whole matrix, a row a line.";
        return out;
    }
    // Counted before anything is allocated for them.
    std::vector<std::vector<std::string_view>> entries(order);
    for (std::size_t i = 0; i < order; ++i) {
        entries[i] = Entries(rows[i]);
        const std::size_t count = entries[i].size();
        if (count != order && count != order - i) {
            out.error = "Row " + std::to_string(i + 1) + " of the clipboard has " + Count(count, "entry", "entries") +
                        "; a row of " + name + " has " + std::to_string(order) +
                        (i > 0 ? ", or " + std::to_string(order - i) + " from the diagonal on." : std::string("."));
            return out;
        }
    }
    out.upper = DenseMatrix(n);
    for (std::size_t i = 0; i < order; ++i) {
        const std::size_t skip = entries[i].size() == order ? 0 : i;
        for (std::size_t k = 0; k < entries[i].size(); ++k) {
            const std::size_t j = k + skip;
            if (j < i) continue;
            const std::string_view entry = entries[i][k];
            out.upper(static_cast<int>(i), static_cast<int>(j)) = ParseCellText(entry);
            if (!CellTextNote(entry).empty()) out.misread.push_back({static_cast<int>(i), static_cast<int>(j), std::string(entry)});
        }
    }
    return out;
}

bool IsSingleEntry(std::string_view text)
{
    const std::vector<std::string_view> rows = SplitRows(text, true);
    return rows.size() == 1 && Entries(rows.front()).size() == 1;
}

std::vector<Direction> DirectionsOfLabels(const std::vector<std::string>& labels, int n)
{
    std::vector<Direction> out(static_cast<std::size_t>(n), Direction::X);
    if (labels.size() != out.size()) return out;
    constexpr Direction ByDigit[] = {Direction::X, Direction::Y, Direction::Z, Direction::RX, Direction::RY, Direction::RZ};
    for (std::size_t k = 0; k < out.size(); ++k) {
        const std::string_view label = labels[k];
        if (const std::optional<Direction> named = DirectionOfLabel(label)) {
            out[k] = *named;
            continue;
        }
        const std::size_t dot = label.rfind('.');
        if (dot == std::string_view::npos || dot == 0 || dot + 2 != label.size()) continue;
        const char digit = label[dot + 1];
        const bool node = std::all_of(label.begin(), label.begin() + static_cast<std::ptrdiff_t>(dot),
                                      [](char c) { return c >= '0' && c <= '9'; });
        if (node && digit >= '1' && digit <= '6') out[k] = ByDigit[digit - '1'];
    }
    return out;
}

std::string MisreadSummary(const std::vector<TypedTexts::Misread>& named, std::size_t total)
{
    if (total == 0) return {};
    std::string line = Count(total, "cell is", "cells are") + " not read as typed: ";
    for (std::size_t k = 0; k < named.size(); ++k) {
        const TypedTexts::Misread& m = named[k];
        if (k > 0) line += "; ";
        line += std::string(m.which == Which::K ? "K(" : "M(") + std::to_string(m.i) + "," + std::to_string(m.j) + ") " +
                Quoted(m.text) + " is read as " + FormatShortest(m.value);
    }
    if (total > named.size()) line += "; and " + std::to_string(total - named.size()) + " more";
    return line + ".";
}

}  // namespace varno::ui
