// The modes of a model too large for the grid as a table, a row a mode,
// computed cell by cell as the view asks (thousands of modes). Each
// direction's first mode to reach 90 % of its mass is highlighted in its
// cumulative column: bold, tinted, and said so in its tooltip.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <memory>
#include <optional>

#include "ui/dynamic_modes_text.h"

namespace varno::ui {

class DynamicModesTable final : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    // Shared with the window that calculated it: a model's vectors are large.
    void Show(std::shared_ptr<const DynamicModesView> view);
    const std::shared_ptr<const DynamicModesView>& view() const { return view_; }
    void SetHighlight(QColor tint);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The direction (index into byDirection) whose first mode to reach 90 %
    // is at index; none elsewhere.
    std::optional<std::size_t> ReachesNinety(const QModelIndex& index) const;

private:
    std::shared_ptr<const DynamicModesView> view_;
    std::vector<std::string> header_;
    QColor tint_;
};

}  // namespace varno::ui
