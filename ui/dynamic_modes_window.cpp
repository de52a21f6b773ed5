#include "ui/dynamic_modes_window.h"

#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "ui/dialog_units.h"
#include "ui/dynamic_modes_table.h"
#include "ui/mode_chart.h"

namespace varno::ui {
namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

// The first six at first, as the small models' plot has them.
constexpr const char* FirstPlotted = "1-6";
constexpr int FirstCount = 6;

// Beyond this many degrees of freedom the markers would hide the lines.
constexpr int MostMarked = 40;

}  // namespace

DynamicModesWindow::DynamicModesWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Modes"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);

    note_ = new QLabel(this);
    note_->setWordWrap(true);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    stale_ = new QLabel(QStringLiteral("The matrices have changed since this calculation: press Calculate for "
                                       "the modes of the model as it now is."),
                        this);
    stale_->setWordWrap(true);
    QFont bold = stale_->font();
    bold.setBold(true);
    stale_->setFont(bold);
    stale_->hide();

    model_ = new DynamicModesTable(this);
    table_ = new QTableView(this);
    table_->setModel(model_);
    table_->setAccessibleName(QStringLiteral("Modes"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false);
    table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    plottedBox_ = new QLineEdit(QString::fromLatin1(FirstPlotted), this);
    plottedBox_->setAccessibleName(QStringLiteral("Modes plotted"));
    plottedBox_->setToolTip(QStringLiteral("Modes and ranges of modes, such as 1-6 or 2, 7-9; at most %1").arg(MostPlotted));
    auto* plottedLabel = new QLabel(QStringLiteral("&Plotted modes:"), this);
    plottedLabel->setBuddy(plottedBox_);
    plottedNote_ = new QLabel(this);
    plottedNote_->setWordWrap(true);
    auto* plotRow = new QHBoxLayout;
    plotRow->addWidget(plottedLabel);
    plotRow->addWidget(plottedBox_);
    plotRow->addWidget(plottedNote_, 1);

    chart_ = new QChart;
    chart_->legend()->setAlignment(Qt::AlignRight);  // one label under another: none is cut short
    dof_ = new QValueAxis;
    dof_->setTitleText(QStringLiteral("Degree of freedom"));
    dof_->setLabelFormat(QStringLiteral("%d"));
    dof_->setTickType(QValueAxis::TicksDynamic);
    dof_->setTickAnchor(1);
    amplitude_ = new QValueAxis;
    amplitude_->setTitleText(QStringLiteral("Component (largest = 1)"));
    amplitude_->setLabelFormat(QStringLiteral("%.2g"));
    // A little beyond 1, so that its marker shows whole, on round ticks.
    amplitude_->setRange(-1.2, 1.2);
    amplitude_->setTickCount(7);
    chart_->addAxis(dof_, Qt::AlignBottom);
    chart_->addAxis(amplitude_, Qt::AlignLeft);
    view_ = new QChartView(chart_, this);
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setAccessibleName(QStringLiteral("Mode shapes"));
    view_->setFocusPolicy(Qt::NoFocus);
    view_->setMinimumHeight(fontMetrics().height() * 12);

    // The table and the plot share the height; the user moves the line between.
    auto* plotPane = new QWidget(this);
    auto* plotLayout = new QVBoxLayout(plotPane);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    plotLayout->addLayout(plotRow);
    plotLayout->addWidget(view_, 1);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(table_);
    split->addWidget(plotPane);
    split->setChildrenCollapsible(false);

    copy_ = new QPushButton(QStringLiteral("&Copy"), this);
    copy_->setToolTip(QStringLiteral("Copy the table as tab-separated text, every number in full"));
    close_ = new QPushButton(QStringLiteral("C&lose"), this);
    copy_->setAutoDefault(false);
    close_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(stale_);
    layout->addWidget(note_);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);

    connect(plottedBox_, &QLineEdit::textChanged, this, &DynamicModesWindow::OnPlottedChanged);
    const auto copy = [this] {
        if (model_->view()) QGuiApplication::clipboard()->setText(Text(DynamicModesTsv(*model_->view())));
    };
    connect(copy_, &QPushButton::clicked, this, copy);
    connect(new QShortcut(QKeySequence::Copy, this), &QShortcut::activated, this, copy);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);

    ApplyPalette();
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    resize(BoundedToScreen(*this, QSize(em * 80, fontMetrics().height() * 48)));
}

DynamicModesWindow::~DynamicModesWindow() = default;

void DynamicModesWindow::ShowModes(std::shared_ptr<const DynamicModesView> view, bool stale)
{
    model_->Show(view);
    note_->setText(view ? Text(DynamicModesNote(*view))
                        : QStringLiteral("The last calculation has no modes: neither M, \u2212M, K nor \u2212K is "
                                         "definite beyond rounding, or nothing was computed."));
    copy_->setEnabled(view != nullptr);
    table_->resizeColumnsToContents();
    table_->scrollToTop();
    SetStale(stale);
    OnPlottedChanged();
}

void DynamicModesWindow::SetStale(bool stale) { stale_->setVisible(stale && model_->view()); }

void DynamicModesWindow::OnPlottedChanged()
{
    plottedNote_->clear();
    if (!model_->view()) {
        plotted_.clear();
        Plot();
        return;
    }
    const int n = model_->view()->result.n;
    std::string error;
    std::vector<int> chosen = ModeListOf(plottedBox_->text().toStdString(), n, error);
    if (error.empty()) {
        plotted_ = std::move(chosen);
    } else {
        // The plot as it was while the text is being typed; after a new
        // calculation with fewer modes, what it has of them.
        plottedNote_->setText(QStringLiteral("Not plotted: ") + Text(error) + QLatin1Char('.'));
        std::erase_if(plotted_, [n](int k) { return k > n; });
        for (int k = 1; plotted_.empty() && k <= std::min(n, FirstCount); ++k) plotted_.push_back(k);
    }
    Plot();
}

void DynamicModesWindow::Plot()
{
    chart_->removeAllSeries();
    const bool any = model_->view() != nullptr && !plotted_.empty();
    dof_->setVisible(any);  // no empty frame where there is nothing to draw
    amplitude_->setVisible(any);
    if (any) {
        const DynamicModalResult& result = model_->view()->result;
        for (const int k : plotted_) {
            auto* series = new QLineSeries;
            series->setName(Text(DynamicModeLegend(result, k - 1)));
            series->setPointsVisible(result.n <= MostMarked);
            const std::vector<double> shape = PlottedShape(result, k - 1);
            QList<QPointF> points;
            points.reserve(static_cast<qsizetype>(shape.size()));
            for (std::size_t i = 0; i < shape.size(); ++i) points.append(QPointF(static_cast<double>(i + 1), shape[i]));
            series->replace(points);
            chart_->addSeries(series);
            series->attachAxis(dof_);
            series->attachAxis(amplitude_);
        }
        dof_->setRange(0.75, result.n + 0.25);  // room for the end points' markers
        dof_->setTickInterval(DofTickInterval(result.n));
    }
    ApplyPalette();  // the new series take the theme's colours
}

void DynamicModesWindow::ApplyPalette()
{
    StyleModeChart(chart_, view_, {dof_, amplitude_}, palette(), font());
    // The 90 % cells tinted towards the selection's colour, readable on light and dark alike.
    const QColor base = palette().color(QPalette::Base), mark = palette().color(QPalette::Highlight);
    const auto mix = [](int a, int b) { return (a * 2 + b) / 3; };
    model_->SetHighlight(QColor(mix(base.red(), mark.red()), mix(base.green(), mark.green()), mix(base.blue(), mark.blue())));
}

void DynamicModesWindow::changeEvent(QEvent* event)
{
    if ((event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) && view_ != nullptr) ApplyPalette();
    QDialog::changeEvent(event);
}

}  // namespace varno::ui
