#include "ui/matrix_table_model.h"

#include <QBrush>
#include <algorithm>

#include "core/number_text.h"
#include "ui/cell_text.h"

namespace varno::ui {
namespace {

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

// Six digits tell values apart at a glance and keep the columns narrow; the
// tooltip and the editor hold the rest.
constexpr int ShortDigits = 6;

}  // namespace

MatrixTableModel::MatrixTableModel(Which which, DenseMatrix values, std::vector<std::string> labels, QObject* parent)
    : QAbstractTableModel(parent), which_(which), values_(std::move(values)), labels_(std::move(labels))
{
}

int MatrixTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : values_.n; }

int MatrixTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : values_.n; }

QString MatrixTableModel::NameOf(int section) const
{
    return labels_.empty() ? QString::number(section + 1) : FromStd(labels_[static_cast<std::size_t>(section)]);
}

QString MatrixTableModel::Shown(double value) const
{
    return FromStd(everyDigit_ ? ExactText(value) : FormatG(value, 0, ShortDigits));
}

QVariant MatrixTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) return {};
    const int i = std::min(index.row(), index.column()), j = std::max(index.row(), index.column());
    const double value = values_(i, j);
    const auto typed = upper(index) ? typed_.find(key(i, j)) : typed_.end();
    const bool marked = typed != typed_.end();
    switch (role) {
    case Qt::DisplayRole: return marked ? FromStd(typed->second) : Shown(value);
    case Qt::EditRole: return marked ? FromStd(typed->second) : FromStd(ExactText(value));
    case Qt::TextAlignmentRole: return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::BackgroundRole: return marked && mark_.isValid() ? QVariant(QBrush(mark_)) : QVariant();
    case Qt::ForegroundRole: return !upper(index) && mirrored_.isValid() ? QVariant(QBrush(mirrored_)) : QVariant();
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: {
        const QString matrix = which_ == Which::K ? QStringLiteral("K") : QStringLiteral("M");
        QString text = QStringLiteral("%1(%2,%3)").arg(matrix).arg(index.row() + 1).arg(index.column() + 1);
        if (!labels_.empty())
            text += i == j ? QStringLiteral(", degree of freedom %1").arg(NameOf(i))
                           : QStringLiteral(", degrees of freedom %1 and %2").arg(NameOf(index.row()), NameOf(index.column()));
        text += QStringLiteral(" = ") + FromStd(ExactText(value));
        if (marked) text += QStringLiteral("\ntyped \"%1\": %2").arg(FromStd(typed->second), FromStd(CellTextNote(typed->second)));
        if (!upper(index)) text += QStringLiteral("\nmirrors %1(%2,%3), where it is edited").arg(matrix).arg(i + 1).arg(j + 1);
        return role == Qt::ToolTipRole ? QVariant(PlainToolTip(text)) : QVariant(text);
    }
    default: return {};
    }
}

QVariant MatrixTableModel::headerData(int section, Qt::Orientation, int role) const
{
    if (role == Qt::DisplayRole) return NameOf(section);
    if (role == Qt::ToolTipRole && !labels_.empty())
        return PlainToolTip(QStringLiteral("Degree of freedom %1 (number %2)").arg(NameOf(section)).arg(section + 1));
    return {};
}

Qt::ItemFlags MatrixTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (upper(index) && !locked_) flags |= Qt::ItemIsEditable;
    return flags;
}

bool MatrixTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    const std::string text = value.toString().toStdString();
    const int i = index.row(), j = index.column();
    values_(i, j) = values_(j, i) = ParseCellText(text);
    if (CellTextNote(text).empty())
        typed_.erase(key(i, j));
    else
        typed_[key(i, j)] = text;
    emit dataChanged(index, index);
    const QModelIndex mirror = this->index(j, i);
    emit dataChanged(mirror, mirror);
    emit edited();
    return true;
}

void MatrixTableModel::SetEveryDigit(bool every)
{
    everyDigit_ = every;
    emit dataChanged(index(0, 0), index(values_.n - 1, values_.n - 1), {Qt::DisplayRole});
}

void MatrixTableModel::SetLocked(bool locked) { locked_ = locked; }

void MatrixTableModel::SetColours(QColor mark, QColor mirrored)
{
    mark_ = mark;
    mirrored_ = mirrored;
    emit dataChanged(index(0, 0), index(values_.n - 1, values_.n - 1), {Qt::BackgroundRole, Qt::ForegroundRole});
}

void MatrixTableModel::Replace(const PastedMatrix& pasted)
{
    values_ = pasted.upper;
    MirrorUpper(values_);
    typed_.clear();
    for (const PastedEntry& entry : pasted.misread) typed_[key(entry.i, entry.j)] = entry.text;
    emit dataChanged(index(0, 0), index(values_.n - 1, values_.n - 1));
    emit edited();
}

std::vector<TypedTexts::Misread> MatrixTableModel::Misreads(std::size_t most) const
{
    std::vector<std::pair<int, int>> places;
    places.reserve(typed_.size());
    const auto n = static_cast<std::size_t>(values_.n);
    for (const auto& [at, text] : typed_) places.emplace_back(static_cast<int>(at % n), static_cast<int>(at / n));
    const std::size_t named = std::min(most, places.size());
    std::partial_sort(places.begin(), places.begin() + static_cast<std::ptrdiff_t>(named), places.end());
    places.resize(named);
    std::vector<TypedTexts::Misread> out;
    for (const auto& [i, j] : places) out.push_back({which_, i + 1, j + 1, typed_.at(key(i, j)), values_(i, j)});
    return out;
}

}  // namespace varno::ui
