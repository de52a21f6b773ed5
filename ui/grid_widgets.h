// The two kinds of controls of the grid that behave beyond their Qt defaults:
// cells that take a whole pasted matrix, and lists that keep their choice.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <functional>

namespace varno::ui {

inline constexpr const char* CopyMatrixText = "Copy Matrix";
inline constexpr const char* PasteMatrixText = "Paste Matrix";

// A cell. Every paste (keys, context menu) is first offered as a whole
// matrix; only if it is not one does it go into this cell as usual.
class CellEdit final : public QLineEdit {
    Q_OBJECT

public:
    // Whether text reads as a whole matrix (to offer Paste Matrix), and
    // taking it as one: false, and nothing done, when it does not.
    std::function<bool(const QString& text)> readsAsMatrix;
    std::function<bool(const QString& text)> pasteMatrix;
    // The shown matrix as text, empty when there is none.
    std::function<QString()> matrixText;

    using QLineEdit::QLineEdit;

    void pasteFromClipboard();
    // The cell's context menu: Qt's, with its Paste routed as above, then
    // "Copy Matrix" and "Paste Matrix". The caller owns it.
    QMenu* createCellMenu();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

// A single-selection list that a user's click or key can move but never
// empty once it has a selection (Qt lets Ctrl+click clear it).
class ChoiceList final : public QListWidget {
    Q_OBJECT

public:
    using QListWidget::QListWidget;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
};

}  // namespace varno::ui
