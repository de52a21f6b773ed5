#include "ui/modes_window.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <iterator>
#include <cmath>

#include "core/number_text.h"
#include "ui/dialog_units.h"
#include "ui/mode_chart.h"

namespace varno::ui {
namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

// Directions in the order of the choice lists: those ground motion drives, then none.
constexpr Direction Choices[] = {Direction::X,  Direction::Y,  Direction::Z,   Direction::RX,
                                 Direction::RY, Direction::RZ, Direction::None};

// A table that shows every cell, without scroll bars of its own: the window
// scrolls instead.
QTableWidget* NewTable(QWidget* parent, const QString& name)
{
    auto* table = new QTableWidget(parent);
    table->setAccessibleName(name);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setTabKeyNavigation(false);  // Tab leaves the table; arrows move within it
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return table;
}

void Fill(QTableWidget* table, const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows)
{
    QStringList titles;
    for (const std::string& title : header) titles << Text(title);
    table->setRowCount(0);
    table->setColumnCount(static_cast<int>(titles.size()));
    table->setHorizontalHeaderLabels(titles);
    table->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            auto* item = new QTableWidgetItem(Text(rows[r][c]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
}

// Every cell in sight: the table asks for its whole size, and the window grows to it.
void FitTable(QTableWidget* table)
{
    // Each column as wide as its cells and its title; resizeColumnsToContents
    // leaves the stretching last one's title out.
    table->resizeColumnsToContents();
    table->resizeRowsToContents();
    int width = 2 * table->frameWidth();
    for (int c = 0; c < table->columnCount(); ++c) {
        const int column = std::max(table->columnWidth(c), table->horizontalHeader()->sectionSizeHint(c));
        table->setColumnWidth(c, column);
        width += column;
    }
    int height = table->horizontalHeader()->sizeHint().height() + 2 * table->frameWidth();
    for (int r = 0; r < table->rowCount(); ++r) height += table->rowHeight(r);
    table->setMinimumWidth(width);
    table->setFixedHeight(height);


}

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
    stale_ = new QLabel(QStringLiteral("The matrices have changed since this calculation: press Calculate for "
                                       "the modes of the problem as it now is."),
                        contents_);
    stale_->setWordWrap(true);
    stale_->setObjectName(QStringLiteral("staleNote"));
    QFont bold = stale_->font();
    bold.setBold(true);
    stale_->setFont(bold);
    stale_->hide();

    // The choices, each named for screen readers; their values are kept while the program runs.
    controls_ = new QWidget(contents_);
    directionRow_ = new QWidget(controls_);
    auto* directionLayout = new QHBoxLayout(directionRow_);
    directionLayout->setContentsMargins(0, 0, 0, 0);
    directionLayout->addStretch(1);
    normalisation_ = new QComboBox(controls_);
    normalisation_->setAccessibleName(QStringLiteral("Normalisation of the shapes"));
    normalisationNote_ = new QLabel(controls_);
    normalisationNote_->setWordWrap(true);
    auto* shapesRow = new QHBoxLayout;
    shapesRow->addWidget(normalisation_);
    shapesRow->addWidget(normalisationNote_, 1);
    auto* form = new QFormLayout(controls_);
    form->setContentsMargins(0, 0, 0, 0);
    auto* directionsLabel = new QLabel(QStringLiteral("&Directions:"), controls_);
    directionsLabel->setToolTip(QStringLiteral("The direction ground motion drives each degree of freedom in "
                                               "(r = 1 there; no lever arms for a rotation)"));
    form->addRow(directionsLabel, directionRow_);
    auto* shapesLabel = new QLabel(QStringLiteral("&Shapes:"), controls_);
    shapesLabel->setBuddy(normalisation_);
    form->addRow(shapesLabel, shapesRow);
    // The label's mnemonic goes to the first direction box once there is one.
    directionsLabel->setObjectName(QStringLiteral("directionsLabel"));

    rayleigh_ = new QGroupBox(QStringLiteral("Rayleigh damping, C = a0 M + a1 K"), contents_);
    modeI_ = new QSpinBox(rayleigh_);
    modeJ_ = new QSpinBox(rayleigh_);
    zetaI_ = new QLineEdit(QStringLiteral("0.05"), rayleigh_);
    zetaJ_ = new QLineEdit(QStringLiteral("0.05"), rayleigh_);
    modeI_->setAccessibleName(QStringLiteral("First mode"));
    modeJ_->setAccessibleName(QStringLiteral("Second mode"));
    zetaI_->setAccessibleName(QStringLiteral("Damping ratio of the first mode"));
    zetaJ_->setAccessibleName(QStringLiteral("Damping ratio of the second mode"));
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    for (QLineEdit* zeta : {zetaI_, zetaJ_}) zeta->setFixedWidth(em * 5);
    rayleighResult_ = new QLabel(rayleigh_);
    rayleighResult_->setWordWrap(true);
    rayleighResult_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* modesLabel = new QLabel(QStringLiteral("M&odes"), rayleigh_);
    modesLabel->setBuddy(modeI_);
    auto* zetaLabel = new QLabel(QString::fromUtf8("\u03b6 (&ratio)"), rayleigh_);
    zetaLabel->setBuddy(zetaI_);
    auto* rayleighLayout = new QHBoxLayout(rayleigh_);
    for (QWidget* w : std::initializer_list<QWidget*>{modesLabel, modeI_, modeJ_, zetaLabel, zetaI_, zetaJ_})
        rayleighLayout->addWidget(w);
    rayleighLayout->addWidget(rayleighResult_, 1);

    table_ = NewTable(contents_, QStringLiteral("Modes"));
    participation_ = NewTable(contents_, QStringLiteral("Participation by direction"));
    tableNote_ = new QLabel(contents_);
    tableNote_->setWordWrap(true);
    shapes_ = NewTable(contents_, QString::fromUtf8(ModeShapesName) + QStringLiteral(" in numbers"));

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
    saveTable_ = new QPushButton(QString::fromUtf8("Save &Table\u2026"), this);
    save_ = new QPushButton(QString::fromUtf8("Save &Plot\u2026"), this);
    close_ = new QPushButton(QStringLiteral("C&lose"), this);
    for (QPushButton* button : {copy_, saveTable_, save_, close_}) button->setAutoDefault(false);
    close_->setDefault(true);
    copy_->setToolTip(QStringLiteral("Copy the tables, the total masses and the normalisation as tab-separated text"));
    saveTable_->setToolTip(QStringLiteral("Save the tables as CSV"));
    save_->setToolTip(QStringLiteral("Save the plot as PNG, at twice the window's size or more, or as SVG"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy_);
    buttons->addWidget(saveTable_);
    buttons->addWidget(save_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* inner = new QVBoxLayout(contents_);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(stale_);
    inner->addWidget(note_);
    inner->addWidget(controls_);
    inner->addWidget(rayleigh_);
    inner->addWidget(table_);
    inner->addWidget(participation_);
    inner->addWidget(tableNote_);
    inner->addWidget(shapes_);
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

    setTabOrder(normalisation_, modeI_);
    setTabOrder(modeI_, modeJ_);
    setTabOrder(modeJ_, zetaI_);
    setTabOrder(zetaI_, zetaJ_);
    setTabOrder(zetaJ_, table_);
    setTabOrder(table_, participation_);
    setTabOrder(participation_, shapes_);
    setTabOrder(shapes_, copy_);
    setTabOrder(copy_, saveTable_);
    setTabOrder(saveTable_, save_);
    setTabOrder(save_, close_);

    desktopPrompts_ = std::make_unique<DesktopExportPrompts>(this);
    prompts_ = desktopPrompts_.get();
    connect(normalisation_, &QComboBox::currentIndexChanged, this, &ModesWindow::OnSettingsChanged);
    connect(modeI_, &QSpinBox::valueChanged, this, &ModesWindow::OnSettingsChanged);
    connect(modeJ_, &QSpinBox::valueChanged, this, &ModesWindow::OnSettingsChanged);
    connect(zetaI_, &QLineEdit::textChanged, this, &ModesWindow::OnSettingsChanged);
    connect(zetaJ_, &QLineEdit::textChanged, this, &ModesWindow::OnSettingsChanged);
    connect(copy_, &QPushButton::clicked, this, &ModesWindow::OnCopy);
    connect(saveTable_, &QPushButton::clicked, this, &ModesWindow::OnSaveTable);
    connect(save_, &QPushButton::clicked, this, &ModesWindow::OnSavePlot);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    auto* copyKey = new QShortcut(QKeySequence::Copy, this);
    connect(copyKey, &QShortcut::activated, this, &ModesWindow::OnCopy);

    ApplyPalette();
    resize(BoundedToScreen(*this, QSize(em * 64, fontMetrics().height() * 36)));
}

ModesWindow::~ModesWindow() = default;

void ModesWindow::setPrompts(ExportPrompts* prompts) { prompts_ = prompts != nullptr ? prompts : desktopPrompts_.get(); }

void ModesWindow::SetStale(bool stale)
{
    stale_->setVisible(stale && shown_ && shown_->result);
}

void ModesWindow::SetDirections(std::vector<Direction> directions)
{
    settings_.directions = std::move(directions);
    if (!shown_ || !shown_->result) return;
    SetControls(shown_->result->n);
    ShowTables();
}

void ModesWindow::FitContents()
{
    // Once shown it keeps its place and size, so that what the user points
    // at stays under the pointer: the contents scroll instead.
    if (shownBefore_) return;
    // What the contents need beside the scroll area: the margins, the
    // buttons and the spacing between; the tables' new sizes counted in.
    const QMargins margins = layout()->contentsMargins();
    const QSize buttons = layout()->itemAt(1)->sizeHint();
    const QSize inner = contents_->minimumSizeHint();
    const int bar = scroll_->verticalScrollBar()->sizeHint().width();
    const int innerWidth = std::max({inner.width(), buttons.width(), width() - margins.left() - margins.right()});
    // Wrapped notes take more lines the narrower they are: the height is
    // the one at the width the contents will have.
    const int innerHeight = std::max(inner.height(), contents_->heightForWidth(innerWidth));
    const QSize wanted(innerWidth + margins.left() + margins.right(),
                       innerHeight + buttons.height() + layout()->spacing() + margins.top() + margins.bottom());
    QSize fitted = BoundedToScreen(*this, size().expandedTo(wanted));
    // Cut short in height: the contents scroll, and their bar must not hide the table's last column.
    if (fitted.height() < wanted.height()) fitted = BoundedToScreen(*this, fitted + QSize(bar, 0));
    resize(fitted);
}

void ModesWindow::ShowModes(const ModesView& view)
{
    shown_ = view;
    stale_->hide();  // a new calculation: what the problem now gives
    note_->setText(Text(view.note));
    const bool any = view.result.has_value();
    for (QWidget* w : {controls_, static_cast<QWidget*>(participation_), static_cast<QWidget*>(tableNote_),
                       static_cast<QWidget*>(shapes_)})
        w->setVisible(any);
    // Damping needs frequencies: a buckling pencil has none to give.
    rayleigh_->setVisible(any && view.result->massDefinite);
    copy_->setEnabled(any);
    saveTable_->setEnabled(any);
    save_->setEnabled(any);
    if (any) SetControls(view.result->n);
    ShowTables();
}

void ModesWindow::SetControls(int n)
{
    settingControls_ = true;
    const auto count = static_cast<std::size_t>(n);
    auto* row = static_cast<QHBoxLayout*>(directionRow_->layout());
    while (directionBoxes_.size() < count) {
        auto* box = new QComboBox(directionRow_);
        for (const Direction d : Choices) box->addItem(Text(std::string(DirectionLabel(d))));
        box->setAccessibleName(QStringLiteral("Direction of degree of freedom %1").arg(directionBoxes_.size() + 1));
        box->setToolTip(box->accessibleName());
        row->insertWidget(static_cast<int>(directionBoxes_.size()), box);
        if (directionBoxes_.empty()) {
            if (auto* label = controls_->findChild<QLabel*>(QStringLiteral("directionsLabel"))) label->setBuddy(box);
            setTabOrder(box, normalisation_);
        } else {
            setTabOrder(directionBoxes_.back(), box);
            setTabOrder(box, normalisation_);
        }
        connect(box, &QComboBox::currentIndexChanged, this, &ModesWindow::OnSettingsChanged);
        directionBoxes_.push_back(box);
    }
    settings_.directions.resize(std::max(settings_.directions.size(), count), Direction::X);
    for (std::size_t i = 0; i < directionBoxes_.size(); ++i) {
        directionBoxes_[i]->setVisible(i < count);
        if (i >= count) continue;
        const auto chosen = std::find(std::begin(Choices), std::end(Choices), settings_.directions[i]);
        directionBoxes_[i]->setCurrentIndex(static_cast<int>(chosen - std::begin(Choices)));
    }
    // Each choice carries its kind and degree of freedom. Without masses
    // there is no scaling by mass: its shapes have a largest component of 1.
    const bool mass = shown_ && shown_->result && shown_->result->massDefinite;
    normalisation_->clear();
    if (mass) normalisation_->addItem(QString::fromUtf8("By mass"), QVariant::fromValue(0));
    normalisation_->addItem(QStringLiteral("Largest component = 1"), QVariant::fromValue(-1));
    for (int i = 1; i <= n; ++i) normalisation_->addItem(QStringLiteral("Degree of freedom %1 = 1").arg(i), QVariant::fromValue(i));
    Normalisation& how = settings_.normalisation;
    if (how.kind == NormalisationKind::Dof && how.dof > n) how = Normalisation{};  // the roof is gone with n
    const int code = how.kind == NormalisationKind::Mass ? (mass ? 0 : -1) : how.kind == NormalisationKind::Largest ? -1 : how.dof;
    normalisation_->setCurrentIndex(std::max(0, normalisation_->findData(QVariant::fromValue(code))));
    for (QSpinBox* mode : {modeI_, modeJ_}) mode->setRange(1, n);
    modeI_->setValue(settings_.rayleigh.i);
    modeJ_->setValue(settings_.rayleigh.j);
    settingControls_ = false;
}

void ModesWindow::OnSettingsChanged()
{
    if (settingControls_ || !shown_ || !shown_->result) return;
    const auto n = static_cast<std::size_t>(shown_->result->n);
    const std::vector<Direction> before = settings_.directions;
    for (std::size_t i = 0; i < n; ++i)
        settings_.directions[i] = Choices[static_cast<std::size_t>(std::max(0, directionBoxes_[i]->currentIndex()))];
    if (settings_.directions != before && onDirectionsChanged) onDirectionsChanged(settings_.directions);
    const int chosen = normalisation_->currentData().toInt();
    settings_.normalisation = chosen == 0   ? Normalisation{}
                              : chosen < 0 ? Normalisation{NormalisationKind::Largest, 1}
                                           : Normalisation{NormalisationKind::Dof, chosen};
    settings_.rayleigh = {modeI_->value(), modeJ_->value(), RatioOfText(zetaI_->text().toStdString()),
                          RatioOfText(zetaJ_->text().toStdString())};
    ShowTables();
}

void ModesWindow::ShowTables()
{
    chart_->removeAllSeries();
    table_->setRowCount(0);
    participation_->setRowCount(0);
    shapes_->setRowCount(0);
    tables_.reset();
    const bool any = shown_ && shown_->result;
    dof_->setVisible(any);  // no empty frame where there is nothing to draw
    amplitude_->setVisible(any);
    if (any) {
        tables_ = TablesOf(*shown_, settings_);
        const ModalTables& t = *tables_;
        const std::string mass = MassNote(t);
        // Without masses, why first, then the critical load factor.
        const std::string& why = shown_->note;
        const bool first = t.result.massDefinite;
        note_->setText(Text(mass.empty() || why.empty() ? mass + why : first ? mass + " " + why : why + " " + mass));
        // Copied and saved as one table, a row a mode; shown as two, the
        // participation beside its mode numbers, so that the window stays
        // narrow enough for a screen with several directions.
        const std::vector<std::string> header = ModesHeader(t);
        const auto rows = ModesRows(t, NotDefinedText);
        const auto split = static_cast<std::ptrdiff_t>(FirstDirectionColumn(t));
        std::vector<std::vector<std::string>> modes, participation;
        for (const auto& row : rows) {
            modes.emplace_back(row.begin(), row.begin() + split);
            participation.push_back({row.front()});
            participation.back().insert(participation.back().end(), row.begin() + split, row.end());
        }
        Fill(table_, {header.begin(), header.begin() + split}, modes);
        std::vector<std::string> byDirection = {header.front()};
        byDirection.insert(byDirection.end(), header.begin() + split, header.end());
        Fill(participation_, byDirection, participation);
        participation_->setVisible(!t.byDirection.empty());
        // Each direction's first mode to reach 90 %: bold, and said so in words too.
        for (std::size_t d = 0; d < t.byDirection.size(); ++d) {
            const int k = t.byDirection[d].reaches90;
            if (k == 0) continue;
            QTableWidgetItem* item = participation_->item(k - 1, CumulativeColumn(t, d) - static_cast<int>(split) + 1);
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
            item->setToolTip(QStringLiteral("90 % of %1 reached").arg(Text(std::string(DirectionLabel(t.byDirection[d].direction)))));
        }
        Fill(shapes_, ShapesHeader(t), ShapesRows(t));
        QString shapesNote = Text(NormalisationText(t)) + QLatin1Char('.');
        if (!t.normalisationError.empty())
            shapesNote = QStringLiteral("Not possible: ") + Text(t.normalisationError) + QStringLiteral(". Instead: ") + shapesNote;
        normalisationNote_->setText(shapesNote);
        if (t.damping.ok())
            rayleighResult_->setText(QStringLiteral("a0 = %1 1/s, a1 = %2 s; \u03b6 of every mode in the table.")
                                         .arg(Text(FormatG(t.damping.a0, 0, 6)), Text(FormatG(t.damping.a1, 0, 6))));
        else
            rayleighResult_->setText(QStringLiteral("Not possible: ") + Text(t.damping.error) + QLatin1Char('.'));
        QString below;
        if (!t.byDirection.empty())
            below = QStringLiteral("Bold: the first mode at which a direction's cumulative share reaches 90 %. "
                                   "Effective masses do not depend on the normalisation; the participation "
                                   "factors \u0393 follow it.");
        for (const DirectionParticipation& d : t.byDirection)
            below += QStringLiteral(" %1: total mass %2 %4, effective masses added up %3 %4.")
                         .arg(Text(std::string(DirectionLabel(d.direction))), Text(FormatG(d.totalMass, 0, 6)),
                              Text(FormatG(d.sum, 0, 6)), Text(MassUnit(d.direction)));
        tableNote_->setText(below.trimmed());
        tableNote_->setVisible(!below.isEmpty());

        const int n = t.result.n;
        double largest = 0.0;
        for (int k = 1; k <= n; ++k) {
            auto* series = new QLineSeries;
            series->setName(Text(ModeLegend(t.result, k)));
            series->setPointsVisible(true);
            for (int i = 0; i < n; ++i) {
                const double x = ShapeComponent(t.result, t.shapes, k - 1, i);
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
        // A little beyond the largest component, so that its marker shows whole.
        amplitude_->setRange(-1.05 * largest, 1.05 * largest);
        amplitude_->setTickCount(5);
        amplitude_->applyNiceNumbers();
        const double reach = std::max(std::fabs(amplitude_->min()), std::fabs(amplitude_->max()));
        amplitude_->setRange(-reach, reach);
    }
    FitTables();
    ApplyPalette();  // the new series take the theme's colours
}

void ModesWindow::FitTables()
{
    for (QTableWidget* table : {table_, participation_, shapes_}) FitTable(table);
    FitContents();
}

void ModesWindow::showEvent(QShowEvent* event)
{
    // The titles are measured anew: until the window is first shown, the
    // header's font and margins may not yet be the style's.
    FitTables();
    shownBefore_ = true;
    QDialog::showEvent(event);
}

void ModesWindow::ApplyPalette() { StyleModeChart(chart_, view_, {dof_, amplitude_}, palette(), font()); }

void ModesWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) ApplyPalette();
    QDialog::changeEvent(event);
}

}  // namespace varno::ui
