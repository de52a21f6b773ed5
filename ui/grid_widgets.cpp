#include "ui/grid_widgets.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

#include "ui/cell_text.h"

namespace varno::ui {
namespace {

// QLineEdit keeps this many pixels between its contents rectangle and the
// text, left and right.
constexpr int LineEditMargin = 2;
// No cell is wide enough for this many characters; longer texts overflow
// without being measured.
constexpr qsizetype NeverFits = 1000;

int FocusFrameWidth(const QWidget& widget) { return std::max(2, widget.fontMetrics().height() / 8); }

// The focus frame of lists and buttons, in the highlight colour, just inside area.
void DrawFocusFrame(QPainter& painter, const QWidget& widget, const QRect& area)
{
    const int width = FocusFrameWidth(widget);
    QPen pen(widget.palette().color(QPalette::Highlight), width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const int half = width / 2;
    painter.drawRect(area.adjusted(half, half, -(width - half), -(width - half)));
}

}  // namespace

CellEdit::CellEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, [this] { programText_ = false; });
}

void CellEdit::setProgramText(const QString& text)
{
    setText(text);
    setCursorPosition(0);
    programText_ = true;
    if (hasFocus()) selectWhole();
}

void CellEdit::setNote(const QString& note)
{
    note_ = note;
    updateHints();
}

void CellEdit::setPlace(const QString& place)
{
    place_ = place;
    updateHints();
}

bool CellEdit::fits(const QString& text) const
{
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    const QRect contents =
        style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins());
    // One pixel more for the caret, as QLineEdit reckons.
    return fontMetrics().horizontalAdvance(text) + 1 <= contents.width() - 2 * LineEditMargin;
}

bool CellEdit::overflows() const { return text().size() > NeverFits || !fits(text()); }

QString CellEdit::shownText() const
{
    if (hasFocus() || !overflows()) return text();
    return ShortenedCellText(text(), [this](const QString& candidate) { return fits(candidate); });
}

void CellEdit::updateHints()
{
    const CellHints hints = HintsForCell(text(), note_, overflows());
    const auto placed = [this](const QString& hint) -> QString {
        if (place_.isEmpty()) return hint;
        return hint.isEmpty() ? place_ : QString(place_ + QLatin1Char('\n') + hint);
    };
    setToolTip(PlainToolTip(placed(hints.toolTip), hints.wrap));
    setAccessibleDescription(placed(hints.description));
}

// The caret at the start, so that a long text shows from its first character.
void CellEdit::selectWhole() { setSelection(static_cast<int>(text().size()), -static_cast<int>(text().size())); }

void CellEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    selectOnPress_ = false;
    if (programText_) {
        selectWhole();
        selectOnPress_ = event->reason() == Qt::MouseFocusReason;
    } else if (hasSelectedText() && selectionLength() == text().size()) {
        selectWhole();  // Qt selects a tabbed-into text with the caret at its end
    }
}

void CellEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Back at the start, where the shortened form begins, so that a click
    // lands where it was aimed. Not for the cell's own context menu, whose
    // Copy needs the selection, nor when only the window loses the focus (a
    // message box, another program): the cell gets it back, and typing goes
    // on where it stopped.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        setCursorPosition(0);
}

void CellEdit::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    // The focus came with this press: the selection it made outlives the caret the press placed.
    if (selectOnPress_ && event->button() == Qt::LeftButton) {
        selectWhole();
        pressPosition_ = event->position().toPoint();
    } else {
        selectOnPress_ = false;
    }
}

void CellEdit::mouseMoveEvent(QMouseEvent* event)
{
    if (selectOnPress_ && (event->buttons() & Qt::LeftButton)) {
        // A hand that trembles while clicking keeps the selection; a drag
        // selects from where it began, as usual.
        if ((event->position().toPoint() - pressPosition_).manhattanLength() < QApplication::startDragDistance())
            return;
        selectOnPress_ = false;
        setCursorPosition(cursorPositionAt(pressPosition_));
    }
    QLineEdit::mouseMoveEvent(event);
}

void CellEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QLineEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) selectOnPress_ = false;
}

void CellEdit::paintEvent(QPaintEvent* event)
{
    const QString shown = shownText();
    if (shown == text()) {
        QLineEdit::paintEvent(event);
        return;
    }
    // The frame as QLineEdit paints it, and the shortened text where
    // QLineEdit puts its line: from the left, centred vertically.
    QPainter painter(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    const QRect contents =
        style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins());
    const QFontMetrics metrics = fontMetrics();
    const QRect line(contents.x() + LineEditMargin, contents.y() + (contents.height() - metrics.height() + 1) / 2,
                     contents.width() - 2 * LineEditMargin, metrics.height());
    painter.setClipRect(contents);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
}

void CellEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    updateHints();
}

void CellEdit::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) updateHints();
}

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

void CellEdit::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    QLineEdit::dragEnterEvent(event);
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

void ChoiceList::paintEvent(QPaintEvent* event)
{
    QListWidget::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(viewport());
    DrawFocusFrame(painter, *this, viewport()->rect());
}

void FocusButton::paintEvent(QPaintEvent* event)
{
    QPushButton::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    // Clear of the bevel's outline, which marks the default button.
    const int inset = FocusFrameWidth(*this) + 1;
    DrawFocusFrame(painter, *this, rect().adjusted(inset, inset, -inset, -inset));
}

void ChoiceList::focusInEvent(QFocusEvent* event)
{
    QListWidget::focusInEvent(event);
    viewport()->update();
}

void ChoiceList::focusOutEvent(QFocusEvent* event)
{
    QListWidget::focusOutEvent(event);
    viewport()->update();
}

void ChoiceList::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (selectedItems().isEmpty() && count() > 0 && event->modifiers() == Qt::NoModifier &&
        (key == Qt::Key_Down || key == Qt::Key_Up)) {
        setCurrentRow(key == Qt::Key_Down ? 0 : count() - 1);
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

}  // namespace varno::ui
