#include "app/solver_app.h"

#include "app/about_dialog.h"
#include "ui/main_dialog.h"

namespace varno::app {

CSolverApp::CSolverApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("varno"));
    setApplicationVersion(QStringLiteral("1.0.0.1"));
    setDesktopFileName(QStringLiteral("org.varno.varno"));
    setWindowIcon(ui::ApplicationIcon());
}

bool CSolverApp::InitInstance()
{
    ui::CMainDialog dialog(state_, channel_, [](QWidget* parent) {
        CAboutDlg about(parent);
        about.exec();
    });
    channel_.setParent(&dialog);
    dialog.exec();
    channel_.setParent(nullptr);
    return false;
}

}  // namespace varno::app
