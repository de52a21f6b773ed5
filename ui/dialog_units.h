// Dialog templates are laid out in dialog units: a quarter of the font's
// average character width horizontally, an eighth of its height vertically.
// Converting them the classic way keeps the template's proportions with
// whatever font the desktop uses.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

class QWidget;

namespace varno::ui {

// wanted, made no larger than what the screen of window leaves for a
// window, with room for a title bar; never below the window's minimum size.
QSize BoundedToScreen(const QWidget& window, QSize wanted);

// A single-line text and the width, in dialog units, of the control that holds it.
struct TextInWidth {
    QString text;
    int width;
    int margin = 0;  // pixels the control itself needs beside the text (frames, padding)
};

// The smallest number of logical pixels that is a whole number of device
// pixels at ratio (2 at 1.5, 4 at 1.25, 1 at whole ratios); 1 when there is
// none up to 8.
int PixelStep(double ratio);

class DialogUnits {
public:
    // The base units of font: the rounded average advance of A-Z a-z, and the
    // font height.
    explicit DialogUnits(const QFont& font);

    // The same, but with the horizontal unit widened where the desktop font
    // is broader than the template's, so that no text is clipped. Widening
    // only the unit keeps every proportion of the layout. pixelStep: see
    // rect().
    DialogUnits(const QFont& font, const std::vector<TextInWidth>& texts, int pixelStep = 1);

    int x(int units) const { return (units * bx_ + 2) / 4; }
    int y(int units) const { return (units * by_ + 4) / 8; }

    // At a fractional scale a frame line that ends inside a device pixel is
    // lost. With a pixel step, every edge of rect and size moves out onto a
    // multiple of it, so onto a device pixel; a control only grows, and its
    // text still fits. For a control with children just inside a frame of
    // width inset (a list's viewport and scroll bar, which would paint over
    // that line) the inner edges of the frame are the ones moved.
    QRect rect(int x0, int y0, int w, int h, int inset = 0) const;
    QSize size(int w, int h) const { return grown({x(w), y(h)}); }
    // A size in pixels grown onto whole device pixels.
    QSize grown(QSize pixels) const { return {up(pixels.width()), up(pixels.height())}; }

private:
    int down(int pixels) const { return pixels / step_ * step_; }
    int up(int pixels) const { return down(pixels + step_ - 1); }

    int bx_;
    int by_;
    int step_ = 1;
};

}  // namespace varno::ui
