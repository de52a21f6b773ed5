// Dialog templates are laid out in dialog units: a quarter of the font's
// average character width horizontally, an eighth of its height vertically.
// Converting them the classic way keeps the template's proportions with
// whatever font the desktop uses.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <vector>

namespace varno::ui {

// A single-line text and the width, in dialog units, of the control that holds it.
struct TextInWidth {
    QString text;
    int width;
    int margin = 0;  // pixels the control itself needs beside the text (frames, padding)
};

class DialogUnits {
public:
    // The base units of font: the rounded average advance of A-Z a-z, and the
    // font height.
    explicit DialogUnits(const QFont& font);

    // The same, but with the horizontal unit widened where the desktop font
    // is broader than the template's, so that no text is clipped. Widening
    // only the unit keeps every proportion of the layout.
    DialogUnits(const QFont& font, const std::vector<TextInWidth>& texts);

    int x(int units) const { return (units * bx_ + 2) / 4; }
    int y(int units) const { return (units * by_ + 4) / 8; }
    QRect rect(int x0, int y0, int w, int h) const { return {x(x0), y(y0), x(w), y(h)}; }

private:
    int bx_;
    int by_;
};

}  // namespace varno::ui
