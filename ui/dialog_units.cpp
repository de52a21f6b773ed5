#include "ui/dialog_units.h"

#include <QFontMetrics>

namespace varno::ui {

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    bx_ = (metrics.horizontalAdvance(letters) + 26) / 52;
    by_ = metrics.height();
}

DialogUnits::DialogUnits(const QFont& font, const std::vector<TextInWidth>& texts) : DialogUnits(font)
{
    const QFontMetrics metrics(font);
    for (const TextInWidth& t : texts) {
        const int needed = metrics.horizontalAdvance(t.text) + t.margin;
        while (x(t.width) < needed) ++bx_;
    }
}

}  // namespace varno::ui
