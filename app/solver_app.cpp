#include "app/solver_app.h"

#include <QFile>
#include <QSettings>
#include <QTimer>
#include <string>
#include <vector>

#include "app/about_dialog.h"
#include "app/recent_files.h"
#include "core/version.h"
#include "ui/main_dialog.h"

namespace varno::app {

CSolverApp::CSolverApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("varno"));
    setApplicationVersion(QStringLiteral(VARNO_VERSION));
    setDesktopFileName(QStringLiteral("org.varno.varno"));
    setWindowIcon(ui::ApplicationIcon());
    // Qt has taken its own options out of argv by now.
    if (argc > 1) file_ = argv[1];
}

namespace {

// The recent files live in the user's settings, only here: the tests give
// the dialog none, and so never touch them.
std::vector<std::string> StoredRecentFiles(const RecentFilesStore& store)
{
    if (store.Exists()) return store.Load();
    // Kept by earlier versions in the settings; read once, and kept anew
    // with the next change. Reading takes no lock.
    std::vector<std::string> recent;
    const QSettings old(QStringLiteral("varno"), QStringLiteral("varno"));
    for (const QString& path : old.value(QStringLiteral("recentFiles")).toStringList())
        recent.push_back(QFile::encodeName(path).toStdString());
    return recent;
}

}  // namespace

bool CSolverApp::InitInstance()
{
    ui::CMainDialog dialog(state_, channel_, prompts_, [](QWidget* parent) {
        CAboutDlg about(parent);
        about.exec();
    });
    channel_.setParent(&dialog);
    prompts_.setParent(&dialog);
    const RecentFilesStore recent(DefaultRecentFilesPath());
    dialog.setRecentFiles(StoredRecentFiles(recent),
                          [recent](const std::vector<std::string>& paths) { recent.Store(paths); });
    // varno FILE: opened once the window is up, so that a message about the
    // file has the window under it. Its bytes as given: a name need not be
    // UTF-8, and would not survive a trip through text.
    if (!file_.empty()) QTimer::singleShot(0, &dialog, [&dialog, path = file_] { dialog.OpenFile(path); });
    dialog.exec();
    channel_.setParent(nullptr);
    prompts_.setParent(nullptr);
    return false;
}

}  // namespace varno::app
