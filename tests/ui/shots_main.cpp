// Writes PNG pictures of the dialogs in typical states, for people to look
// at (no pixel comparison): varno-shots OUTPUT_DIR
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QPainter>
#include <QPixmap>
#include <QToolTip>

#include "app/about_dialog.h"
#include "core/memory_grid.h"
#include "core/matrix_store.h"
#include "core/number_text.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"
#include "ui/modes_window.h"
#include "ui/prompts.h"

namespace {

void Save(QWidget* widget, const QString& path)
{
    widget->show();
    QApplication::processEvents();
    widget->grab().save(path);
    widget->hide();
}

// Nothing is opened or saved here.
struct NoPrompts final : varno::ui::Prompts {
    varno::ui::SaveAnswer AskSaveChanges(const QString&) override { return varno::ui::SaveAnswer::Cancel; }
    QString FileToOpen(const QString&) override { return {}; }
    QString FileToSave(const QString&) override { return {}; }
    bool AskReplace(const QString&) override { return false; }
    int PickProblem(const QString&, const QStringList&, std::int64_t) override { return -1; }
    varno::ui::ModelChoice ModelFilesToImport(const QString&) override { return {}; }
    varno::ui::ChangedAnswer AskFileChanged(const QString&) override { return varno::ui::ChangedAnswer::Cancel; }
    bool AskSaveElsewhere(const QString&, const QString&) override { return false; }
};

void Select(QListWidget* list, int row) { list->setCurrentRow(row); }

// The dialog with the tooltip of one of its controls. The tooltip is a
// window of its own: it is painted onto the dialog's picture where it
// appears.
void SaveWithToolTip(QWidget* dialog, QWidget* control, const QString& path)
{
    dialog->show();
    QApplication::processEvents();
    QToolTip::showText(control->mapToGlobal(QPoint(control->width() / 2, control->height())), control->toolTip(),
                       control);
    QApplication::processEvents();
    QPixmap picture = dialog->grab();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->inherits("QTipLabel") && window->isVisible()) {
            QPainter painter(&picture);
            painter.drawPixmap(dialog->mapFromGlobal(window->pos()), window->grab());
        }
    picture.save(path);
    QToolTip::hideText();
    dialog->hide();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varno"));
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
    QDir().mkpath(dir);

    varno::ProgramState state;
    varno::RecordingChannel channel;
    NoPrompts prompts;
    varno::ui::CMainDialog dialog(state, channel, prompts, {});
    auto* dimension = qobject_cast<QListWidget*>(dialog.control(varno::id::DimensionList));
    auto* action = qobject_cast<QListWidget*>(dialog.control(varno::id::ActionList));
    Save(&dialog, dir + QStringLiteral("/start.png"));

    Select(dimension, 1);
    Select(action, 0);
    const char* k3[] = {"2", "-1", "0", "2", "-1", "1"};
    const int cells3[] = {1001, 1002, 1003, 1007, 1008, 1012};
    for (int i = 0; i < 6; ++i) dialog.SetCellText(cells3[i], k3[i]);
    Save(&dialog, dir + QStringLiteral("/n3-k.png"));

    // A cell whose text is not read whole, with the tooltip that says so; a
    // value longer than its cell, shortened, with its whole text.
    QWidget* cell23 = dialog.control(varno::CellAt(2, 3));
    dialog.SetCellText(varno::CellAt(2, 3), "1,5");
    SaveWithToolTip(&dialog, cell23, dir + QStringLiteral("/marked-cell.png"));
    dialog.SetCellText(varno::CellAt(2, 3), "-1.2345678901234567e-05");
    SaveWithToolTip(&dialog, cell23, dir + QStringLiteral("/long-value.png"));
    dialog.SetCellText(varno::CellAt(2, 3), "-1");

    Select(dimension, 2);
    Select(action, 1);
    for (int i = 1; i <= 4; ++i) dialog.SetCellText(varno::CellAt(i, i), i == 4 ? "0.5" : "1");
    Save(&dialog, dir + QStringLiteral("/n4-m.png"));

    varno::app::CAboutDlg about(&dialog);
    Save(&about, dir + QStringLiteral("/about.png"));

    Select(action, 0);
    for (int i = 1; i <= 4; ++i) {
        dialog.SetCellText(varno::CellAt(i, i), i == 4 ? "1" : "2");
        if (i < 4) dialog.SetCellText(varno::CellAt(i, i + 1), "-1");
    }
    channel.messages.clear();
    dialog.OnOK();
    if (channel.messages.empty()) return 1;
    QMessageBox* box = varno::ui::CreateMessageBox(channel.messages.back(), &dialog);
    Save(box, dir + QStringLiteral("/report-4x4.png"));
    delete box;

    // A four-storey shear building: floor masses in kg, storey stiffnesses
    // in N/m, ground floor first.
    const double mass[4] = {20000, 20000, 20000, 15000};
    const double storey[4] = {4e7, 4e7, 3e7, 3e7};
    for (int i = 1; i <= 4; ++i) {
        const double below = storey[i - 1];
        const double above = i < 4 ? storey[i] : 0.0;
        dialog.SetCellText(varno::CellAt(i, i), varno::FormatShortest(below + above));
        if (i < 4) dialog.SetCellText(varno::CellAt(i, i + 1), varno::FormatShortest(-above));
    }
    Select(action, 1);
    for (int i = 1; i <= 4; ++i) dialog.SetCellText(varno::CellAt(i, i), varno::FormatShortest(mass[i - 1]));
    dialog.OnOK();
    if (!dialog.modesButton()->isEnabled()) return 1;
    dialog.OpenModes();
    Save(dialog.modesWindow(), dir + QStringLiteral("/modes.png"));

    // A two-storey plane frame, braced: x and y at each floor (x1, y1, x2,
    // y2), floors of 20 and 10 t, stiffnesses in N/m; the window told which
    // degree of freedom moves in which direction.
    Select(dimension, 2);
    Select(action, 0);
    const double frame[4][4] = {
        {3e7, 3e6, -1e7, -1e6}, {3e6, 5e7, -1e6, -2e7}, {-1e7, -1e6, 1e7, 1.5e6}, {-1e6, -2e7, 1.5e6, 2e7}};
    for (int i = 1; i <= 4; ++i)
        for (int j = i; j <= 4; ++j) dialog.SetCellText(varno::CellAt(i, j), varno::FormatShortest(frame[i - 1][j - 1]));
    Select(action, 1);
    for (int i = 1; i <= 4; ++i) dialog.SetCellText(varno::CellAt(i, i), i <= 2 ? "20000" : "10000");
    dialog.OnOK();
    varno::ui::ModesWindow* modes = dialog.modesWindow();
    for (std::size_t i = 0; i < 4; ++i) modes->directionBoxes()[i]->setCurrentIndex(i % 2 == 0 ? 0 : 1);
    Save(modes, dir + QStringLiteral("/modes-directions.png"));
    // Six degrees of freedom: a cantilever of three beam elements (EI = 1e5
    // N m^2, rho A = 21 kg/m, 1 m each), M shown, and its report.
    const char* k6[] = {"2.4e6", "0",    "-1.2e6", "6e5",    "0",   "0",    "8e5",   "-6e5", "2e5",  "0",  "0",
                        "2.4e6", "0",    "-1.2e6", "6e5",    "8e5", "-6e5", "2e5",   "1.2e6", "-6e5", "4e5"};
    const char* m6[] = {"15.6", "0",    "2.7",  "-0.65", "0",    "0",   "0.4", "0.65", "-0.15", "0", "0",
                        "15.6", "0",    "2.7",  "-0.65", "0.4",  "0.65", "-0.15", "7.8", "-1.1", "0.2"};
    Select(dimension, 4);
    for (const int which : {0, 1}) {
        Select(action, which);
        int next = 0;
        for (int i = 1; i <= 6; ++i)
            for (int j = i; j <= 6; ++j, ++next) dialog.SetCellText(varno::CellAt(i, j), (which == 0 ? k6 : m6)[next]);
    }
    Save(&dialog, dir + QStringLiteral("/n6-m.png"));
    channel.messages.clear();
    dialog.OnOK();
    if (channel.messages.empty()) return 1;
    box = varno::ui::CreateMessageBox(channel.messages.back(), &dialog);
    Save(box, dir + QStringLiteral("/report-6x6.png"));
    delete box;
    return 0;
}
