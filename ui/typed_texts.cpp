#include "ui/typed_texts.h"

#include <bit>
#include <cstdint>

#include "core/message_text.h"
#include "core/number_text.h"

namespace varno::ui {

void TypedTexts::Typed(Which which, int cell, const std::string& text)
{
    if (CellTextNote(text).empty())
        texts_.erase({which, cell});
    else
        texts_[{which, cell}] = text;
}

std::string TypedTexts::NoteFor(Which which, int cell, double value)
{
    const auto found = texts_.find({which, cell});
    if (found == texts_.end()) return {};
    if (std::bit_cast<std::uint64_t>(ParseCellText(found->second)) != std::bit_cast<std::uint64_t>(value)) {
        texts_.erase(found);
        return {};
    }
    // A pasted megabyte is named by its start.
    constexpr std::size_t Longest = 40;
    const std::string& text = found->second;
    const std::string shown = text.size() <= Longest ? text : text.substr(0, Longest) + "\u2026";
    return "typed \"" + shown + "\": " + CellTextNote(text);
}

std::vector<TypedTexts::Misread> TypedTexts::Misreads(const MatrixStore& store) const
{
    std::vector<Misread> out;
    for (const Which which : {Which::K, Which::M}) {
        const Matrix10& X = which == Which::K ? store.K : store.M;
        for (int i = 1; i <= store.Dimension; ++i)
            for (int j = i; j <= store.Dimension; ++j) {
                const auto found = texts_.find({which, CellAt(i, j)});
                if (found == texts_.end()) continue;
                const double value = X[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
                if (std::bit_cast<std::uint64_t>(ParseCellText(found->second)) != std::bit_cast<std::uint64_t>(value))
                    continue;
                out.push_back({which, i, j, found->second, value});
            }
    }
    return out;
}

std::string MisreadLine(const std::vector<TypedTexts::Misread>& misreads)
{
    if (misreads.empty()) return {};
    std::string line = std::to_string(misreads.size()) + (misreads.size() == 1 ? " cell is" : " cells are") +
                       " not read as typed: ";
    for (std::size_t k = 0; k < misreads.size(); ++k) {
        const TypedTexts::Misread& m = misreads[k];
        if (k > 0) line += "; ";
        line += std::string(m.which == Which::K ? "K(" : "M(") + std::to_string(m.i) + "," + std::to_string(m.j) + ") " +
                Quoted(m.text) + " is read as " + FormatShortest(m.value);
    }
    return line + ".";
}

}  // namespace varno::ui
