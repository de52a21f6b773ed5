#include "ui/modes_window.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "ui/dialog_units.h"

namespace varno::ui {
namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

ModesWindow::ModesWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8(ModesWindowTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);

    contents_ = new QWidget;
    note_ = new QLabel(contents_);
    note_->setWordWrap(true);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    table_ = new QTableWidget(contents_);
    table_->setAccessibleName(QStringLiteral("Modes"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setTabKeyNavigation(false);  // Tab leaves the table; arrows move within it
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QStringList titles;
    for (const std::string& title : ModesHeader()) titles << Text(title);
    table_->setColumnCount(static_cast<int>(titles.size()));
    table_->setHorizontalHeaderLabels(titles);

    chart_ = new QChart;
    chart_->legend()->setAlignment(Qt::AlignRight);  // one label under another: none is cut short
    dof_ = new QValueAxis;
    dof_->setTitleText(QStringLiteral("Degree of freedom"));
    dof_->setLabelFormat(QStringLiteral("%d"));
    dof_->setTickType(QValueAxis::TicksDynamic);  // a tick at each degree of freedom, whatever the range
    dof_->setTickAnchor(1);
    dof_->setTickInterval(1);
    amplitude_ = new QValueAxis;
    amplitude_->setTitleText(QStringLiteral("Component"));
    amplitude_->setLabelFormat(QStringLiteral("%.3g"));  // mass-normalised shapes can be small or large
    chart_->addAxis(dof_, Qt::AlignBottom);
    chart_->addAxis(amplitude_, Qt::AlignLeft);
    view_ = new QChartView(chart_, contents_);
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setAccessibleName(QString::fromUtf8(ModeShapesName));
    view_->setFocusPolicy(Qt::NoFocus);  // nothing to do there with keys; the table holds the numbers
    view_->setMinimumHeight(fontMetrics().height() * 14);

    copy_ = new QPushButton(QStringLiteral("&Copy"), this);
    save_ = new QPushButton(QString::fromUtf8("&Save Plot\u2026"), this);
    close_ = new QPushButton(QStringLiteral("C&lose"), this);
    for (QPushButton* button : {copy_, save_, close_}) button->setAutoDefault(false);
    close_->setDefault(true);
    copy_->setToolTip(QStringLiteral("Copy the table as tab-separated text"));
    save_->setToolTip(QStringLiteral("Save the plot as PNG or SVG"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy_);
    buttons->addWidget(save_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* inner = new QVBoxLayout(contents_);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(note_);
    inner->addWidget(table_);
    inner->addWidget(view_, 1);
    // On a small screen the table and the plot scroll; the buttons stay.
    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setWidget(contents_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll_, 1);
    layout->addLayout(buttons);

    setTabOrder(table_, copy_);
    setTabOrder(copy_, save_);
    setTabOrder(save_, close_);

    connect(copy_, &QPushButton::clicked, this, &ModesWindow::OnCopy);
    connect(save_, &QPushButton::clicked, this, &ModesWindow::OnSavePlot);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    auto* copyKey = new QShortcut(QKeySequence::Copy, this);
    connect(copyKey, &QShortcut::activated, this, &ModesWindow::OnCopy);

    ApplyPalette();
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    resize(BoundedToScreen(*this, QSize(em * 64, fontMetrics().height() * 36)));
}

void ModesWindow::FitContents()
{
    // What the contents need beside the scroll area: the margins, the
    // buttons and the spacing between.
    const QMargins margins = layout()->contentsMargins();
    const QSize buttons = layout()->itemAt(1)->sizeHint();
    const QSize inner = contents_->minimumSizeHint();
    const int bar = scroll_->verticalScrollBar()->sizeHint().width();
    const QSize wanted(std::max(inner.width(), buttons.width()) + margins.left() + margins.right(),
                       inner.height() + buttons.height() + layout()->spacing() + margins.top() + margins.bottom());
    QSize fitted = BoundedToScreen(*this, size().expandedTo(wanted));
    // Cut short in height: the contents scroll, and their bar must not hide the table's last column.
    if (fitted.height() < wanted.height()) fitted = BoundedToScreen(*this, fitted + QSize(bar, 0));
    resize(fitted);
}

void ModesWindow::ShowModes(const ModesView& view)
{
    result_ = view.result;
    note_->setText(Text(view.note));
    chart_->removeAllSeries();
    table_->setRowCount(0);
    copy_->setEnabled(result_.has_value());
    save_->setEnabled(result_.has_value());
    dof_->setVisible(result_.has_value());  // no empty frame where there is nothing to draw
    amplitude_->setVisible(result_.has_value());
    if (result_) {
        const auto rows = ModesRows(*result_);
        table_->setRowCount(static_cast<int>(rows.size()));
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (std::size_t c = 0; c < rows[r].size(); ++c) {
                auto* item = new QTableWidgetItem(Text(rows[r][c]));
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                table_->setItem(static_cast<int>(r), static_cast<int>(c), item);
            }

        const int n = result_->n;
        double largest = 0.0;
        for (int k = 1; k <= n; ++k) {
            const Mode& mode = result_->modes[static_cast<std::size_t>(k - 1)];
            auto* series = new QLineSeries;
            series->setName(Text(ModeLegend(*result_, k)));
            series->setPointsVisible(true);
            for (int i = 0; i < n; ++i) {
                const double x = mode.vector[static_cast<std::size_t>(i)];
                series->append(i + 1, x);
                largest = std::max(largest, std::fabs(x));
            }
            chart_->addSeries(series);
            series->attachAxis(dof_);
            series->attachAxis(amplitude_);
        }
        dof_->setRange(0.75, n + 0.25);  // room for the end points' markers
        // Symmetric about zero, so that the zero line is a grid line and
        // shapes of either sign read alike.
        amplitude_->setRange(-largest, largest);
        amplitude_->setTickCount(5);
        amplitude_->applyNiceNumbers();
        const double reach = std::max(std::fabs(amplitude_->min()), std::fabs(amplitude_->max()));
        amplitude_->setRange(-reach, reach);
    }
    table_->resizeColumnsToContents();
    table_->resizeRowsToContents();
    // Every cell in sight, without scroll bars: the table asks for its whole
    // size, and the window grows to it.
    int width = 2 * table_->frameWidth();
    for (int c = 0; c < table_->columnCount(); ++c) width += table_->columnWidth(c);
    int height = table_->horizontalHeader()->sizeHint().height() + 2 * table_->frameWidth();
    for (int r = 0; r < table_->rowCount(); ++r) height += table_->rowHeight(r);
    table_->setMinimumWidth(width);
    table_->setFixedHeight(height);
    FitContents();
    ApplyPalette();  // the new series take the theme's colours
}

bool ModesWindow::SavePlot(const QString& path)
{
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(view_->size());
        svg.setViewBox(QRect(QPoint(0, 0), view_->size()));
        svg.setTitle(QString::fromUtf8(ModeShapesName));
        QPainter painter;
        if (!painter.begin(&svg)) return false;
        view_->render(&painter);
        painter.end();  // the generator writes as it goes, into the file it opened in begin()
        return true;
    }
    return view_->grab().save(path, "PNG");
}

void ModesWindow::OnCopy()
{
    if (result_) QGuiApplication::clipboard()->setText(Text(ModesTsv(*result_)));
}

void ModesWindow::OnSavePlot()
{
    QString filter;
    const QString png = QStringLiteral("PNG image (*.png)");
    const QString svg = QStringLiteral("SVG image (*.svg)");
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Plot"), QStringLiteral("mode-shapes.png"),
                                                png + QStringLiteral(";;") + svg, &filter);
    if (path.isEmpty()) return;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QStringLiteral("png") && suffix != QStringLiteral("svg"))
        path += filter == svg ? QStringLiteral(".svg") : QStringLiteral(".png");
    if (!SavePlot(path))
        QMessageBox::warning(this, QStringLiteral("Save Plot"), QStringLiteral("Cannot write %1.").arg(path));
}

void ModesWindow::ApplyPalette()
{
    const QPalette colours = palette();
    const bool dark = colours.color(QPalette::Window).lightness() < 128;
    // The theme gives the series distinct colours meant for its background;
    // the rest follows the palette.
    chart_->setTheme(dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    chart_->setBackgroundBrush(colours.brush(QPalette::Base));
    chart_->setBackgroundPen(QPen(colours.color(QPalette::Mid)));
    chart_->setBackgroundRoundness(0);
    chart_->legend()->setLabelColor(colours.color(QPalette::Text));
    chart_->legend()->setFont(font());
    for (QValueAxis* axis : {dof_, amplitude_}) {
        axis->setLabelsColor(colours.color(QPalette::Text));
        axis->setLabelsFont(font());
        axis->setTitleBrush(colours.brush(QPalette::Text));
        axis->setTitleFont(font());
        axis->setLinePenColor(colours.color(QPalette::Text));
        axis->setGridLineColor(colours.color(QPalette::Mid));
    }
    view_->setBackgroundBrush(colours.brush(QPalette::Window));
}

void ModesWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) ApplyPalette();
    QDialog::changeEvent(event);
}

}  // namespace varno::ui
