#include "ui/cell_text.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/number_text.h"

namespace varno::ui {
namespace {

const QString Ellipsis = QStringLiteral("\u2026");

// Nothing longer than this fits a cell; it bounds the search on huge pastes.
constexpr qsizetype LongestShown = 64;

// The longest head.left(k) + "…" + tail, k from most down to least, that
// fits ("…" only where something was left out; never after a bare point);
// none when not even k = least does.
std::optional<QString> LongestFitting(const QString& head, qsizetype most, qsizetype least, const QString& tail,
                                      const std::function<bool(const QString&)>& fits)
{
    for (qsizetype k = std::min(most, LongestShown); k >= least; --k) {
        const QString kept = head.left(k);
        if (kept.endsWith(QLatin1Char('.'))) continue;
        const QString shown = kept + (k < head.size() ? Ellipsis : QString()) + tail;
        if (fits(shown)) return shown;
    }
    return std::nullopt;
}

QString ExponentText(qsizetype exponent)
{
    const QString digits = QString::number(exponent < 0 ? -exponent : exponent);
    return QStringLiteral("e") + (exponent < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           (digits.size() < 2 ? QStringLiteral("0") : QString()) + digits;
}

}  // namespace

QString ShortenedCellText(const QString& text, const std::function<bool(const QString&)>& fits)
{
    if (fits(text)) return text;
    const QString trimmed = text.trimmed();
    if (fits(trimmed)) return trimmed;

    const auto length = static_cast<qsizetype>(NumberPrefixLength(trimmed.toStdString()));
    const QString number = trimmed.left(length);  // ASCII: one character a byte
    const QString after = length < trimmed.size() ? Ellipsis : QString();
    const qsizetype signs = number.startsWith(QLatin1Char('-')) || number.startsWith(QLatin1Char('+')) ? 1 : 0;
    const qsizetype ePos = number.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
    const QString mantissa = ePos < 0 ? number : number.left(ePos);
    const qsizetype point = mantissa.indexOf(QLatin1Char('.'));
    const QString integer = mantissa.mid(signs, point < 0 ? -1 : point - signs);
    const QString fraction = point < 0 ? QString() : mantissa.mid(point + 1);
    const QString digits = integer + fraction;
    qsizetype firstDigit = 0;  // the first significant one, in digits
    while (firstDigit < digits.size() && digits[firstDigit] == QLatin1Char('0')) ++firstDigit;

    const QString shortest = trimmed.left(1) + Ellipsis;
    if (digits.isEmpty() || firstDigit == digits.size()) {
        // No number, or one without a significant digit: keep the start.
        if (auto shown = LongestFitting(trimmed, trimmed.size() - 1, 1, QString(), fits)) return *shown;
        return shortest;
    }
    if (ePos >= 0) {
        // As written, down to the sign and one digit, exponent kept.
        const QString tail = number.mid(ePos) + after;
        if (auto shown = LongestFitting(mantissa, mantissa.size() - 1, signs + 1, tail, fits)) return *shown;
        return mantissa.left(signs + 1) + Ellipsis + tail;
    }
    // As written while the integer part and a significant digit still show
    // ("…" also stands for anything after the number).
    const qsizetype intEnd = signs + integer.size();
    const qsizetype keep = firstDigit < integer.size() ? intEnd : point + 1 + (firstDigit - integer.size()) + 1;
    if (auto shown = LongestFitting(mantissa, mantissa.size() - 1, keep, QString(), fits)) return *shown;
    // Else with an exponent: d.ddd…e±x.
    const QString sign = mantissa.left(signs);
    const QString significant = digits.mid(firstDigit);
    const QString head = sign + significant.left(1) +
                         (significant.size() > 1 ? QLatin1Char('.') + significant.mid(1) : QString());
    const QString tail = ExponentText(integer.size() - 1 - firstDigit) + after;
    if (auto shown = LongestFitting(head, head.size(), sign.size() + 1, tail, fits)) return *shown;
    return sign + significant.left(1) + Ellipsis + tail;
}

CellHints HintsForCell(const QString& text, const QString& note, bool overflows)
{
    if (!overflows) return {note, note};
    // A hostile paste can be a megabyte long; nobody reads that in a tooltip.
    constexpr qsizetype Longest = 1000;
    const QString whole = text.size() <= Longest
                              ? text
                              : text.left(Longest) + Ellipsis + QStringLiteral(" (%1 characters)").arg(text.size());
    CellHints hints;
    hints.description = note.isEmpty() ? whole : whole + QLatin1Char('\n') + note;
    hints.toolTip = hints.description;
    hints.wrap = true;
    return hints;
}

QString PlainToolTip(const QString& text, bool wrap)
{
    if (!wrap && !text.contains(QLatin1Char('<')) && !text.contains(QLatin1Char('&'))) return text;
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

QColor MarkTint(const QColor& base)
{
    const QColor red(220, 30, 30);
    const auto mix = [](int a, int b) { return (a * 7 + b * 3) / 10; };
    return QColor(mix(base.red(), red.red()), mix(base.green(), red.green()), mix(base.blue(), red.blue()));
}

}  // namespace varno::ui
