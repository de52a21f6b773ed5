#include "ui/dynamic_modes_table.h"

#include <QBrush>
#include <QFont>

namespace varno::ui {

void DynamicModesTable::Show(std::shared_ptr<const DynamicModesView> view)
{
    beginResetModel();
    view_ = std::move(view);
    header_ = view_ ? DynamicModesHeader(*view_) : std::vector<std::string>{};
    endResetModel();
}

void DynamicModesTable::SetHighlight(QColor tint)
{
    tint_ = tint;
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::BackgroundRole});
}

int DynamicModesTable::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !view_ ? 0 : view_->result.n;
}

int DynamicModesTable::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !view_ ? 0 : DynamicColumnCount(*view_);
}

std::optional<std::size_t> DynamicModesTable::ReachesNinety(const QModelIndex& index) const
{
    if (!view_ || !index.isValid()) return std::nullopt;
    for (std::size_t d = 0; d < view_->byDirection.size(); ++d)
        if (index.column() == DynamicCumulativeColumn(d) && index.row() + 1 == view_->byDirection[d].reaches90) return d;
    return std::nullopt;
}

QVariant DynamicModesTable::data(const QModelIndex& index, int role) const
{
    if (!view_ || !index.isValid()) return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(DynamicModesCell(*view_, index.row(), index.column(), NotDefinedText));
    case Qt::TextAlignmentRole: return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::FontRole:
        if (ReachesNinety(index)) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::BackgroundRole:
        return ReachesNinety(index) && tint_.isValid() ? QVariant(QBrush(tint_)) : QVariant();
    case Qt::ToolTipRole:
        if (const std::optional<std::size_t> d = ReachesNinety(index))
            return QStringLiteral("90 % of %1 reached at this mode")
                .arg(QString::fromStdString(std::string(DirectionLabel(view_->byDirection[*d].direction))));
        return {};
    default: return {};
    }
}

QVariant DynamicModesTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        static_cast<std::size_t>(section) >= header_.size())
        return {};
    return QString::fromStdString(header_[static_cast<std::size_t>(section)]);
}

}  // namespace varno::ui
