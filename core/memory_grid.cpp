#include "core/memory_grid.h"

#include <stdexcept>

namespace varno {

std::size_t MemoryGrid::Slot(int control)
{
    if (control < FirstControl || control >= FirstControl + ControlCount)
        throw std::out_of_range("no such control: " + std::to_string(control));
    return static_cast<std::size_t>(control - FirstControl);
}

std::string MemoryGrid::CellText(int cell) const { return texts_[Slot(cell)]; }

void MemoryGrid::SetCellText(int cell, std::string_view text)
{
    texts_[Slot(cell)] = std::string(text);
    if (onCellChange) onCellChange(cell);
}

void MemoryGrid::SetVisible(int control, bool visible) { visible_[Slot(control)] = visible; }

bool MemoryGrid::IsVisible(int control) const { return visible_[Slot(control)]; }

int MemoryGrid::ListSelection(int list) const
{
    return list == id::DimensionList ? dimensionRow_ : list == id::ActionList ? actionRow_ : -1;
}

void MemoryGrid::SelectActionRow(int row) { actionRow_ = row; }

void MemoryGrid::SetListSelection(int list, int row)
{
    if (list == id::DimensionList)
        dimensionRow_ = row;
    else if (list == id::ActionList)
        actionRow_ = row;
}

}  // namespace varno
