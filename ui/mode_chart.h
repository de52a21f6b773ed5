// The look of a plot of mode shapes, shared by both modes windows: colours
// and fonts from the window's palette and font, so that it reads on light
// and dark themes alike, and series colours that stay apart.
#pragma once

#include <QFont>
#include <QPalette>
#include <initializer_list>

class QChart;
class QChartView;
class QValueAxis;

namespace varno::ui {

// Call again once series are added: they take the theme's colours.
void StyleModeChart(QChart* chart, QChartView* view, std::initializer_list<QValueAxis*> axes, const QPalette& colours,
                    const QFont& font);

}  // namespace varno::ui
