// What a cell shows of its text, and what its tooltip says, when the text is
// longer than the cell. The cell keeps its text as it is: only the picture
// and the hints change.
#pragma once

#include <QColor>
#include <QString>
#include <functional>

namespace varno::ui {

// The text a cell shows while it does not have the focus. text itself when
// it fits; else without its outer blanks; else shortened with "…" so that
// the size of the number stays visible: the sign, the leading digits and the
// exponent ("-1.2345…e-05"). A number written without an exponent keeps its
// whole integer part ("98765.43…"), or, when even that does not fit or only
// zeros would show, takes one ("1.234…e+23"). Text that is no number keeps
// its start ("abcd…"). When nothing fits, the shortest of these.
QString ShortenedCellText(const QString& text, const std::function<bool(const QString&)>& fits);

// The tooltip and the accessible description of a cell: the note on how its
// text is read (may be empty), and, when the text is longer than the cell,
// the whole text before it. Both plain text: the tooltip is made with
// PlainToolTip once whatever goes before it is added.
struct CellHints {
    QString toolTip;
    QString description;
    bool wrap = false;  // a long text, to be wrapped in the tooltip
};
CellHints HintsForCell(const QString& text, const QString& note, bool overflows);

// A tooltip that shows text as it is, wrapped at its line ends and, with
// wrap, within lines too. Qt takes a tooltip for rich text where it looks
// like markup, so that a label "<h1>" from a file would show as a heading
// (and "<img src=...>" load a file): such a text is escaped.
QString PlainToolTip(const QString& text, bool wrap = false);

// A misread cell's background: the theme's own, tinted towards red, so the
// mark reads on light and dark themes alike and the text keeps its colour.
QColor MarkTint(const QColor& base);

}  // namespace varno::ui
