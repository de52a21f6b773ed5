#include "app/solver_app.h"

#include <QSettings>
#include <QTimer>
#include <string>
#include <vector>

#include "app/about_dialog.h"
#include "core/version.h"
#include "ui/main_dialog.h"

namespace varno::app {

CSolverApp::CSolverApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("varno"));
    setApplicationVersion(QStringLiteral(VARNO_VERSION));
    setDesktopFileName(QStringLiteral("org.varno.varno"));
    setWindowIcon(ui::ApplicationIcon());
}

namespace {

// The recent files live in the user's settings, only here: the tests give
// the dialog none, and so never touch them.
const QString RecentKey = QStringLiteral("recentFiles");

std::vector<std::string> StoredRecentFiles()
{
    std::vector<std::string> recent;
    for (const QString& path : QSettings(QStringLiteral("varno"), QStringLiteral("varno")).value(RecentKey).toStringList()) recent.push_back(path.toStdString());
    return recent;
}

void StoreRecentFiles(const std::vector<std::string>& recent)
{
    QStringList paths;
    for (const std::string& path : recent) paths << QString::fromStdString(path);
    QSettings(QStringLiteral("varno"), QStringLiteral("varno")).setValue(RecentKey, paths);
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
    dialog.setRecentFiles(StoredRecentFiles(), StoreRecentFiles);
    // varno FILE: opened once the window is up, so that a message about the
    // file has the window under it.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        QTimer::singleShot(0, &dialog, [&dialog, path = arguments.at(1)] { dialog.OpenFile(path); });
    dialog.exec();
    channel_.setParent(nullptr);
    prompts_.setParent(nullptr);
    return false;
}

}  // namespace varno::app
