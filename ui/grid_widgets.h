// The controls of the main window that behave beyond their Qt defaults:
// cells that take a whole pasted matrix, lists that keep their choice, and
// buttons and lists that show their focus on any palette.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <functional>

namespace varno::ui {

inline constexpr const char* CopyMatrixText = "Copy Matrix";
inline constexpr const char* PasteMatrixText = "Paste Matrix";

// A cell. Every paste (keys, context menu) is first offered as a whole
// matrix; only if it is not one does it go into this cell as usual.
//
// A text the program wrote is selected whole when the cell gets the focus,
// by mouse too, so that typing replaces it; once the user has typed, a click
// places the caret as usual. Without the focus, a text longer than the cell
// is shown shortened (see ShortenedCellText); text() is always the whole.
class CellEdit final : public QLineEdit {
    Q_OBJECT

public:
    // Whether text reads as a whole matrix (to offer Paste Matrix), and
    // taking it as one: false, and nothing done, when it does not.
    std::function<bool(const QString& text)> readsAsMatrix;
    std::function<bool(const QString& text)> pasteMatrix;
    // The shown matrix as text, empty when there is none.
    std::function<QString()> matrixText;

    explicit CellEdit(QWidget* parent);

    void pasteFromClipboard();
    // The cell's context menu: Qt's, with its Paste routed as above, then
    // "Copy Matrix" and "Paste Matrix". The caller owns it.
    QMenu* createCellMenu();

    // Sets a text written by the program, shown from its first character.
    void setProgramText(const QString& text);
    // The note on how the text is read, for the tooltip and the accessible
    // description; they also give the whole text when it is longer than the
    // cell.
    void setNote(const QString& note);
    // The degrees of freedom of the cell's row and column where an imported
    // model names them; the first line of the tooltip and the description.
    void setPlace(const QString& place);
    // What the cell shows now: the text, or its shortened form.
    QString shownText() const;
    bool overflows() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // A dropped file is for the window to open, not text for the cell.
    void dragEnterEvent(QDragEnterEvent* event) override;

private:
    bool fits(const QString& text) const;
    void selectWhole();
    void updateHints();

    bool programText_ = false;   // the text is the program's, not typed since
    bool selectOnPress_ = false;  // the focus came with this mouse press
    QPoint pressPosition_;
    QString note_;
    QString place_;
};

// A single-selection list that a user's click or key can move but never
// empty once it has a selection (Qt lets Ctrl+click clear it). With the
// focus it draws a frame in the highlight colour inside its border: the
// styles' own mark on the current row is faint, or missing before a row is
// chosen, on light and dark palettes alike.
class ChoiceList final : public QListWidget {
    Q_OBJECT

public:
    using QListWidget::QListWidget;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // With nothing chosen, the first arrow key chooses the first row (or
    // the last, going up), as a list box does: Qt's list would start from
    // a current row of 0 and skip it.
    void keyPressEvent(QKeyEvent* event) override;
};

// A push button that draws the lists' focus frame inside its bevel: the
// styles outline the default button (Calculate) as they outline the one
// with the focus, so the focus on it would not show.
class FocusButton final : public QPushButton {
    Q_OBJECT

public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace varno::ui
