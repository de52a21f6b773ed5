#include "ui/model_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "ui/cell_text.h"
#include "ui/dialog_units.h"
#include "ui/dynamic_modes_window.h"
#include "ui/matrix_table_model.h"
#include "ui/report_window.h"

namespace varno::ui {
namespace {

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

// A header that can say how wide its widest title is, all of them
// measured: the view's own hint samples a few hundred.
class FittedHeader final : public QHeaderView {
public:
    using QHeaderView::QHeaderView;
    int widest() const
    {
        int width = 0;
        for (int section = 0; section < count(); ++section) width = std::max(width, sectionSizeFromContents(section).width());
        return width;
    }
};

}  // namespace

ModelWindow::ModelWindow(ImportedModel model, ModelOrigin origin, ReportChannel& channel, QWidget* parent)
    : QDialog(parent), channel_(channel)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);
    sizeText_ = ModelSizeLine(model.n, origin.k, origin.m, origin.dof);
    setWindowTitle(QStringLiteral("%1 and %2 \u2013 varno").arg(FromStd(origin.k), FromStd(origin.m)));
    directions_ = DirectionsOfLabels(model.labels, model.n);
    k_ = new MatrixTableModel(Which::K, std::move(model.k), model.labels, this);
    m_ = new MatrixTableModel(Which::M, std::move(model.m), model.labels, this);

    size_ = new QLabel(FromStd(sizeText_ + "."), this);
    size_->setWordWrap(true);
    size_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* hint = new QLabel(QStringLiteral("Edit the upper triangle; the lower one mirrors it. Ctrl+V pastes a whole "
                                           "matrix as rows, its entries separated by blanks, tabs or commas."),
                            this);
    hint->setWordWrap(true);
    kTable_ = NewTable(k_, QStringLiteral("K, the stiffness matrix"));
    mTable_ = NewTable(m_, QStringLiteral("M, the mass matrix"));
    tabs_ = new QTabWidget(this);
    tabs_->addTab(kTable_, QStringLiteral("&K (stiffness)"));
    tabs_->addTab(mTable_, QStringLiteral("M (&mass)"));
    everyDigit_ = new QCheckBox(QStringLiteral("Show every &digit"), this);
    everyDigit_->setToolTip(QStringLiteral("Each value in full in its cell; the tooltip always gives it whole"));
    misread_ = new QLabel(this);
    misread_->setWordWrap(true);
    misread_->setTextFormat(Qt::PlainText);
    misread_->hide();

    progressRow_ = new QWidget(this);
    progressText_ = new QLabel(QStringLiteral("Calculating the eigenvalues and modes of %1 degrees of freedom\u2026").arg(model.n), progressRow_);
    progress_ = new QProgressBar(progressRow_);
    progress_->setRange(0, 0);  // no share of the work can be told: it moves while the work goes on
    progress_->setAccessibleName(QStringLiteral("Calculating"));
    progress_->setTextVisible(false);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), progressRow_);
    cancel_->setToolTip(QStringLiteral("Stop waiting for the calculation (Escape)"));
    cancel_->setAutoDefault(false);
    auto* progressLayout = new QHBoxLayout(progressRow_);
    progressLayout->setContentsMargins(0, 0, 0, 0);
    progressLayout->addWidget(progressText_);
    progressLayout->addWidget(progress_, 1);
    progressLayout->addWidget(cancel_);
    progressRow_->hide();

    modes_ = new QPushButton(QStringLiteral("M&odes\u2026"), this);
    modes_->setEnabled(false);
    modes_->setToolTip(QStringLiteral("Frequencies, participation and shapes of the last calculation"));
    calculate_ = new QPushButton(QStringLiteral("&Calculate"), this);
    close_ = new QPushButton(QStringLiteral("C&lose"), this);
    for (QPushButton* button : {modes_, close_}) button->setAutoDefault(false);
    calculate_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(everyDigit_);
    buttons->addStretch(1);
    buttons->addWidget(modes_);
    buttons->addWidget(calculate_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(size_);
    layout->addWidget(hint);
    layout->addWidget(tabs_, 1);
    layout->addWidget(misread_);
    layout->addWidget(progressRow_);
    layout->addLayout(buttons);

    connect(everyDigit_, &QCheckBox::toggled, this, [this](bool every) {
        for (MatrixTableModel* matrix : {k_, m_}) matrix->SetEveryDigit(every);
        for (QTableView* table : {kTable_, mTable_}) FitColumns(table);
    });
    for (MatrixTableModel* matrix : {k_, m_})
        connect(matrix, &MatrixTableModel::edited, this, [this] {
            ShowMisreads();
            stale_ = true;
            if (modesWindow_ != nullptr) modesWindow_->SetStale(true);
        });
    connect(calculate_, &QPushButton::clicked, this, &ModelWindow::Calculate);
    connect(cancel_, &QPushButton::clicked, this, &ModelWindow::Cancel);
    connect(modes_, &QPushButton::clicked, this, &ModelWindow::OpenModes);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);

    ApplyColours();
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    resize(BoundedToScreen(*this, QSize(em * 90, fontMetrics().height() * 44)));
}

ModelWindow::~ModelWindow() = default;

ReportWindow* ModelWindow::reportWindow() const { return report_; }

DynamicModesWindow* ModelWindow::modesWindow() const { return modesWindow_; }

QTableView* ModelWindow::NewTable(MatrixTableModel* model, const QString& name)
{
    auto* table = new QTableView(this);
    table->setHorizontalHeader(new FittedHeader(Qt::Horizontal, table));
    table->setVerticalHeader(new FittedHeader(Qt::Vertical, table));
    table->setModel(model);
    table->setAccessibleName(name);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setWordWrap(false);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Paste and its menu: the whole matrix first, as the grid's cells take it.
    auto* pasteKey = new QShortcut(QKeySequence::Paste, table, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(pasteKey, &QShortcut::activated, this, &ModelWindow::Paste);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this, [this, table](const QPoint& at) {
        QMenu menu(table);
        QAction* paste = menu.addAction(QStringLiteral("&Paste"));
        paste->setEnabled(!job_.running());
        connect(paste, &QAction::triggered, this, &ModelWindow::Paste);
        menu.exec(table->viewport()->mapToGlobal(at));
    });
    FitColumns(table);
    return table;
}

void ModelWindow::FitColumns(QTableView* table)
{
    const auto* model = static_cast<const MatrixTableModel*>(table->model());
    // The widest a value can be shown: its sign, the digits and an exponent of three.
    const QString widest = model->everyDigit() ? QStringLiteral("-1.2345678901234567e-308") : QStringLiteral("-8.88888e-308");
    const int margin = 2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
    const int cell = table->fontMetrics().horizontalAdvance(widest) + margin + table->fontMetrics().averageCharWidth();
    auto* columns = static_cast<FittedHeader*>(table->horizontalHeader());
    columns->setDefaultSectionSize(std::max(cell, columns->widest()));
    auto* rows = static_cast<FittedHeader*>(table->verticalHeader());
    rows->setMinimumWidth(rows->widest());
}

void ModelWindow::ApplyColours()
{
    const QPalette colours = palette();
    for (MatrixTableModel* model : {k_, m_})
        model->SetColours(MarkTint(colours.color(QPalette::Base)), colours.color(QPalette::Disabled, QPalette::Text));
}

void ModelWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && k_ != nullptr) ApplyColours();
    if (event->type() == QEvent::FontChange && kTable_ != nullptr)
        for (QTableView* table : {kTable_, mTable_}) FitColumns(table);
    QDialog::changeEvent(event);
}

MatrixTableModel* ModelWindow::Shown() const { return tabs_->currentIndex() == 0 ? k_ : m_; }

void ModelWindow::ShowMisreads()
{
    std::vector<TypedTexts::Misread> named = k_->Misreads(MostNamed);
    for (const TypedTexts::Misread& m : m_->Misreads(MostNamed)) named.push_back(m);
    if (named.size() > MostNamed) named.resize(MostNamed);
    const QString line = FromStd(MisreadSummary(named, k_->misreadCount() + m_->misreadCount()));
    misread_->setText(line);
    misread_->setAccessibleName(line);
    misread_->setVisible(!line.isEmpty());
}

void ModelWindow::Paste()
{
    if (job_.running()) return;
    MatrixTableModel* model = Shown();
    QTableView* table = model == k_ ? kTable_ : mTable_;
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    const QModelIndex at = table->currentIndex();
    if (IsSingleEntry(text)) {
        if (at.isValid() && (model->flags(at) & Qt::ItemIsEditable)) model->setData(at, QString::fromStdString(text).trimmed());
        return;
    }
    const int n = model->values().n;
    const char name = model->which() == Which::K ? 'K' : 'M';
    const std::optional<PastedMatrix> pasted = reading_.Run<PastedMatrix>(
        [text, n, name](const std::atomic<bool>&) { return ReadMatrixRows(text, n, name); }, BackgroundWork::OnStop::Abandon);
    if (!pasted) return;
    if (!pasted->ok()) {
        channel_.ShowMessage(pasted->error);
        return;
    }
    model->Replace(*pasted);
}

bool ModelWindow::Calculate()
{
    auto pencil = std::make_shared<SymmetricPencil>(SymmetricPencil{k_->values(), m_->values()});
    const bool started = job_.Start<ModelCalculation>(
        [pencil, directions = directions_] { return CalculateModel(*pencil, directions); },
        [this](std::optional<ModelCalculation> result) { Calculated(std::move(result)); });
    if (started) {
        stale_ = false;
        SetRunning(true);
    }
    return started;
}

void ModelWindow::Cancel()
{
    job_.Cancel();
    SetRunning(false);
}

void ModelWindow::SetRunning(bool running)
{
    for (MatrixTableModel* model : {k_, m_}) model->SetLocked(running);
    progressRow_->setVisible(running);
    calculate_->setEnabled(!running);
    if (running) {
        cancel_->setFocus();
    } else if (cancel_->hasFocus()) {
        tabs_->currentWidget()->setFocus();
    }
}

void ModelWindow::Calculated(std::optional<ModelCalculation> result)
{
    SetRunning(false);
    if (!result) {
        channel_.ShowMessage("Not enough memory is left to calculate " + std::to_string(k_->values().n) +
                             " degrees of freedom.");
        return;
    }
    modesView_.reset();
    if (result->modes) modesView_ = std::make_shared<const DynamicModesView>(std::move(*result->modes));
    modes_->setEnabled(modesView_ != nullptr);
    if (modesWindow_ != nullptr) modesWindow_->ShowModes(modesView_, stale_);
    const DynamicCalculation& c = result->calculation;
    if (!c.report) {
        channel_.ShowMessage(c.message);
        return;
    }
    if (report_ == nullptr) report_ = new ReportWindow(this);
    report_->ShowReport(FromStd("The eigenvalues of " + sizeText_ + "."), c.message);
    report_->show();
    report_->raise();
    report_->activateWindow();
}

void ModelWindow::OpenModes()
{
    if (modesWindow_ == nullptr) modesWindow_ = new DynamicModesWindow(this);
    modesWindow_->ShowModes(modesView_, stale_);
    modesWindow_->show();
    modesWindow_->raise();
    modesWindow_->activateWindow();
}

void ModelWindow::reject()
{
    if (job_.running()) {
        Cancel();
        return;
    }
    QDialog::reject();
}

void ModelWindow::closeEvent(QCloseEvent* event)
{
    // The calculation runs on unseen and its result is dropped: it owns what it uses.
    job_.Cancel();
    QDialog::closeEvent(event);
}

}  // namespace varno::ui
