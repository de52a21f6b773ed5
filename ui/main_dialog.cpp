#include "ui/main_dialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <algorithm>

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

namespace varno::ui {
namespace {

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
