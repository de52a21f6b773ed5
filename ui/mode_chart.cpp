#include "ui/mode_chart.h"

#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>
#include <iterator>

namespace varno::ui {

void StyleModeChart(QChart* chart, QChartView* view, std::initializer_list<QValueAxis*> axes, const QPalette& colours,
                    const QFont& font)
{
    const bool dark = colours.color(QPalette::Window).lightness() < 128;
    // The theme gives the series distinct colours meant for its background;
    // the rest follows the palette.
    chart->setTheme(dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    chart->setBackgroundBrush(colours.brush(QPalette::Base));
    chart->setBackgroundPen(QPen(colours.color(QPalette::Mid)));
    chart->setBackgroundRoundness(0);
    chart->legend()->setLabelColor(colours.color(QPalette::Text));
    chart->legend()->setFont(font);
    for (QValueAxis* axis : axes) {
        axis->setLabelsColor(colours.color(QPalette::Text));
        axis->setLabelsFont(font);
        axis->setTitleBrush(colours.brush(QPalette::Text));
        axis->setTitleFont(font);
        axis->setLinePenColor(colours.color(QPalette::Text));
        axis->setGridLineColor(colours.color(QPalette::Mid));
    }
    view->setBackgroundBrush(colours.brush(QPalette::Window));
    // A theme repeats its colours after five series; these six stay apart
    // for colour-blind readers too (Okabe and Ito), on light and dark.
    static constexpr QRgb Series[] = {0xE69F00, 0x56B4E9, 0x009E73, 0x0072B2, 0xD55E00, 0xCC79A7};
    const QList<QAbstractSeries*> all = chart->series();
    for (qsizetype k = 0; k < all.size(); ++k)
        if (auto* line = qobject_cast<QLineSeries*>(all[k])) {
            QPen pen = line->pen();
            pen.setColor(QColor(Series[static_cast<std::size_t>(k) % std::size(Series)]));
            pen.setWidthF(2.0);
            line->setPen(pen);
        }
}

}  // namespace varno::ui
