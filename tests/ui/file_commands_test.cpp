// The main window's files as a user meets them: nothing typed or saved is
// lost on the way, and no file makes the window wait for ever.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "app/recent_files.h"
#include "core/file_save.h"
#include "core/memory_grid.h"
#include "core/version.h"
#include "scripted_prompts.h"
#include "ui/background.h"
#include "ui/main_dialog.h"
#include "ui/modes_window.h"
#include <QComboBox>
#include "ui/prompts.h"

using namespace varno;

namespace {

constexpr const char* One = "# beam\nK\n2 0\n6\nM\n1 0\n2\n";
constexpr const char* Three =
    "# three problems\nK\n2 0\n6\nM\n1 0\n2\n\n"
    "# the second\nK\n3000 -1000\n# stiffer\n1000\nM\n10 0\n5\n\n"
    "K\n1 0 0\n1 0\n1\nM\n1 0 0\n1 0\n1\n# end\n";

// A disk with no room left.
struct FullDisk final : SaveIo {
    ssize_t Write(int, const char*, std::size_t) override
    {
        errno = ENOSPC;
        return -1;
    }
};

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramState> state;
    std::unique_ptr<RecordingChannel> channel;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<ui::CMainDialog> dialog;
    std::unique_ptr<QTemporaryDir> dir;

    QString at(const QString& name) const { return dir->filePath(name); }
    static void write(const QString& file, const QByteArray& bytes)
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(out.write(bytes), bytes.size());
    }
    static QByteArray read(const QString& file)
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(none)");
    }
    QLineEdit* cell(int i, int j) { return qobject_cast<QLineEdit*>(dialog->control(CellAt(i, j))); }
    void type(int i, int j, const QString& text)
    {
        QLineEdit* edit = cell(i, j);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    void showM()
    {
        auto* actions = qobject_cast<QListWidget*>(dialog->control(id::ActionList));
        actions->setCurrentRow(1);
    }
    void save() { QTest::keyClick(dialog.get(), Qt::Key_S, Qt::ControlModifier); }
    QString saved(const char* k, const char* m) const
    {
        return QStringLiteral("# n = 2, written by varno %1\nK\n%2\nM\n%3\n").arg(VARNO_VERSION, k, m);
    }

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("varno")); }
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        state = std::make_unique<ProgramState>();
        channel = std::make_unique<RecordingChannel>();
        prompts = std::make_unique<ScriptedPrompts>();
        dialog = std::make_unique<ui::CMainDialog>(*state, *channel, *prompts, [](QWidget*) {});
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    }
    void cleanup()
    {
        dialog.reset();
        dir.reset();
    }

    // The disk is full: one message, the file as it was, the change still
    // marked, and closing still asks.
    void aFailedSaveKeepsTheFileAndTheMark()
    {
        write(at("orig.varno"), One);
        QVERIFY(dialog->OpenFile(at("orig.varno")));
        type(1, 1, QStringLiteral("9"));
        FullDisk full;
        dialog->setSaveIo(full);
        save();
        QCOMPARE(channel->messages,
                 std::vector<std::string>{"Cannot save " + at("orig.varno").toStdString() + ": No space left on device."});
        QCOMPARE(read(at("orig.varno")), QByteArray(One));
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"orig.varno"});
        QVERIFY(dialog->isWindowModified());
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QCOMPARE(prompts->asked, 1);
        QVERIFY(dialog->isVisible());
    }

    // The problem picked from a file of three, changed and saved twice: its
    // changed rows and nothing else.
    void savingBackKeepsEveryOtherByte()
    {
        write(at("three.varno"), Three);
        prompts->pick = 1;
        QVERIFY(dialog->OpenFile(at("three.varno")));
        QCOMPARE(prompts->items, (QStringList{"Line 2: n = 2", "Line 10: n = 2", "Line 18: n = 3"}));
        type(1, 2, QStringLiteral("-999"));
        save();
        QByteArray expected = QByteArray(Three).replace("3000 -1000", "3000 -999");
        QCOMPARE(read(at("three.varno")), expected);
        QVERIFY(!dialog->isWindowModified());
        showM();
        type(2, 2, QStringLiteral("6"));
        save();
        QCOMPARE(read(at("three.varno")), expected.replace("10 0\n5\n", "10 0\n6\n"));
        QVERIFY(channel->messages.empty());
        QVERIFY(prompts->questions.isEmpty());
    }

    // Typed without a suffix, the name is given one; whether to replace a
    // file is asked of the name written, and the answer kept.
    void saveAsAsksOfTheNameItWrites_data()
    {
        QTest::addColumn<bool>("replace");
        QTest::newRow("keep it") << false;
        QTest::newRow("replace it") << true;
    }
    void saveAsAsksOfTheNameItWrites()
    {
        QFETCH(bool, replace);
        const std::unique_ptr<QFileDialog> chooser = ui::MakeSaveDialog(nullptr, at("untitled.varno"));
        chooser->setOption(QFileDialog::DontUseNativeDialog);
        QVERIFY(chooser->testOption(QFileDialog::DontConfirmOverwrite));
        auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name != nullptr);
        name->setText(QStringLiteral("keep"));
        QCOMPARE(chooser->selectedFiles(), QStringList{at("keep.varno")});

        write(at("keep.varno"), "mine");
        write(at("one.varno"), One);
        QVERIFY(dialog->OpenFile(at("one.varno")));
        prompts->saveAs = chooser->selectedFiles().constFirst();
        prompts->replace = replace;
        QCOMPARE(dialog->SaveAs(), replace);
        QCOMPARE(prompts->questions, QStringList{"keep.varno exists"});
        QCOMPARE(read(at("keep.varno")), replace ? QByteArray(saved("2 0\n6", "1 0\n2").toUtf8()) : QByteArray("mine"));
    }

    // Another program rewrote the file after it was opened: Save asks, and
    // each answer keeps what it says.
    void changesOnDiskAreAskedAbout_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("ours");     // the file holds our problem after
        QTest::addColumn<bool>("copied");   // and the file saved as
        QTest::newRow("cancel") << int(ui::ChangedAnswer::Cancel) << false << false;
        QTest::newRow("overwrite") << int(ui::ChangedAnswer::Overwrite) << true << false;
        QTest::newRow("save as") << int(ui::ChangedAnswer::SaveAs) << false << true;
    }
    void changesOnDiskAreAskedAbout()
    {
        QFETCH(int, answer);
        QFETCH(bool, ours);
        QFETCH(bool, copied);
        write(at("one.varno"), One);
        QVERIFY(dialog->OpenFile(at("one.varno")));
        type(1, 1, QStringLiteral("3"));
        const QByteArray theirs = "# theirs\nK\n5 0\n6\nM\n1 0\n2\n";
        write(at("one.varno"), theirs);
        prompts->changed = ui::ChangedAnswer(answer);
        prompts->saveAs = at("copy.varno");
        save();
        QCOMPARE(prompts->questions, QStringList{"one.varno changed"});
        QCOMPARE(read(at("one.varno")), ours ? QByteArray(saved("3 0\n6", "1 0\n2").toUtf8()) : theirs);
        QCOMPARE(read(at("copy.varno")), copied ? QByteArray(saved("3 0\n6", "1 0\n2").toUtf8()) : QByteArray("(none)"));
        QCOMPARE(dialog->isWindowModified(), !ours && !copied);
    }

    // File > New (Ctrl+N): asked first where changes would be lost; then
    // the window as at start, with no file.
    void newStartsAfresh()
    {
        write(at("one.varno"), One);
        QVERIFY(dialog->OpenFile(at("one.varno")));
        type(1, 1, QStringLiteral("3"));
        prompts->answer = ui::SaveAnswer::Cancel;
        QTest::keyClick(dialog.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(prompts->asked, 1);
        QCOMPARE(state->store.K[1][1], 3.0);
        prompts->answer = ui::SaveAnswer::Discard;
        QVERIFY(dialog->New());
        QCOMPARE(prompts->asked, 2);
        QCOMPARE(state->store.Dimension, 0);
        QCOMPARE(state->store.K[1][1], 0.0);
        QVERIFY(dialog->control(id::ActionList)->isHidden() && cell(1, 1)->isHidden());
        QCOMPARE(cell(1, 1)->text(), QString());
        QCOMPARE(dialog->ListSelection(id::DimensionList), -1);
        QVERIFY(dialog->windowTitle().startsWith(QStringLiteral("Untitled[*]")));
        QVERIFY(!dialog->isWindowModified());
        QCOMPARE(read(at("one.varno")), QByteArray(One));
        QVERIFY(dialog->New());  // nothing to lose: not asked
        QCOMPARE(prompts->asked, 2);
    }

    // Directions are part of the problem: opened with it, chosen in the
    // Modes window as a change to save, and saved in its place.
    void directionsTravelWithTheFile()
    {
        write(at("d.varno"), "K\n3000 -1000\n1000\nM\n10 0\n5\n# directions: x,y\n");
        QVERIFY(dialog->OpenFile(at("d.varno")));
        QCOMPARE(dialog->directions(), (std::vector{Direction::X, Direction::Y}));
        dialog->OnOK();
        dialog->OpenModes();
        ui::ModesWindow* window = dialog->modesWindow();
        QVERIFY(window != nullptr);
        QCOMPARE(window->directionBoxes()[1]->currentText(), QStringLiteral("y"));
        QVERIFY(!dialog->isWindowModified());
        window->directionBoxes()[1]->setCurrentIndex(5);  // rz
        QVERIFY(dialog->isWindowModified());
        save();
        QCOMPARE(read(at("d.varno")), QByteArray("K\n3000 -1000\n1000\nM\n10 0\n5\n# directions: x,rz\n"));
        QVERIFY(!dialog->isWindowModified());
        prompts->saveAs = at("new.varno");
        QVERIFY(dialog->SaveAs());
        QVERIFY(read(at("new.varno")).endsWith("\n5\n# directions: x,rz\n"));
    }

    // A file with a second name: saved, and the user told which name keeps
    // the old contents.
    void savingOverAHardLinkSaysSo()
    {
        write(at("a.varno"), One);
        QCOMPARE(::link(QFile::encodeName(at("a.varno")).constData(), QFile::encodeName(at("b.varno")).constData()), 0);
        QVERIFY(dialog->OpenFile(at("a.varno")));
        type(1, 1, QStringLiteral("3"));
        save();
        QCOMPARE(channel->messages,
                 std::vector<std::string>{"Saved a.varno, but its other name (a hard link) keeps the old contents."});
        QCOMPARE(read(at("b.varno")), QByteArray(One));
        QCOMPARE(read(at("a.varno")), QByteArray(One).replace("K\n2 0", "K\n3 0"));
    }

    // What is no problem file is refused at once, in one message; a name
    // whose bytes are no UTF-8 opens.
    void readsNeverHang_data()
    {
        QTest::addColumn<QByteArray>("name");  // in the folder, or absolute
        QTest::addColumn<QString>("said");     // empty: it opens
        QTest::newRow("FIFO") << QByteArray("job.varno") << QStringLiteral(": it is a named pipe, not a regular file.");
        QTest::newRow("device") << QByteArray("/dev/zero")
                                << QStringLiteral("Cannot open /dev/zero: it is a device, not a regular file.");
        QTest::newRow("folder") << QByteArray("models") << QStringLiteral(": Is a directory.");
        QTest::newRow("notes") << QByteArray("notes.txt")
                               << QStringLiteral("Cannot open notes.txt: it is not a problem file. Its line 2 is "
                                                 "neither a comment nor the line \"K\" a problem starts with.\nK and M "
                                                 "from other programs' files come in with Import (Ctrl+I).");
        QTest::newRow("name not UTF-8") << QByteArray("bad\xff\xfe.varno") << QString();
    }
    void readsNeverHang()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, said);
        const std::string path =
            name.startsWith('/') ? name.toStdString() : QFile::encodeName(dir->path()).toStdString() + "/" + name.toStdString();
        if (name == "job.varno") QCOMPARE(mkfifo(path.c_str(), 0600), 0);
        if (name == "models") QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("models")));
        if (name == "notes.txt") write(at("notes.txt"), "# beam\nnotes on the beam\nK is stiff\n");
        if (name.startsWith("bad")) {
            FILE* file = std::fopen(path.c_str(), "w");
            QVERIFY(file != nullptr);
            std::fputs(One, file);
            std::fclose(file);
        }
        QCOMPARE(dialog->OpenFile(path), said.isEmpty());
        if (said.isEmpty()) {
            QVERIFY(channel->messages.empty());
            QVERIFY2(dialog->windowTitle().startsWith(QStringLiteral("bad\\xff\\xfe.varno[*]")),
                     qPrintable(dialog->windowTitle()));
            QCOMPARE(dialog->recentFiles(), std::vector<std::string>{path});
            return;
        }
        QCOMPARE(channel->messages.size(), std::size_t{1});
        QVERIFY2(QString::fromStdString(channel->messages[0]).endsWith(said), channel->messages[0].c_str());
    }

    // A read that stalls (a disk that does not answer) never holds the
    // window: Escape leaves it, and meanwhile no other input gets through.
    void aStalledReadIsLeftOnEscape()
    {
        qobject_cast<QListWidget*>(dialog->control(id::DimensionList))->setCurrentRow(0);
        qobject_cast<QListWidget*>(dialog->control(id::ActionList))->setCurrentRow(0);
        QVERIFY(cell(1, 1)->isVisible());
        const QString before = cell(1, 1)->text();
        auto release = std::make_shared<std::atomic<bool>>(false);
        ui::BackgroundWork work;
        QTimer::singleShot(50, dialog.get(), [this] {
            QTest::keyClicks(cell(1, 1), QStringLiteral("7"));
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        });
        QElapsedTimer took;
        took.start();
        const std::optional<int> got = work.Run<int>(
            [release](const std::atomic<bool>&) {
                for (int k = 0; k < 500 && !release->load(); ++k) QThread::msleep(10);
                return 1;
            },
            ui::BackgroundWork::OnStop::Abandon);
        release->store(true);
        QVERIFY(!got.has_value());
        QVERIFY2(took.elapsed() < 4000, "the wait outlasted Escape");
        QCOMPARE(cell(1, 1)->text(), before);
        QVERIFY(dialog->isVisible());
    }

    // A recent file that is gone: said so once, and off the list.
    void recentFileThatIsGoneIsDropped()
    {
        write(at("here.varno"), One);
        const std::string gone = at("gone.varno").toStdString(), here = at("here.varno").toStdString();
        std::vector<std::string> kept;
        dialog->setRecentFiles({gone, here}, [&](const std::vector<std::string>& recent) { kept = recent; });
        QAction* first = nullptr;
        for (QAction* action : dialog->fileMenu()->actions())
            if (action->text().startsWith(QStringLiteral("&1 "))) first = action;
        QVERIFY(first != nullptr);
        first->trigger();
        QCOMPARE(channel->messages.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(channel->messages[0]).endsWith(QStringLiteral(": No such file or directory.")));
        QCOMPARE(dialog->recentFiles(), std::vector<std::string>{here});
        QCOMPARE(kept, std::vector<std::string>{here});
    }

    // The recent files are kept without a lock file: one that another host
    // left behind, which the settings would wait on, changes nothing.
    void recentFilesKeepWithoutALock()
    {
        const std::string file = QFile::encodeName(at("config/varno/recent-files")).toStdString();
        QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("config/varno")));
        for (const char* lock : {"config/varno/varno.conf.lock", "config/varno/recent-files.lock"})
            write(at(QString::fromLatin1(lock)), "99999\nvarno\nanother-host\n");
        const std::vector<std::string> paths{"/a/b.varno", "/with\nline end\\and backslash.varno", "/bad\xff.varno"};
        const app::RecentFilesStore store(file);
        QElapsedTimer took;
        took.start();
        QVERIFY(store.Store(paths));
        QCOMPARE(store.Load(), paths);
        QVERIFY2(took.elapsed() < 10000, "waited on a lock");
    }
};

QTEST_MAIN(FileCommandsTest)
#include "file_commands_test.moc"
