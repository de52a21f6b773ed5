// What a cell shows of its text, and what its tooltip says, when the text is
// longer than the cell. The cell keeps its text as it is: only the picture
// and the hints change.
#pragma once

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
// the whole text before it.
struct CellHints {
    QString toolTip;
    QString description;
};
CellHints HintsForCell(const QString& text, const QString& note, bool overflows);

}  // namespace varno::ui
