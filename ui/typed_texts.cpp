#include "ui/typed_texts.h"

#include <bit>
#include <cstdint>

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

}  // namespace varno::ui
