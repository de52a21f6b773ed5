#include "ui/main_dialog.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>
#include <type_traits>

#include "core/form.h"
#include "core/matrix_store.h"
#include "core/model_import.h"
#include "core/number_text.h"
#include "core/order.h"
#include "core/version.h"
#include "driver/calculate.h"
#include "ui/cell_text.h"
#include "ui/dialog_units.h"
#include "ui/grid_widgets.h"
#include "ui/help_window.h"
#include "ui/modes_window.h"
#include "ui/prompts.h"

// Resources of a static library must be registered by hand, outside any
// namespace.
static void RegisterResources() { Q_INIT_RESOURCE(resources); }

namespace varno::ui {
namespace {

constexpr int NoId = -1;

void InitResources()
{
    static const bool done = (RegisterResources(), true);
    (void)done;
}

// The equation picture is stored as a black shape on transparency and
// coloured with the palette's text colour, so it reads on light and dark
// themes alike.
QPixmap EquationPixmap(const QColor& colour)
{
    QPixmap mask(QStringLiteral(":/varno/equation.png"));
    QPixmap tinted(mask.size());
    tinted.setDevicePixelRatio(mask.devicePixelRatio());
    tinted.fill(Qt::transparent);
    QPainter painter(&tinted);
    painter.drawPixmap(0, 0, mask);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), mask.size()), colour);
    return tinted;
}

// A misread cell's background: the theme's own, tinted towards red, so the
// mark reads on light and dark themes alike and the text keeps its colour.
QColor MarkTint(const QColor& base)
{
    const QColor red(220, 30, 30);
    const auto mix = [](int a, int b) { return (a * 7 + b * 3) / 10; };
    return QColor(mix(base.red(), red.red()), mix(base.green(), red.green()), mix(base.blue(), red.blue()));
}

// Passes every message on, after telling the dialog once, before the first
// box opens, whether it is an eigenvalue report: what follows the
// calculation (the Modes window) is then up to date while the box is open.
class AnnouncingChannel final : public ReportChannel {
public:
    AnnouncingChannel(ReportChannel& target, std::function<void(bool report)> before)
        : target_(target), before_(std::move(before))
    {
    }
    void ShowMessage(const std::string& text) override
    {
        Announce(false);
        target_.ShowMessage(text);
    }
    void ShowReport(const std::string& text, std::span<const Eigenvalue> values, ReportForm form) override
    {
        Announce(true);
        target_.ShowReport(text, values, form);
    }
    void ShowRefusal(const std::string& text) override
    {
        Announce(false);
        target_.ShowRefusal(text);
    }
    bool DefersReportText() const override { return target_.DefersReportText(); }
    bool announcedReport() const { return report_; }

private:
    void Announce(bool report)
    {
        if (announced_) return;
        announced_ = true;
        report_ = report;
        before_(report);
    }

    ReportChannel& target_;
    std::function<void(bool)> before_;
    bool announced_ = false;
    bool report_ = false;
};

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

DialogUnits TemplateUnits(const QFont& font, double pixelRatio)
{
    const QFontMetrics metrics(font);
    // Single-line texts and the widths the template gives them; buttons and
    // group-box titles need room for their frames too.
    const int button = 2 * metrics.horizontalAdvance(QLatin1Char('x'));
    const int title = 3 * metrics.horizontalAdvance(QLatin1Char('x'));
    return DialogUnits(font, {{QStringLiteral("This program calculates the eigenvalues of:"), 138},
                              {QString::fromUtf8(CreditLine), 133},
                              {QStringLiteral("Calculate"), 50, button},
                              {QStringLiteral("Select Dimension"), 66, title},
                              {QStringLiteral("Select Action"), 97, title},
                              {QStringLiteral("Edit K matrix"), 67, 2 * title},
                              {QStringLiteral("varno Version " VARNO_VERSION), 119},
                              {QString::fromUtf8(AboutSecondLine), 119}},
                       PixelStep(pixelRatio));
}

QFont CMainDialog::FittingFont() const
{
    QFont font = this->font();
    const QScreen* shown = screen();
    if (shown == nullptr || font.pointSizeF() <= 0) return font;
    // Room as BoundedToScreen leaves it: a line for the frame, three for the
    // title bar. No smaller than a line of 11 device pixels, what a screen
    // at 96 dpi shows an 8-point text in; at a scale of 2 that is 4 points.
    // Whole points: a fractional size's text can come out a pixel taller than its line.
    for (QFont smaller = font;
         smaller.pointSizeF() >= 1.0 && QFontMetrics(smaller).height() * devicePixelRatioF() >= 11.0;
         smaller.setPointSizeF(std::ceil(smaller.pointSizeF()) - 1.0)) {
        const int line = QFontMetrics(smaller).height();
        const QSize room = shown->availableGeometry().size() - QSize(line, 3 * line);
        const QSize page = TemplateUnits(smaller, devicePixelRatioF()).size(368, 290);
        if (page.width() <= room.width() && page.height() <= room.height()) return smaller;
    }
    return font;  // no size fits: the form scrolls, at its own
}

QIcon ApplicationIcon()
{
    InitResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/varno/icon16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/varno/icon32.png"), QSize(32, 32));
    return icon;
}

CMainDialog::CMainDialog(ProgramState& state, ReportChannel& channel, Prompts& prompts, AboutOpener openAbout)
    : QDialog(nullptr),
      state_(state),
      channel_(channel),
      prompts_(prompts),
      openAbout_(std::move(openAbout)),
      units_(font())
{
    InitResources();
    Build();
    OnInitDialog();
    session_.MarkSaved(state_.store);
    UpdateTitle();
}

template <class W>
W* CMainDialog::Place(W* widget, int id, int x, int y, int w, int h)
{
    int inset = 0;
    if constexpr (std::is_base_of_v<QAbstractScrollArea, W>) inset = widget->frameWidth();
    widget->setGeometry(units_.rect(x, y, w, h, inset));
    placed_.push_back(widget);
    if (id != NoId) byId_[static_cast<std::size_t>(id - id::DimensionList)] = widget;
    return widget;
}

void CMainDialog::Build()
{
    UpdateTitle();
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);
    setFont(FittingFont());
    units_ = TemplateUnits(font(), devicePixelRatioF());
    // The template keeps its size on a page of its own; the window around it
    // can be smaller (the page scrolls) or larger (it stays in the middle).
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->setFocusPolicy(Qt::NoFocus);
    page_ = new QWidget;
    page_->setFixedSize(units_.size(368, 290));
    scroll_->setWidget(page_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll_);
    setMinimumSize(units_.size(100, 60));
    // Where the screen is too small one way, room for the scroll bar the
    // other way, so that it needs no second one.
    QSize wanted = page_->size();
    const QSize fitted = BoundedToScreen(*this, wanted);
    if (fitted.height() < wanted.height()) wanted.rwidth() += scroll_->verticalScrollBar()->sizeHint().width();
    if (fitted.width() < wanted.width()) wanted.rheight() += scroll_->horizontalScrollBar()->sizeHint().height();
    resize(BoundedToScreen(*this, wanted));

    // Template order, which is also the tab order.
    calculate_ = Place(new FocusButton(QStringLiteral("Calculate"), page_), NoId, 229, 257, 50, 14);
    calculate_->setDefault(true);
    exit_ = Place(new FocusButton(QStringLiteral("Exit"), page_), NoId, 295, 258, 50, 14);
    Place(new QLabel(QStringLiteral("This program calculates the eigenvalues of:"), page_), NoId, 11, 15, 138, 8);
    auto* picture = new QLabel(page_);
    const QPixmap equation = EquationPixmap(palette().color(QPalette::WindowText));
    picture->setPixmap(equation);
    picture->setAccessibleName(QString::fromUtf8(EquationDescription));
    Place(picture, NoId, 51, 30, 51, 11);
    // A static bitmap takes the size of its picture.
    picture->resize(units_.grown(equation.deviceIndependentSize().toSize()));
    Place(new QGroupBox(page_), NoId, 7, 7, 149, 66);
    auto* where =
        Place(new QLabel(QStringLiteral("where K and M are symmetric matrices with real coefficients."), page_), NoId,
              14, 46, 136, 20);
    where->setWordWrap(true);
    where->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Place(new QGroupBox(QStringLiteral("Select Dimension"), page_), NoId, 166, 26, 66, 76);

    dimensionList_ = Place(new ChoiceList(page_), id::DimensionList, 179, 42, 37, 46);
    dimensionList_->setAccessibleName(QStringLiteral("Select Dimension"));
    const auto cellRects = [] {
        // (x, y) of each cell, row by row through the upper triangle.
        return std::array<std::pair<int, int>, 21>{{{36, 137}, {89, 137}, {141, 137}, {193, 137}, {244, 137},
                                                    {295, 137}, {89, 156}, {141, 156}, {193, 156}, {244, 156},
                                                    {295, 156}, {141, 174}, {193, 174}, {245, 174}, {295, 174},
                                                    {194, 191}, {245, 191}, {296, 191}, {245, 209}, {296, 209},
                                                    {296, 228}}};
    }();
    for (std::size_t k = 0; k < cells_.size(); ++k) {
        const int cell = id::FirstCell + static_cast<int>(k);
        auto* edit = Place(new CellEdit(page_), cell, cellRects[k].first, cellRects[k].second, 45, 14);
        edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        edit->setMaxLength(1 << 20);
        connect(edit, &QLineEdit::textChanged, this, [this, cell] { OnCellChange(cell); });
        connect(edit, &QLineEdit::textEdited, this, [this, cell](const QString& text) {
            if (state_.store.ActionIndex == 0 || state_.store.ActionIndex == 1)
                typed_.Typed(state_.store.ActionIndex == 0 ? Which::K : Which::M, cell, text.toStdString());
            ShowNote(cell);
        });
        edit->readsAsMatrix = [this](const QString& text) { return PastesAsMatrix(state_, text.toStdString()); };
        edit->pasteMatrix = [this](const QString& text) {
            // Rows that are no matrix for n never go into one cell as junk: said why, instead.
            if (const std::string why = PasteRefusal(state_, text.toStdString()); !why.empty()) {
                channel_.ShowMessage(why);
                return true;
            }
            pasting_ = true;
            const bool pasted = MatrixPasted(state_, *this, text.toStdString());
            pasting_ = false;
            return pasted;
        };
        edit->matrixText = [this] { return QString::fromStdString(ShownMatrixText(state_)); };
        cells_[k] = edit;
    }
    const int columnX[6] = {51, 103, 156, 207, 257, 308};
    const int rowY[6] = {142, 161, 180, 198, 214, 230};
    for (int k = 0; k < 6; ++k)
        Place(new QLabel(QString::number(k + 1), page_), id::FirstColumnLabel + k, columnX[k], 126, 8, 8);
    for (int k = 0; k < 6; ++k)
        Place(new QLabel(QString::number(k + 1), page_), id::FirstRowLabel + k, 17, rowY[k], 8, 8);

    actionList_ = Place(new ChoiceList(page_), id::ActionList, 258, 44, 67, 36);
    actionList_->setAccessibleName(QStringLiteral("Select Action"));
    Place(new QGroupBox(QStringLiteral("Select Action"), page_), id::ActionGroup, 243, 26, 97, 76);
    Place(new QGroupBox(QStringLiteral("Enter K matrix coefficients"), page_), id::KGroup, 7, 113, 344, 135);
    Place(new QGroupBox(QStringLiteral("Enter M matrix coefficients"), page_), id::MGroup, 7, 114, 344, 135);
    Place(new QGroupBox(page_), NoId, 7, 76, 150, 26);
    Place(new QLabel(QString::fromUtf8(CreditLine), page_), NoId, 14, 86, 133, 8);
    modes_ = Place(new FocusButton(QString::fromUtf8(ModesButtonText), page_), NoId, 163, 257, 50, 14);
    modes_->setEnabled(false);  // until a calculation has modes
    file_ = Place(new FocusButton(QString::fromUtf8(FileButtonText), page_), NoId, 7, 257, 50, 14);
    // Below the buttons, where the user looks when pressing Calculate: the
    // cells whose text is not read as typed, while there are any.
    misread_ = Place(new QLabel(page_), NoId, 7, 274, 354, 10);
    misread_->setObjectName(QStringLiteral("misreadLine"));
    BuildFileMenu();

    for (QWidget* widget : placed_) {
        // Group boxes are frames behind their contents, not containers.
        if (qobject_cast<QGroupBox*>(widget) != nullptr) {
            widget->lower();
            widget->setFocusPolicy(Qt::NoFocus);
        }
    }
    calculate_->setAccessibleName(QStringLiteral("Calculate"));
    exit_->setAccessibleName(QStringLiteral("Exit"));
    file_->setAccessibleName(QStringLiteral("File"));
    modes_->setAccessibleName(QStringLiteral("Modes"));
    for (QListWidget* list : std::initializer_list<QListWidget*>{dimensionList_, actionList_}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setSortingEnabled(true);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    QWidget* previous = calculate_;
    for (QWidget* next : std::initializer_list<QWidget*>{exit_, dimensionList_}) {
        setTabOrder(previous, next);
        previous = next;
    }
    for (QLineEdit* edit : cells_) {
        setTabOrder(previous, edit);
        previous = edit;
    }
    setTabOrder(previous, actionList_);
    setTabOrder(actionList_, modes_);
    setTabOrder(modes_, file_);

    connect(calculate_, &QPushButton::clicked, this, &CMainDialog::OnOK);
    connect(exit_, &QPushButton::clicked, this, &CMainDialog::reject);
    connect(modes_, &QPushButton::clicked, this, &CMainDialog::OpenModes);
    connect(dimensionList_, &QListWidget::itemSelectionChanged, this, &CMainDialog::OnDimensionChange);
    connect(actionList_, &QListWidget::itemSelectionChanged, this, &CMainDialog::OnActionChange);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CMainDialog::ShowHelp);
}

void CMainDialog::OnInitDialog()
{
    setWindowIcon(ApplicationIcon());
    for (int n = 2; n <= MaxOrder; ++n) dimensionList_->insertItem(n - 2, QString::number(n));
    actionList_->insertItem(0, QStringLiteral("Edit K matrix"));
    actionList_->insertItem(1, QStringLiteral("Edit M matrix"));
    InitialiseForm(*this);
    NameCells();
}

QWidget* CMainDialog::control(int id) const
{
    if (id < id::DimensionList || id >= id::DimensionList + static_cast<int>(byId_.size())) return nullptr;
    return byId_[static_cast<std::size_t>(id - id::DimensionList)];
}

std::string CMainDialog::CellText(int cell) const
{
    return cells_[static_cast<std::size_t>(cell - id::FirstCell)]->text().toStdString();
}

void CMainDialog::SetCellText(int cell, std::string_view text)
{
    CellEdit* edit = cells_[static_cast<std::size_t>(cell - id::FirstCell)];
    {
        // One notification per write, even when the text does not change.
        const QSignalBlocker blocker(edit);
        edit->setProgramText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    if (pasting_ && (state_.store.ActionIndex == 0 || state_.store.ActionIndex == 1))
        typed_.Typed(state_.store.ActionIndex == 0 ? Which::K : Which::M, cell, std::string(text));
    OnCellChange(cell);
}

void CMainDialog::SetVisible(int id, bool visible)
{
    if (QWidget* widget = control(id)) widget->setVisible(visible);
}

int CMainDialog::ListSelection(int list) const
{
    const QListWidget* widget = list == id::DimensionList ? dimensionList_ : actionList_;
    const QList<QListWidgetItem*> selected = widget->selectedItems();
    return selected.isEmpty() ? -1 : widget->row(selected.front());
}

void CMainDialog::SelectActionRow(int row)
{
    const QSignalBlocker blocker(actionList_);
    actionList_->setCurrentRow(row);
}

void CMainDialog::OnDimensionChange()
{
    DimensionChanged(state_, *this);
    NameCells();
    ShowMisreads();
    ShowStale();
    setWindowModified(problemModified());
}

void CMainDialog::OnActionChange()
{
    ActionChanged(state_, *this);
    NameCells();
}

void CMainDialog::OnCellChange(int cell)
{
    CellChanged(state_.store, state_.text, *this, cell);
    ShowNote(cell);
    ShowMisreads();
    setWindowModified(problemModified());
    ShowStale();
}

void CMainDialog::ShowStale()
{
    if (modesWindow_ != nullptr) modesWindow_->SetStale(Session::Content(state_.store, {}) != calculated_);
}

void CMainDialog::ShowMisreads()
{
    if (misread_ == nullptr) return;
    const QString line = QString::fromStdString(MisreadLine(typed_.Misreads(state_.store)));
    // One line, shortened where long: the whole of it in the tooltip.
    misread_->setText(misread_->fontMetrics().elidedText(line, Qt::ElideRight, misread_->width()));
    misread_->setToolTip(PlainToolTip(line));
    misread_->setAccessibleName(line);
}

void CMainDialog::OnOK()
{
    // Without a dimension the calculation would refuse both matrices in
    // turn and leave a grid without cells: one message, and the form as it is.
    if (ListSelection(id::DimensionList) < 0) {
        channel_.ShowMessage(SelectDimensionMessage);
        dimensionList_->setFocus();
        return;
    }
    // The modes are known once the checks have run, before any report is
    // shown: the eigenvalue report's box then opens over the window's new
    // contents.
    AnnouncingChannel announcing(channel_, [this](bool report) {
        ShowModesView(ModesAfterCalculation(state_.store, report ? Outcome::ClosedForm : Outcome::Refused));
    });
    const Outcome outcome = Calculate(state_, *this, announcing);
    NameCells();  // a refused matrix is shown in its place
    if (!announcing.announcedReport()) ShowModesView(ModesAfterCalculation(state_.store, outcome));
}

void CMainDialog::ShowModesView(ModesView view)
{
    calculated_ = Session::Content(state_.store, {});
    modesView_ = std::move(view);
    modes_->setEnabled(modesView_.result.has_value());
    if (modesWindow_ != nullptr) modesWindow_->ShowModes(modesView_);
}

void CMainDialog::ShowHelp()
{
    if (help_ == nullptr) help_ = new HelpWindow(this);
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void CMainDialog::OpenModes()
{
    if (modesWindow_ == nullptr) {
        modesWindow_ = new ModesWindow(this);
        modesWindow_->SetDirections(directions_);
        modesWindow_->onDirectionsChanged = [this](const std::vector<Direction>& directions) {
            directions_ = directions;
            setWindowModified(problemModified());
        };
    }
    modesWindow_->ShowModes(modesView_);
    ShowStale();
    const bool first = !modesWindow_->isVisible() && !modesPlaced_;
    modesWindow_->show();
    // Beside the main window where the screen has room, else at the top
    // right of the screen: never over the buttons.
    if (first && screen() != nullptr) {
        modesPlaced_ = true;
        const QRect room = screen()->availableGeometry();
        const QRect main = frameGeometry();
        const QSize size = modesWindow_->frameGeometry().size();
        QPoint at(main.right() + 1, main.top());
        if (at.x() + size.width() > room.right() + 1) at.setX(main.left() - size.width());
        if (at.x() < room.left()) at = QPoint(std::max(room.left(), room.right() + 1 - size.width()), room.top());
        at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height())));
        modesWindow_->move(at);
    }
    modesWindow_->raise();
    modesWindow_->activateWindow();
}

void CMainDialog::ShowNote(int cell)
{
    CellEdit* edit = cells_[static_cast<std::size_t>(cell - id::FirstCell)];
    const std::string text = edit->text().toStdString();
    std::string own = CellTextNote(text);
    // A text the program wrote reads whole; the one typed before may not have.
    if (own.empty() && (state_.store.ActionIndex == 0 || state_.store.ActionIndex == 1))
        own = typed_.NoteFor(state_.store.ActionIndex == 0 ? Which::K : Which::M, cell, ParseCellText(text));
    const QString note = QString::fromStdString(own);
    edit->setNote(note);
    QPalette colours = palette();
    if (!note.isEmpty()) colours.setColor(QPalette::Base, MarkTint(colours.color(QPalette::Base)));
    edit->setPalette(colours);
}

void CMainDialog::NameCells()
{
    const QString matrix = state_.store.ActionIndex == 0 ? QStringLiteral("K") : QStringLiteral("M");
    const int n = state_.store.Dimension;
    const bool labelled = labels_.size() == static_cast<std::size_t>(n);
    for (int cell = id::FirstCell; cell <= id::LastCell; ++cell) {
        const auto [i, j] = CellPositionOf(cell);
        CellEdit* edit = cells_[static_cast<std::size_t>(cell - id::FirstCell)];
        edit->setAccessibleName(QStringLiteral("%1 row %2, column %3").arg(matrix).arg(i).arg(j));
        QString place;
        if (labelled && j <= n) {
            const QString row = FromStd(labels_[static_cast<std::size_t>(i - 1)]);
            const QString column = FromStd(labels_[static_cast<std::size_t>(j - 1)]);
            place = i == j ? QStringLiteral("Degree of freedom %1").arg(row)
                           : QStringLiteral("Degrees of freedom %1 and %2").arg(row, column);
        }
        edit->setPlace(place);
    }
}

void CMainDialog::changeEvent(QEvent* event)
{
    // A new theme: the marks take its colours.
    if (event->type() == QEvent::PaletteChange && cells_.back() != nullptr)
        for (int cell = id::FirstCell; cell <= id::LastCell; ++cell) ShowNote(cell);
    QDialog::changeEvent(event);
}
void CMainDialog::accept()
{
    if (!background_.busy()) OnOK();
}

void CMainDialog::reject()
{
    // While a file is read or saved, Escape, Exit and the close box stop that.
    if (background_.busy()) {
        background_.Stop();
        return;
    }
    if (MayLeave()) QDialog::reject();
}

bool CMainDialog::problemModified() const { return session_.Modified(state_.store, directions_); }

std::vector<Direction> CMainDialog::DirectionsFor(int n) const
{
    std::vector<Direction> directions = directions_;
    directions.resize(static_cast<std::size_t>(std::max(n, 0)), Direction::X);
    return directions;
}

bool CMainDialog::MayLeave()
{
    return session_.MayLeave(
        state_.store, directions_, [this] { return prompts_.AskSaveChanges(FromStd(session_.DisplayName())); },
        [this] { return Save(); });
}

void CMainDialog::UpdateTitle()
{
    setWindowTitle(QStringLiteral("%1[*] \u2014 varno version " VARNO_VERSION).arg(FromStd(session_.DisplayName())));
    setWindowModified(problemModified());
}

void CMainDialog::OnSysCommand(int command)
{
    if ((command & 0xFFF0) == AboutCommand) {
        if (openAbout_) openAbout_(this);
        return;
    }
    switch (command & 0xFFF0) {
    case ScMinimize: showMinimized(); break;
    case ScMaximize: showMaximized(); break;
    case ScRestore: showNormal(); break;
    case ScClose: reject(); break;
    default: break;
    }
}

void CMainDialog::contextMenuEvent(QContextMenuEvent* event)
{
    // The desktop's window menu cannot be extended from a program; the same
    // commands, About included, live in the dialog's own context menu.
    QMenu menu(this);
    const auto add = [&](const QString& text, int command, bool enabled = true) {
        QAction* action = menu.addAction(text);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, [this, command] { OnSysCommand(command); });
    };
    const bool maximised = isMaximized();
    add(tr("&Restore"), ScRestore, maximised);
    add(tr("Mi&nimize"), ScMinimize);
    add(tr("Ma&ximize"), ScMaximize, !maximised);
    menu.addSeparator();
    add(tr("&Close"), ScClose);
    menu.addSeparator();
    connect(menu.addAction(QStringLiteral("&Help\tF1")), &QAction::triggered, this, &CMainDialog::ShowHelp);
    menu.addSeparator();
    add(QString::fromUtf8(AboutMenuText), AboutCommand);
    menu.exec(event->globalPos());
}

}  // namespace varno::ui
