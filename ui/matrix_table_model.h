// One matrix of a model too large for the grid, as a table: the upper
// triangle editable, the lower one mirroring it, read-only. Each cell shows
// its value shortened (six digits), or every digit where asked; its tooltip
// gives it whole. A text not read as it looks ("1,5" read as 1) is shown as
// typed and marked, as the grid marks it, until the cell reads whole.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/dense_matrix.h"
#include "core/matrix_store.h"
#include "ui/model_text.h"
#include "ui/typed_texts.h"

namespace varno::ui {

class MatrixTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    // values whole and symmetric; labels, n of them, name the rows and
    // columns; none: they are numbered from 1.
    MatrixTableModel(Which which, DenseMatrix values, std::vector<std::string> labels, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A text into an upper cell, read as a grid cell reads it; the mirror follows.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Whole and symmetric, as edited.
    const DenseMatrix& values() const { return values_; }
    Which which() const { return which_; }
    // The name a row or column goes by: its label, else its number.
    QString NameOf(int section) const;

    // Every digit of each value in its cell, or six.
    void SetEveryDigit(bool every);
    bool everyDigit() const { return everyDigit_; }
    // No edits while a calculation of the matrices runs.
    void SetLocked(bool locked);
    // The background of a marked cell and the text of a mirrored one.
    void SetColours(QColor mark, QColor mirrored);

    // A whole matrix of this order in place of this one.
    void Replace(const PastedMatrix& pasted);

    // The cells not read as typed, row by row: the first most of them, and
    // how many there are in all.
    std::vector<TypedTexts::Misread> Misreads(std::size_t most) const;
    std::size_t misreadCount() const { return typed_.size(); }

signals:
    // A value was typed or pasted.
    void edited();

private:
    bool upper(const QModelIndex& index) const { return index.row() <= index.column(); }
    std::size_t key(int i, int j) const { return values_.Index(i, j); }
    QString Shown(double value) const;

    Which which_;
    DenseMatrix values_;
    std::vector<std::string> labels_;
    std::unordered_map<std::size_t, std::string> typed_;  // upper cells' texts not read whole
    bool everyDigit_ = false;
    bool locked_ = false;
    QColor mark_;
    QColor mirrored_;
};

}  // namespace varno::ui
