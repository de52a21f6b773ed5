#include "ui/dialog_units.h"

#include <algorithm>

#include <QFontMetrics>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace varno::ui {

QSize BoundedToScreen(const QWidget& window, QSize wanted)
{
    const QScreen* screen = window.screen();
    if (screen == nullptr) return wanted;
    const int line = window.fontMetrics().height();
    const QSize room = screen->availableGeometry().size() - QSize(line, 3 * line);
    return wanted.boundedTo(room).expandedTo(window.minimumSize());
}

int PixelStep(double ratio)
{
    for (int step = 1; step <= 8; ++step) {
        const double device = step * ratio;
        if (std::abs(device - std::round(device)) < 1e-6) return step;
    }
    return 1;
}

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    bx_ = (metrics.horizontalAdvance(letters) + 26) / 52;
    by_ = metrics.height();
}

DialogUnits::DialogUnits(const QFont& font, const std::vector<TextInWidth>& texts, int pixelStep)
    : DialogUnits(font)
{
    step_ = pixelStep < 1 ? 1 : pixelStep;
    const QFontMetrics metrics(font);
    for (const TextInWidth& t : texts) {
        const int needed = metrics.horizontalAdvance(t.text) + t.margin;
        while (x(t.width) < needed) ++bx_;
        // A line of text 8 units high: at small sizes its box can come out a
        // pixel taller than the font's height.
        by_ = std::max(by_, metrics.boundingRect(QRect(0, 0, needed + 100, 1000), 0, t.text).height());
    }
}

QRect DialogUnits::rect(int x0, int y0, int w, int h, int inset) const
{
    // Coordinates are not negative here, so division rounds down.
    const int left = down(x(x0) + inset) - inset;
    const int top = down(y(y0) + inset) - inset;
    return {left, top, up(x(x0) + x(w) - inset) + inset - left, up(y(y0) + y(h) - inset) + inset - top};
}

}  // namespace varno::ui
