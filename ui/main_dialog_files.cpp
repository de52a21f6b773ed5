// The main window's file commands: Open, Save, Save As, Import, the recent
// files and drops. Every read and write runs off the window's thread.
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QUrl>
#include <filesystem>

#include "core/form.h"
#include "core/message_text.h"
#include "core/model_import.h"
#include "core/number_text.h"
#include "core/order.h"
#include "core/version.h"
#include "ui/cell_text.h"
#include "ui/grid_widgets.h"
#include "ui/main_dialog.h"
#include "ui/model_window.h"
#include "ui/modes_window.h"
#include "ui/prompts.h"

namespace varno::ui {
namespace {

using OnStop = BackgroundWork::OnStop;

// A path as the system has it: bytes, whatever they are.
std::string Bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString Shown(std::string_view bytes) { return QString::fromStdString(PrintableName(bytes)); }

std::string NameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Absolute, so that the recent files and the title do not depend on where
// the program was started; the bytes of the name as they are.
std::string AbsolutePath(const std::string& path)
{
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    return absolute.empty() ? path : absolute.lexically_normal().string();
}

}  // namespace

void CMainDialog::BuildFileMenu()
{
    fileMenu_ = new QMenu(this);
    newAction_ = new QAction(QStringLiteral("&New"), this);
    newAction_->setShortcut(QKeySequence::New);
    openAction_ = new QAction(QStringLiteral("&Open\u2026"), this);
    openAction_->setShortcut(QKeySequence::Open);
    saveAction_ = new QAction(QStringLiteral("&Save"), this);
    saveAction_->setShortcut(QKeySequence::Save);
    saveAsAction_ = new QAction(QStringLiteral("Save &As\u2026"), this);
    saveAsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    importAction_ = new QAction(QStringLiteral("&Import\u2026"), this);
    importAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    // On the window too, so that their keys work with the menu closed.
    addActions({newAction_, openAction_, saveAction_, saveAsAction_, importAction_});
    connect(newAction_, &QAction::triggered, this, [this] { New(); });
    connect(importAction_, &QAction::triggered, this, [this] { Import(); });
    connect(openAction_, &QAction::triggered, this, [this] { Open(); });
    connect(saveAction_, &QAction::triggered, this, [this] { Save(); });
    connect(saveAsAction_, &QAction::triggered, this, [this] { SaveAs(); });
    file_->setMenu(fileMenu_);
    FillFileMenu();
}

void CMainDialog::FillFileMenu()
{
    fileMenu_->clear();
    fileMenu_->addActions({newAction_, openAction_, saveAction_, saveAsAction_});
    fileMenu_->addSeparator();
    fileMenu_->addAction(importAction_);
    fileMenu_->addSeparator();
    if (recent_.empty()) fileMenu_->addAction(QStringLiteral("No recent files"))->setEnabled(false);
    const QFontMetrics metrics(fileMenu_->font());
    for (std::size_t k = 0; k < recent_.size(); ++k) {
        const std::string& path = recent_[k];
        // The name whole, its folder shortened in the middle: the menu stays
        // within the screen at any scale.
        const QString folder = metrics.elidedText(Shown(FolderOf(path)), Qt::ElideMiddle, 40 * metrics.averageCharWidth());
        const auto escaped = [](QString text) { return text.replace(QLatin1Char('&'), QStringLiteral("&&")); };
        QAction* action = fileMenu_->addAction(
            QStringLiteral("&%1 %2 \u2013 %3").arg(k + 1).arg(escaped(Shown(NameOf(path))), escaped(folder)));
        action->setToolTip(PlainToolTip(Shown(path)));
        connect(action, &QAction::triggered, this, [this, path] { OpenFile(path); });
    }
    fileMenu_->setToolTipsVisible(true);
}

void CMainDialog::setRecentFiles(std::vector<std::string> recent, RecentSink sink)
{
    if (recent.size() > RecentCount) recent.resize(RecentCount);
    recent_ = std::move(recent);
    recentSink_ = std::move(sink);
    FillFileMenu();
}

void CMainDialog::Remember(const std::string& path)
{
    recent_ = WithRecent(std::move(recent_), path);
    if (recentSink_) recentSink_(recent_);
    FillFileMenu();
}

void CMainDialog::Forget(const std::string& path)
{
    const std::size_t before = recent_.size();
    recent_ = WithoutRecent(std::move(recent_), path);
    if (recent_.size() == before) return;
    if (recentSink_) recentSink_(recent_);
    FillFileMenu();
}

bool CMainDialog::New()
{
    if (background_.busy() || !MayLeave()) return false;
    typed_.Clear();
    labels_.clear();
    directions_.clear();
    state_.store = MatrixStore{};
    // The form as at start: no list chosen, the cells empty as the store is.
    {
        const QSignalBlocker dimension(dimensionList_);
        const QSignalBlocker action(actionList_);
        for (QListWidget* list : {static_cast<QListWidget*>(dimensionList_), static_cast<QListWidget*>(actionList_)}) {
            list->clearSelection();
            list->setCurrentRow(-1);
        }
    }
    for (CellEdit* cell : cells_) {
        const QSignalBlocker blocker(cell);
        cell->setProgramText(QString());
    }
    InitialiseForm(*this);
    for (int cell = id::FirstCell; cell <= id::LastCell; ++cell) ShowNote(cell);
    ShowMisreads();
    NameCells();
    if (modesWindow_ != nullptr) modesWindow_->SetDirections({});
    ShowModesView(ModesAfterCalculation(state_.store, Outcome::Refused));
    session_.setSource(std::nullopt);
    session_.MarkSaved(state_.store, directions_);
    UpdateTitle();
    dimensionList_->setFocus();
    return true;
}

bool CMainDialog::Open()
{
    if (background_.busy()) return false;
    const std::string current = session_.path();
    const QString path = prompts_.FileToOpen(current.empty() ? QString() : QFile::decodeName(FolderOf(current).c_str()));
    return !path.isEmpty() && OpenFile(Bytes(path));
}

bool CMainDialog::OpenFile(const QString& path) { return OpenFile(Bytes(path)); }

bool CMainDialog::OpenFile(const std::string& given)
{
    if (background_.busy()) return false;
    const std::string path = AbsolutePath(given);
    const QString name = Shown(NameOf(path));
    const std::optional<ProblemFileOpen> opened = background_.Run<ProblemFileOpen>(
        [path](const std::atomic<bool>& stop) { return OpenProblemFile(path, &stop); }, OnStop::Abandon);
    if (!opened) return false;  // stopped: nothing to say
    if (!opened->ok()) {
        const ProblemFileScan& scan = opened->scan;
        if (scan.error.empty()) {
            channel_.ShowMessage(QStringLiteral("Cannot open %1: %2.").arg(Shown(path), Shown(opened->error)).toStdString());
            if (opened->missing) Forget(path);
        } else if (scan.notProblems) {
            channel_.ShowMessage(
                QStringLiteral("Cannot open %1: it is not a problem file. Its line %2 is neither a comment nor the "
                               "line \"K\" a problem starts with.\nK and M from other programs' files come in "
                               "with Import (Ctrl+I).")
                    .arg(name)
                    .arg(scan.errorLine)
                    .toStdString());
        } else {
            channel_.ShowMessage(QStringLiteral("Cannot open %1:\n%2").arg(name, Shown(scan.error)).toStdString());
        }
        return false;
    }
    FileProblem problem = opened->scan.first;
    if (opened->scan.count > 1) {
        QStringList items;
        for (const ProblemEntry& entry : opened->scan.listed)
            items << QStringLiteral("Line %1: n = %2").arg(entry.line).arg(entry.n);
        const int chosen = prompts_.PickProblem(name, items, opened->scan.count);
        if (chosen < 0 || chosen >= items.size()) return false;
        if (chosen > 0) {
            const ProblemEntry entry = opened->scan.listed[static_cast<std::size_t>(chosen)];
            const std::optional<PickedProblem> picked = background_.Run<PickedProblem>(
                [path, stamp = opened->stamp, entry](const std::atomic<bool>& stop) {
                    return ReadPickedProblem(path, stamp, entry, &stop);
                },
                OnStop::Abandon);
            if (!picked) return false;
            if (!picked->ok()) {
                channel_.ShowMessage(QStringLiteral("Cannot open %1: %2.").arg(name, Shown(picked->error)).toStdString());
                return false;
            }
            problem = picked->problem;
        }
    }
    if (!MayLeave()) return false;
    Load(problem);
    session_.setSource(ProblemSource{path, opened->stamp, problem});
    session_.MarkSaved(state_.store, directions_);
    UpdateTitle();
    Remember(path);
    return true;
}

bool CMainDialog::Import()
{
    if (background_.busy()) return false;
    const std::string current = session_.path();
    const ModelChoice choice =
        prompts_.ModelFilesToImport(current.empty() ? QString() : QFile::decodeName(FolderOf(current).c_str()));
    if (choice.files.isEmpty()) return false;
    const ModelPair pair = PairModelFiles(choice);
    if (!pair.error.isEmpty()) {
        channel_.ShowMessage(pair.error.toStdString());
        return false;
    }
    ModelFiles request{.k = Bytes(pair.k), .m = Bytes(pair.m), .cap = MaxDynamicOrder};
    request.shownK = PrintableName(NameOf(request.k));
    request.shownM = PrintableName(NameOf(request.m));
    if (!pair.dof.isEmpty()) {
        request.dof = Bytes(pair.dof);
        request.shownDof = PrintableName(NameOf(request.dof));
    }
    std::optional<ImportedModel> model = background_.Run<ImportedModel>(
        [request](const std::atomic<bool>&) { return ImportModelFiles(request); }, OnStop::Abandon);
    if (!model) return false;
    if (!model->ok()) {
        channel_.ShowMessage("Cannot import K and M:\n" + model->error +
                             (model->problemFile ? "; open it with Open (Ctrl+O)." : ""));
        return false;
    }
    if (model->n > MaxOrder) {
        OpenModelView(std::move(*model), {request.shownK, request.shownM, request.shownDof});
        return true;
    }
    if (!MayLeave()) return false;
    FileProblem problem;
    problem.n = model->n;
    problem.K = model->K;
    problem.M = model->M;
    for (std::size_t i = 1; i <= static_cast<std::size_t>(model->n); ++i)
        for (std::size_t j = i; j <= static_cast<std::size_t>(model->n); ++j) {
            problem.kTexts.push_back(FormatShortest(model->K[i][j]));
            problem.mTexts.push_back(FormatShortest(model->M[i][j]));
        }
    Load(problem, model->labels);
    // Not the file opened before: a Save asks where to.
    session_.setSource(std::nullopt);
    UpdateTitle();
    return true;
}

ModelWindow* CMainDialog::modelWindow() const { return modelWindow_; }

void CMainDialog::OpenModelView(ImportedModel model, ModelOrigin origin)
{
    modelWindow_ = new ModelWindow(std::move(model), std::move(origin), channel_, this);
    modelWindow_->show();
    modelWindow_->raise();
    modelWindow_->activateWindow();
}

void CMainDialog::Load(const FileProblem& problem, std::vector<std::string> labels)
{
    typed_.Clear();
    labels_ = std::move(labels);
    directions_ = problem.directions;
    if (modesWindow_ != nullptr) modesWindow_->SetDirections(directions_);
    state_.store.K = problem.K;
    state_.store.M = problem.M;
    // Texts misread in the file are marked in their cells, as if typed.
    std::size_t k = 0;
    for (int i = 1; i <= problem.n; ++i)
        for (int j = i; j <= problem.n; ++j, ++k) {
            typed_.Typed(Which::K, CellAt(i, j), problem.kTexts[k]);
            typed_.Typed(Which::M, CellAt(i, j), problem.mTexts[k]);
        }
    {
        const QSignalBlocker dimension(dimensionList_);
        const QSignalBlocker action(actionList_);
        dimensionList_->setCurrentRow(problem.n - 2);
        actionList_->setCurrentRow(0);
    }
    OnDimensionChange();
    OnActionChange();  // shows K, each cell written back to the very value read
    ShowMisreads();
}

bool CMainDialog::Save()
{
    if (!session_.source()) return SaveAs();
    const ProblemSource source = *session_.source();
    return SaveOver(source);
}

bool CMainDialog::SaveAs()
{
    if (background_.busy()) return false;
    const std::string current = session_.path();
    const QString suggested = current.empty() ? QStringLiteral("untitled.varno") : QFile::decodeName(current.c_str());
    const QString chosen = prompts_.FileToSave(suggested);
    if (chosen.isEmpty()) return false;
    const std::string path = AbsolutePath(Bytes(chosen));
    // The file the problem came from, under any of its names: saved in its
    // place, the rest of it kept.
    FileStamp there;
    std::string unused;
    if (StampOf(path, there, unused)) {
        if (session_.source() && there.SameFile(session_.source()->stamp)) {
            ProblemSource source = *session_.source();
            source.path = path;
            return SaveOver(source);
        }
        if (!prompts_.AskReplace(Shown(NameOf(path)))) return false;
    }
    return SaveNew(path);
}

bool CMainDialog::SaveOver(const ProblemSource& source)
{
    if (background_.busy()) return false;
    const int n = state_.store.Dimension;
    if (n < 2 || n > MaxOrder) {
        channel_.ShowMessage(SelectDimensionMessage);
        return false;
    }
    FileStamp now;
    std::string unused;
    // Gone since: written anew, as there is nothing else in it to keep.
    if (!StampOf(source.path, now, unused)) return SaveNew(source.path);
    if (!now.Unchanged(source.stamp) || source.read.n == 0) {
        switch (prompts_.AskFileChanged(Shown(NameOf(source.path)))) {
        case ChangedAnswer::Overwrite: return SaveNew(source.path);
        case ChangedAnswer::SaveAs: return SaveAs();
        case ChangedAnswer::Cancel: return false;
        }
    }
    const MatrixStore written = state_.store;
    const std::vector<Direction> directions = DirectionsFor(n);
    SaveIo* io = saveIo_;
    const std::optional<ProblemSave> save = background_.Run<ProblemSave>(
        [source, written, directions, io](const std::atomic<bool>& stop) {
            return SaveProblemInPlace(source, written.K, written.M, written.Dimension, directions, *io, &stop);
        },
        OnStop::Finish);
    if (!save) return false;
    if (save->elsewhere) {
        if (prompts_.AskSaveElsewhere(Shown(NameOf(source.path)), Shown(save->outcome.error))) return SaveAs();
        return false;
    }
    return Saved(*save, source.path, written, directions);
}

bool CMainDialog::SaveNew(const std::string& path)
{
    if (background_.busy()) return false;
    const int n = state_.store.Dimension;
    if (n < 2 || n > MaxOrder) {
        channel_.ShowMessage(SelectDimensionMessage);
        return false;
    }
    const MatrixStore written = state_.store;
    const std::vector<Direction> directions = DirectionsFor(n);
    SaveIo* io = saveIo_;
    const std::optional<ProblemSave> save = background_.Run<ProblemSave>(
        [path, written, directions, io](const std::atomic<bool>& stop) {
            return SaveProblemAs(path, written.K, written.M, written.Dimension, directions, ProgramVersion, *io, &stop);
        },
        OnStop::Finish);
    if (!save) return false;
    return Saved(*save, path, written, directions);
}

bool CMainDialog::Saved(const ProblemSave& save, const std::string& path, const MatrixStore& written,
                        const std::vector<Direction>& directions)
{
    if (!save.outcome.ok()) {
        // Stopped by the user, who needs no telling; else why, and the file
        // as it was: the changes stay marked, and closing still asks.
        if (!save.stopped)
            channel_.ShowMessage(
                QStringLiteral("Cannot save %1: %2.").arg(Shown(path), Shown(save.outcome.error)).toStdString());
        return false;
    }
    session_.setSource(save.source);
    session_.MarkSaved(written, directions);
    UpdateTitle();
    Remember(path);
    if (!save.outcome.notes.empty()) {
        std::string notes;
        for (const std::string& note : save.outcome.notes) notes += (notes.empty() ? "" : "; and ") + note;
        channel_.ShowMessage("Saved " + PrintableName(NameOf(path)) + ", but " + notes + ".");
    }
    return true;
}

void CMainDialog::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.front().isLocalFile()) event->acceptProposedAction();
}

void CMainDialog::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile()) return;
    event->acceptProposedAction();
    // The path's bytes from the URL's own escapes: a name that is no UTF-8
    // would not survive a trip through text.
    const std::string path = QByteArray::fromPercentEncoding(urls.front().path(QUrl::FullyEncoded).toLatin1()).toStdString();
    // Not inside the drop: the program the file came from waits for it to end,
    // and opening may ask questions first.
    QTimer::singleShot(0, this, [this, path] { OpenFile(path); });
}

}  // namespace varno::ui
