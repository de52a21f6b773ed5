#include "ui/grid_widgets.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>

namespace varno::ui {

void CellEdit::pasteFromClipboard()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (!(pasteMatrix && pasteMatrix(text))) paste();
}

QMenu* CellEdit::createCellMenu()
{
    QMenu* menu = createStandardContextMenu();
    // Qt's own Paste would bypass the matrix: send it the same way as Ctrl+V.
    for (QAction* action : menu->actions())
        if (action->objectName() == QLatin1String("edit-paste")) {
            action->disconnect();
            connect(action, &QAction::triggered, this, &CellEdit::pasteFromClipboard);
        }
    menu->addSeparator();
    const QString shown = matrixText ? matrixText() : QString();
    QAction* copy = menu->addAction(QString::fromUtf8(CopyMatrixText));
    copy->setEnabled(!shown.isEmpty());
    connect(copy, &QAction::triggered, this, [shown] { QGuiApplication::clipboard()->setText(shown); });
    // Offered only when the clipboard holds a matrix of the order shown.
    const QString clipboard = QGuiApplication::clipboard()->text();
    QAction* pasteMatrixAction = menu->addAction(QString::fromUtf8(PasteMatrixText));
    const bool readable = readsAsMatrix && pasteMatrix && readsAsMatrix(clipboard);
    pasteMatrixAction->setEnabled(readable);
    if (!readable) {  // say why it is greyed out
        menu->setToolTipsVisible(true);
        pasteMatrixAction->setToolTip(QStringLiteral("The clipboard holds no matrix of the order chosen"));
    }
    connect(pasteMatrixAction, &QAction::triggered, this, [this, clipboard] { pasteMatrix(clipboard); });
    return menu;
}

void CellEdit::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Paste && !isReadOnly()) {
        pasteFromClipboard();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CellEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createCellMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

QItemSelectionModel::SelectionFlags ChoiceList::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    const QItemSelectionModel::SelectionFlags flags = QListWidget::selectionCommand(index, event);
    if (selectedItems().isEmpty()) return flags;
    const bool clears = !index.isValid() && flags.testFlag(QItemSelectionModel::Clear) &&
                        !flags.testFlag(QItemSelectionModel::Select);
    const bool deselects = index.isValid() && selectionModel()->isSelected(index) &&
                           (flags.testFlag(QItemSelectionModel::Deselect) || flags.testFlag(QItemSelectionModel::Toggle));
    return clears || deselects ? QItemSelectionModel::NoUpdate : flags;
}

}  // namespace varno::ui
