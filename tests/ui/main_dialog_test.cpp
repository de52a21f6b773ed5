// The main dialog driven through its real widgets, headless.
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <bit>
#include <cstdio>
#include <random>
#include <set>

#include "app/about_dialog.h"
#include "core/calculate.h"
#include "core/matrix_store.h"
#include "core/memory_grid.h"
#include "core/number_text.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"

using namespace varno;

class MainDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramState> state;
    std::unique_ptr<RecordingChannel> channel;
    std::unique_ptr<ui::CMainDialog> dialog;
    int aboutOpened = 0;

    QListWidget* list(int id) { return qobject_cast<QListWidget*>(dialog->control(id)); }
    QLineEdit* cell(int i, int j) { return qobject_cast<QLineEdit*>(dialog->control(CellAt(i, j))); }
    bool shown(int id) { return !dialog->control(id)->isHidden(); }
    void clickRow(int listId, int row)
    {
        QListWidget* l = list(listId);
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(row)).center());
    }
    void typeInto(QLineEdit* edit, const QString& text)
    {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    double K(int i, int j) { return state->store.K[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]; }
    double M(int i, int j) { return state->store.M[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]; }
    std::set<int> shownGrid()
    {
        std::set<int> ids;
        for (int c = id::FirstCell; c <= id::MGroup; ++c)
            if (dialog->control(c) != nullptr && c != id::ActionList && c != id::ActionGroup && shown(c)) ids.insert(c);
        return ids;
    }

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("varno")); }
    void init()
    {
        state = std::make_unique<ProgramState>();
        channel = std::make_unique<RecordingChannel>();
        aboutOpened = 0;
        dialog = std::make_unique<ui::CMainDialog>(*state, *channel, [this](QWidget*) { ++aboutOpened; });
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    }
    void cleanup() { dialog.reset(); }

    // In the comma-locale run the C library really formats "1,5"; the
    // dialog's texts must not follow it.
    void commaLocaleChangesNothing()
    {
        if (!qgetenv("LC_ALL").startsWith("de_DE")) QSKIP("not the comma-locale run");
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%.1f", 1.5);
        QCOMPARE(QByteArray(buffer), QByteArray("1,5"));
        clickRow(id::DimensionList, 0);
        clickRow(id::ActionList, 0);
        typeInto(cell(1, 1), QStringLiteral("1.5"));
        QCOMPARE(K(1, 1), 1.5);
        clickRow(id::ActionList, 1);
        clickRow(id::ActionList, 0);
        QCOMPARE(cell(1, 1)->text(), QStringLiteral("           1.5"));
    }

    void startShowsOnlyTheDimensionChoice()
    {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("varno      version 1.1"));
        QVERIFY(shown(id::DimensionList));
        QVERIFY(!shown(id::ActionList));
        QVERIFY(!shown(id::ActionGroup));
        QVERIFY(shownGrid().empty());
        QCOMPARE(dialog->ListSelection(id::DimensionList), -1);
        QVERIFY(dialog->calculateButton()->isDefault());
        QVERIFY(dialog->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(dialog->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(list(id::DimensionList)->count(), 3);
        QCOMPARE(list(id::ActionList)->item(1)->text(), QStringLiteral("Edit M matrix"));
    }

    void typingStoresEveryKeystroke()
    {
        clickRow(id::DimensionList, 1);
        clickRow(id::ActionList, 0);
        QLineEdit* edit = cell(1, 1);
        std::vector<double> seen;
        connect(edit, &QLineEdit::textChanged, this, [&] { seen.push_back(K(1, 1)); });
        QTest::keyClicks(edit, QStringLiteral("12.5"));
        QCOMPARE(seen, (std::vector<double>{1, 12, 12, 12.5}));
    }

    void switchingActionKeepsTheMatrixLeft()
    {
        clickRow(id::DimensionList, 1);
        clickRow(id::ActionList, 1);
        typeInto(cell(1, 3), QStringLiteral("0.123456789012345"));
        typeInto(cell(1, 1), QStringLiteral("123.456"));
        clickRow(id::ActionList, 0);
        QCOMPARE(M(1, 3), 0.123456789012345);
        clickRow(id::ActionList, 1);
        QCOMPARE(M(1, 1), 123.456);
        QCOMPARE(cell(1, 1)->text(), QStringLiteral("       123.456"));
        QCOMPARE(M(1, 3), 0.123456789012345);
    }

    void dimensionChangesKeepHiddenValues()
    {
        clickRow(id::DimensionList, 2);
        clickRow(id::ActionList, 0);
        typeInto(cell(3, 4), QStringLiteral("7.5"));
        clickRow(id::DimensionList, 0);
        QVERIFY(cell(3, 4)->isHidden());
        QCOMPARE(K(3, 4), 7.5);
        clickRow(id::DimensionList, 2);
        QVERIFY(!cell(3, 4)->isHidden());
        QCOMPARE(cell(3, 4)->text(), QStringLiteral("7.5"));
        QCOMPARE(K(3, 4), 7.5);
    }

    void visibleCellsForEachDimensionAndAction_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("cells");
        QTest::addColumn<int>("group");
        QTest::newRow("n2_K") << 0 << 0 << 3 << id::KGroup;
        QTest::newRow("n3_M") << 1 << 1 << 6 << id::MGroup;
        QTest::newRow("n4_K") << 2 << 0 << 10 << id::KGroup;
        QTest::newRow("n4_M") << 2 << 1 << 10 << id::MGroup;
    }
    void visibleCellsForEachDimensionAndAction()
    {
        QFETCH(int, row);
        QFETCH(int, action);
        QFETCH(int, cells);
        QFETCH(int, group);
        clickRow(id::DimensionList, row);
        QVERIFY(shown(id::ActionList));
        QVERIFY(shownGrid().empty());
        clickRow(id::ActionList, action);
        const int n = row + 2;
        std::set<int> expected{group};
        for (int i = 1; i <= n; ++i) {
            expected.insert(id::FirstColumnLabel + i - 1);
            expected.insert(id::FirstRowLabel + i - 1);
            for (int j = i; j <= n; ++j) expected.insert(CellAt(i, j));
        }
        QCOMPARE(static_cast<int>(expected.size()), cells + 1 + 2 * n);
        QVERIFY(shownGrid() == expected);
    }

    void enterCalculatesAndKeepsTheDialogOpen()
    {
        clickRow(id::DimensionList, 0);
        clickRow(id::ActionList, 0);
        typeInto(cell(1, 1), QStringLiteral("2"));
        typeInto(cell(2, 2), QStringLiteral("6"));
        clickRow(id::ActionList, 1);
        typeInto(cell(1, 1), QStringLiteral("1"));
        typeInto(cell(2, 2), QStringLiteral("2"));
        QTest::keyClick(cell(2, 2), Qt::Key_Return);
        QCOMPARE(channel->messages.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(channel->messages[0]),
                 QStringLiteral("Eigenvalues \n\n lambda1=           2 \n lambda2=           3"));
        QVERIFY(dialog->isVisible());
        list(id::ActionList)->setFocus();
        QTest::keyClick(list(id::ActionList), Qt::Key_Enter);
        QCOMPARE(channel->messages.size(), std::size_t{2});
        QTest::mouseClick(dialog->calculateButton(), Qt::LeftButton);
        QCOMPARE(channel->messages.size(), std::size_t{3});
        QVERIFY(dialog->isVisible());
    }

    // Four masses of a gram in SI units: the closed form refuses M, the
    // dialog shows the checked eigenvalues.
    void massesOfAGramGetTheCheckedReport()
    {
        clickRow(id::DimensionList, 2);
        clickRow(id::ActionList, 0);
        for (int i = 1; i <= 4; ++i) {
            typeInto(cell(i, i), i < 4 ? QStringLiteral("2e6") : QStringLiteral("1e6"));
            if (i < 4) typeInto(cell(i, i + 1), QStringLiteral("-1e6"));
        }
        clickRow(id::ActionList, 1);
        for (int i = 1; i <= 4; ++i) typeInto(cell(i, i), QStringLiteral("1e-3"));
        QTest::keyClick(cell(4, 4), Qt::Key_Return);
        QCOMPARE(channel->messages,
                 (std::vector<std::string>{"\n\n  Eigenvalues \n\n lambda1 =  1.2061e+08 \n lambda2 =       1e+09 \n "
                                           "lambda3 =  2.3473e+09 \n lambda4 =  3.5321e+09 "}));
    }

    void escapeAndExitEndTheDialog()
    {
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        dialog->show();
        QTest::mouseClick(dialog->exitButton(), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
    }

    void calculateRightAfterStart()
    {
        QTest::mouseClick(dialog->calculateButton(), Qt::LeftButton);
        QCOMPARE(channel->messages, (std::vector<std::string>{PleaseEnterK, PleaseEnterM}));
        QCOMPARE(state->store.Dimension, 1);
        QCOMPARE(state->store.ErrorFlag, 9);
        QCOMPARE(dialog->ListSelection(id::ActionList), 1);
        QVERIFY(shown(id::MGroup));
        QVERIFY(!shown(id::KGroup));
        QVERIFY(!shown(id::ActionList));
        QCOMPARE(cell(1, 1)->text(), QStringLiteral("             0"));
        // The programmatic selection ran no action handler: nothing else changed.
        clickRow(id::DimensionList, 1);
        QCOMPARE(dialog->ListSelection(id::ActionList), 1);
        QVERIFY(!cell(3, 3)->isHidden());
    }

    void tabOrderFollowsTheTemplate()
    {
        clickRow(id::DimensionList, 1);
        clickRow(id::ActionList, 0);
        dialog->calculateButton()->setFocus();
        std::vector<QWidget*> expected{dialog->exitButton(), list(id::DimensionList)};
        for (const auto& [i, j] : std::vector<std::pair<int, int>>{{1, 1}, {1, 2}, {1, 3}, {2, 2}, {2, 3}, {3, 3}})
            expected.push_back(cell(i, j));
        expected.push_back(list(id::ActionList));
        expected.push_back(dialog->calculateButton());
        for (QWidget* next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void aboutOpensForCommandsSixteenToThirtyOne()
    {
        for (int command = 0; command < 0x200; ++command) {
            const int before = aboutOpened;
            dialog->OnSysCommand(command);
            QCOMPARE(aboutOpened - before, (command >= 16 && command <= 31) ? 1 : 0);
        }
        for (const int command : {0x1010, 0xF010, 0xF100}) {
            const int before = aboutOpened;
            dialog->OnSysCommand(command);
            QCOMPARE(aboutOpened, before);
        }
        QVERIFY(dialog->isVisible());
        QTest::keyClick(dialog.get(), Qt::Key_F1);
        QCOMPARE(aboutOpened, 17);
    }

    void contextMenuEndsWithTheAboutEntry()
    {
        QTimer::singleShot(0, this, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu != nullptr);
            const QList<QAction*> actions = menu->actions();
            QVERIFY(actions.size() >= 2);
            QCOMPARE(actions.back()->text(), QStringLiteral("&About varno..."));
            QVERIFY(actions[actions.size() - 2]->isSeparator());
            actions.back()->trigger();
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), dialog->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(dialog.get(), &event);
        QCOMPARE(aboutOpened, 1);
    }

    void aboutBox()
    {
        app::CAboutDlg about(dialog.get());
        QCOMPARE(about.windowTitle(), QStringLiteral("About varno"));
        QVERIFY(about.okButton()->isDefault());
        QStringList texts;
        for (const QLabel* label : about.findChildren<QLabel*>())
            if (!label->text().isEmpty()) texts << label->text();
        QVERIFY(texts.contains(QStringLiteral("varno Version 1.1")));
        QTimer::singleShot(0, &about, [&about] { QTest::keyClick(&about, Qt::Key_Return); });
        QCOMPARE(about.exec(), int(QDialog::Accepted));
    }

    // The one test that opens a real modal box, closed by a timer.
    void realMessageBoxShowsTheTextVerbatim()
    {
        const std::string text = "Eigenvalues \n\n lambda1=           2\t+j(1) <b>";
        QString seenTitle, seenText, copied;
        QTimer::singleShot(50, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            seenTitle = box->windowTitle();
            seenText = box->text();
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
            copied = QGuiApplication::clipboard()->text();
            box->button(QMessageBox::Ok)->click();
        });
        ui::MessageBoxChannel real(dialog.get());
        real.ShowMessage(text);
        QCOMPARE(seenTitle, QStringLiteral("varno"));
        QCOMPARE(seenText, QString::fromStdString(text));
        QCOMPARE(copied, QString::fromStdString(text));
    }

    void layoutFitsTheTemplate()
    {
        const QRect inside(QPoint(0, 0), dialog->size());
        const auto& placed = dialog->placedControls();
        for (std::size_t a = 0; a < placed.size(); ++a) {
            const QRect ra = placed[a].widget->geometry();
            QVERIFY2(inside.contains(ra), qPrintable(placed[a].widget->metaObject()->className()));
            for (std::size_t b = a + 1; b < placed.size(); ++b) {
                const QRect rb = placed[b].widget->geometry();
                if (ra.intersects(rb))
                    QVERIFY2(placed[a].templateRect.intersects(placed[b].templateRect),
                             qPrintable(QStringLiteral("controls %1 and %2 overlap").arg(a).arg(b)));
            }
        }
        for (const Placed& p : placed) {
            if (auto* label = qobject_cast<QLabel*>(p.widget); label != nullptr && !label->text().isEmpty()) {
                const QFontMetrics fm(label->font());
                const QRect need = fm.boundingRect(QRect(0, 0, label->width(), 10000),
                                                   label->wordWrap() ? int(Qt::TextWordWrap) : 0, label->text());
                QVERIFY2(need.width() <= label->width() && need.height() <= label->height(),
                         qPrintable(label->text()));
            }
            if (auto* button = qobject_cast<QPushButton*>(p.widget))
                QVERIFY(button->sizeHint().width() <= button->width() + 20 &&
                        button->fontMetrics().horizontalAdvance(button->text()) < button->width());
            if (auto* group = qobject_cast<QGroupBox*>(p.widget))
                QVERIFY(group->fontMetrics().horizontalAdvance(group->title()) < group->width());
        }
        app::CAboutDlg about;
        for (const QLabel* label : about.findChildren<QLabel*>())
            if (!label->text().isEmpty())
                QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                         qPrintable(label->text()));
    }

    void iconIsSet()
    {
        QVERIFY(!dialog->windowIcon().isNull());
        QVERIFY(dialog->windowIcon().availableSizes().contains(QSize(16, 16)));
        QVERIFY(dialog->windowIcon().availableSizes().contains(QSize(32, 32)));
    }

    // Hostile input: a huge paste with control characters, junk typed
    // everywhere while n and the action change, Calculate pressed 1,000 times.
    // The cells must always read as what the store holds.
    void hostileInputNeverDesynchronisesTheStore()
    {
        std::mt19937 rng(5150);
        const auto checkCells = [&] {
            const int action = state->store.ActionIndex;
            if (action != 0 && action != 1) return;
            for (int c = id::FirstCell; c <= id::LastCell; ++c) {
                const auto [i, j] = CellPositionOf(c);
                const double stored = action == 0 ? K(i, j) : M(i, j);
                const double parsed = ParseCellText(dialog->CellText(c));
                QCOMPARE(std::bit_cast<std::uint64_t>(stored), std::bit_cast<std::uint64_t>(parsed));
            }
        };
        clickRow(id::DimensionList, 2);
        clickRow(id::ActionList, 0);
        QString junk = QStringLiteral("  -12.5e3x");
        const QString alphabet = QStringLiteral("0123456789.eE+- \t,xX\u0001\u001f\u00e9\u200b\u03bb");
        while (junk.size() < 100000) junk += alphabet[static_cast<int>(rng() % alphabet.size())];
        QGuiApplication::clipboard()->setText(junk);
        cell(1, 1)->setFocus();
        cell(1, 1)->selectAll();
        QTest::keyClick(cell(1, 1), Qt::Key_V, Qt::ControlModifier);
        QVERIFY(cell(1, 1)->text().size() >= 99000);
        QCOMPARE(K(1, 1), -12500.0);
        checkCells();

        const char* samples[] = {"1e999", "-0", "abc", "0x1p3", "\t7", "1,5", "9.99999999999999999999", "", ".", "-.5e-3"};
        for (int step = 0; step < 300; ++step) {
            if (step % 17 == 0) clickRow(id::DimensionList, static_cast<int>(rng() % 3));
            if (step % 11 == 0) clickRow(id::ActionList, static_cast<int>(rng() % 2));
            std::vector<QLineEdit*> visible;
            for (int c = id::FirstCell; c <= id::LastCell; ++c)
                if (!dialog->control(c)->isHidden()) visible.push_back(qobject_cast<QLineEdit*>(dialog->control(c)));
            QVERIFY(!visible.empty());
            QLineEdit* edit = visible[rng() % visible.size()];
            typeInto(edit, QString::fromUtf8(samples[rng() % std::size(samples)]));
            checkCells();
        }
        for (int press = 0; press < 1000; ++press) QTest::mouseClick(dialog->calculateButton(), Qt::LeftButton);
        QVERIFY(channel->messages.size() >= 1000);
        checkCells();
    }

private:
    using Placed = ui::CMainDialog::Placed;
};

QTEST_MAIN(MainDialogTest)
#include "main_dialog_test.moc"
