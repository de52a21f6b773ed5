// The main dialog driven through its real widgets, headless.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QAccessible>
#include <QTimer>
#include <QtTest>
#include <bit>
#include <cstring>
#include <cstdio>
#include <random>
#include <set>

#include "app/about_dialog.h"
#include "core/matrix_store.h"
#include "core/memory_grid.h"
#include "core/number_text.h"
#include "core/version.h"
#include "driver/calculate.h"
#include "ui/cell_text.h"
#include "ui/dialog_units.h"
#include "ui/grid_widgets.h"
#include "ui/help_window.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"
#include "ui/modes_text.h"
#include "ui/modes_window.h"
#include "ui/prompts.h"
#include "scripted_prompts.h"

#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QImage>
#include <QLegend>
#include <QLineSeries>
#include <QSet>
#include <QScrollBar>
#include <QTableWidget>
#include <QMimeData>
#include <QProcess>
#include <QComboBox>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace varno;

// The Modes window's file questions, answered from a script; records the
// folder each started in and what could not be written.
struct ScriptedExportPrompts final : ui::ExportPrompts {
    QString path;
    int times = 2;
    ui::ModesTable table = ui::ModesTable::Modes;
    QStringList folders;
    QStringList unwritten;
    ui::TableFileChoice TableFile(const QString& folder) override
    {
        folders << folder;
        return {path, table};
    }
    ui::PlotFile PlotFileChoice(const QString& folder, QSize) override
    {
        folders << folder;
        return {path, times};
    }
    void CannotWrite(const QString& file) override { unwritten << file; }
};

// Records, and lets a test look at the windows where a box would be open.
struct PeekingChannel final : ReportChannel {
    RecordingChannel& records;
    std::function<void()> peek;
    explicit PeekingChannel(RecordingChannel& recording) : records(recording) {}
    void ShowMessage(const std::string& text) override
    {
        if (peek) peek();
        records.ShowMessage(text);
    }
    void ShowReport(const std::string& text, std::span<const Eigenvalue> values, ReportForm form) override
    {
        if (peek) peek();
        records.ShowReport(text, values, form);
    }
};

class MainDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramState> state;
    std::unique_ptr<RecordingChannel> channel;
    std::unique_ptr<PeekingChannel> peeking;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<ui::CMainDialog> dialog;
    int aboutOpened = 0;

    QListWidget* list(int id) { return qobject_cast<QListWidget*>(dialog->control(id)); }
    QLineEdit* cell(int i, int j) { return qobject_cast<QLineEdit*>(dialog->control(CellAt(i, j))); }
    bool shown(int id) { return !dialog->control(id)->isHidden(); }
    void clickRow(int listId, int row)
    {
        QListWidget* l = list(listId);
        l->scrollToItem(l->item(row));  // rows below the fold as a user reaches them
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(row)).center());
    }
    void typeInto(QLineEdit* edit, const QString& text)
    {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    // The entry of menu with that text; null when there is none.
    static QAction* entry(QMenu* menu, const char* text)
    {
        for (QAction* action : menu->actions())
            if (action->text() == QString::fromUtf8(text)) return action;
        return nullptr;
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

    // Types the upper triangles of K and M (row by row) for n and presses
    // Calculate.
    void calculate(int n, const std::vector<const char*>& k, const std::vector<const char*>& m)
    {
        clickRow(id::DimensionList, n - 2);
        for (int action : {0, 1}) {
            clickRow(id::ActionList, action);
            std::size_t next = 0;
            for (int i = 1; i <= n; ++i)
                for (int j = i; j <= n; ++j) dialog->SetCellText(CellAt(i, j), (action == 0 ? k : m).at(next++));
        }
        QTest::mouseClick(dialog->calculateButton(), Qt::LeftButton);
    }
    // The chain fixed at one end worked by hand: k1 = 2000, k2 = 1000 N/m,
    // masses 10 and 5 kg.
    void calculateChain() { calculate(2, {"3000", "-1000", "1000"}, {"10", "0", "5"}); }
    // A buckling pencil: only K is definite, M singular.
    // K definite, M (a geometric stiffness) of both signs.
    void calculateBuckling() { calculate(2, {"4e5", "-2e5", "4e5"}, {"1", "0", "-0.5"}); }
    // Neither M, -M, K nor -K definite.
    void calculateIndefinite() { calculate(2, {"1", "0", "-1"}, {"0", "1", "0"}); }
    ui::ModesWindow* openModes()
    {
        QTest::mouseClick(dialog->modesButton(), Qt::LeftButton);
        ui::ModesWindow* window = dialog->modesWindow();
        if (window != nullptr && !QTest::qWaitForWindowExposed(window)) return nullptr;
        return window;
    }
    static int seriesCount(ui::ModesWindow* window) { return static_cast<int>(window->plot()->chart()->series().size()); }
    static QString copied(ui::ModesWindow* window)
    {
        QGuiApplication::clipboard()->clear();
        QTest::mouseClick(window->copyButton(), Qt::LeftButton);
        return QGuiApplication::clipboard()->text();
    }

private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("varno")); }
    void init()
    {
        state = std::make_unique<ProgramState>();
        channel = std::make_unique<RecordingChannel>();
        peeking = std::make_unique<PeekingChannel>(*channel);
        prompts = std::make_unique<ScriptedPrompts>();
        aboutOpened = 0;
        dialog = std::make_unique<ui::CMainDialog>(*state, *peeking, *prompts, [this](QWidget*) { ++aboutOpened; });
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
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Untitled[*] \u2014 varno version " VARNO_VERSION));
        QVERIFY(!dialog->isWindowModified());
        QVERIFY(shown(id::DimensionList));
        QVERIFY(!shown(id::ActionList));
        QVERIFY(!shown(id::ActionGroup));
        QVERIFY(shownGrid().empty());
        QCOMPARE(dialog->ListSelection(id::DimensionList), -1);
        QVERIFY(dialog->calculateButton()->isDefault());
        QVERIFY(dialog->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(dialog->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(list(id::DimensionList)->count(), 5);
        QCOMPARE(list(id::DimensionList)->item(4)->text(), QStringLiteral("6"));
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
        QTest::newRow("n5_K") << 3 << 0 << 15 << id::KGroup;
        QTest::newRow("n6_M") << 4 << 1 << 21 << id::MGroup;
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

    void calculateAfterARefusalShowsTheReport()
    {
        clickRow(id::DimensionList, 0);
        clickRow(id::ActionList, 0);
        typeInto(cell(1, 1), QStringLiteral("2"));
        typeInto(cell(2, 2), QStringLiteral("6"));
        QTest::mouseClick(dialog->calculateButton(), Qt::LeftButton);
        QCOMPARE(channel->messages, (std::vector<std::string>{PleaseEnterM}));
        QVERIFY(shown(id::MGroup));
        QCOMPARE(QAccessible::queryAccessibleInterface(cell(1, 1))->text(QAccessible::Name),
                 QStringLiteral("M row 1, column 1"));
        typeInto(cell(1, 1), QStringLiteral("1"));
        typeInto(cell(2, 2), QStringLiteral("2"));
        QTest::mouseClick(dialog->calculateButton(), Qt::LeftButton);
        QCOMPARE(channel->messages.back(), std::string("Eigenvalues \n\n lambda1=           2 \n lambda2=           3"));
    }

    // A redisplayed value longer than its cell shows its sign and first digits.
    void longValuesShowTheirStart()
    {
        clickRow(id::DimensionList, 0);
        clickRow(id::ActionList, 0);
        typeInto(cell(1, 1), QStringLiteral("-98765.4321098"));
        typeInto(cell(1, 2), QStringLiteral("-0.000123456789"));
        clickRow(id::ActionList, 1);
        clickRow(id::ActionList, 0);
        for (QLineEdit* edit : {cell(1, 1), cell(1, 2)}) {
            QVERIFY(edit->text().trimmed().startsWith(QLatin1Char('-')));
            QCOMPARE(edit->cursorPosition(), 0);
        }
    }

    // What fits is counted in characters here; the cells measure pixels.
    void shortenedTextKeepsSignDigitsAndExponent_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("room");
        QTest::addColumn<QString>("shown");
        QTest::newRow("fits") << QStringLiteral("  -1.5e-05") << 10 << QStringLiteral("  -1.5e-05");
        QTest::newRow("blanks go first") << QStringLiteral("    -1.5e-05") << 8 << QStringLiteral("-1.5e-05");
        QTest::newRow("exponent kept") << QStringLiteral("-1.2345678901234567e-05") << 12
                                       << QString::fromUtf8("-1.2345\u2026e-05");
        QTest::newRow("down to one digit") << QStringLiteral("-1.2345678901234567e-05") << 8
                                           << QString::fromUtf8("-1\u2026e-05");
        QTest::newRow("whole integer part") << QStringLiteral("-98765.4321098") << 9 << QString::fromUtf8("-98765.4\u2026");
        QTest::newRow("long integer") << QStringLiteral("123456789012345678901234") << 10
                                      << QString::fromUtf8("1.234\u2026e+23");
        QTest::newRow("small fixed") << QStringLiteral("0.000000000012345678") << 10 << QString::fromUtf8("1.234\u2026e-11");
        QTest::newRow("tiny fixed") << QStringLiteral("0.00000000000000012") << 8 << QStringLiteral("1.2e-16");
        QTest::newRow("small fixed fits") << QStringLiteral("0.00012345678901") << 9 << QString::fromUtf8("0.000123\u2026");
        QTest::newRow("text after") << QStringLiteral("1.23456789e-05x") << 10 << QString::fromUtf8("1.23\u2026e-05\u2026");
        QTest::newRow("no number") << QStringLiteral("abcdefghijkl") << 5 << QString::fromUtf8("abcd\u2026");
    }
    void shortenedTextKeepsSignDigitsAndExponent()
    {
        QFETCH(QString, text);
        QFETCH(int, room);
        QFETCH(QString, shown);
        QCOMPARE(ui::ShortenedCellText(text, [room](const QString& t) { return t.size() <= room; }), shown);
    }

    // Click or tab into a cell and type: a value the program wrote is
    // replaced, one the user typed is not.
    void focusThenTypeReplacesOnlyAProgramValue_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("typedBefore");
        QTest::addColumn<QString>("result");
        QTest::newRow("click") << QStringLiteral("click") << false << QStringLiteral("-1000");
        QTest::newRow("trembling click") << QStringLiteral("tremble") << false << QStringLiteral("-1000");
        QTest::newRow("tab") << QStringLiteral("tab") << false << QStringLiteral("-1000");
        QTest::newRow("click after typing") << QStringLiteral("click") << true << QStringLiteral("2-1000");
    }
    void focusThenTypeReplacesOnlyAProgramValue()
    {
        QFETCH(QString, how);
        QFETCH(bool, typedBefore);
        QFETCH(QString, result);
        clickRow(id::DimensionList, 0);
        clickRow(id::ActionList, 0);
        QLineEdit* edit = cell(1, 2);
        QCOMPARE(edit->text(), QStringLiteral("             0"));
        if (typedBefore) {
            edit->setFocus();
            typeInto(edit, QStringLiteral("2"));
        }
        cell(1, 1)->setFocus();
        const QPoint end(edit->width() - 4, edit->height() / 2);  // right of the text: the caret goes to its end
        if (how == QLatin1String("tab")) {
            QTest::keyClick(cell(1, 1), Qt::Key_Tab);
        } else {
            QTest::mousePress(edit, Qt::LeftButton, {}, end);
            if (how == QLatin1String("tremble")) QTest::mouseMove(edit, end - QPoint(2, 1));
            QTest::mouseRelease(edit, Qt::LeftButton, {}, end - (how == QLatin1String("tremble") ? QPoint(2, 1) : QPoint()));
        }
        QCOMPARE(QApplication::focusWidget(), edit);
        QTest::keyClicks(edit, QStringLiteral("-1000"));
        QCOMPARE(edit->text(), result);
        QCOMPARE(K(1, 2), ParseCellText(result.toStdString()));
    }

    // Without the focus a long value shows its size; the cell, the store and
    // the notifications are those of the whole text.
    void overflowingCellShowsItsSize()
    {
        clickRow(id::DimensionList, 0);
        clickRow(id::ActionList, 0);
        auto* edit = qobject_cast<ui::CellEdit*>(cell(1, 2));
        const QString whole = QStringLiteral("-1.2345678901234567e-05");
        edit->setFocus();
        typeInto(edit, whole);
        QCOMPARE(edit->shownText(), whole);  // with the focus: all of it, from its first character
        QCOMPARE(edit->cursorPosition(), static_cast<int>(whole.size()));
        QSignalSpy changes(edit, &QLineEdit::textChanged);
        edit->setSelection(3, 4);
        QFocusEvent toMenu(QEvent::FocusOut, Qt::PopupFocusReason);  // its context menu keeps the selection
        QApplication::sendEvent(edit, &toMenu);
        QCOMPARE(edit->selectedText(), QStringLiteral("2345"));
        edit->setCursorPosition(5);
        QFocusEvent toBox(QEvent::FocusOut, Qt::ActiveWindowFocusReason);  // a message box: typing goes on there
        QApplication::sendEvent(edit, &toBox);
        QCOMPARE(edit->cursorPosition(), 5);
        cell(1, 1)->setFocus();
        QCOMPARE(edit->cursorPosition(), 0);  // where the shortened form begins
        const QString shown = edit->shownText();
        QVERIFY2(shown.startsWith(QStringLiteral("-1.23")) && shown.endsWith(QString::fromUtf8("\u2026e-05")),
                 qPrintable(shown));
        QVERIFY(edit->fontMetrics().horizontalAdvance(shown) < edit->width());
        QCOMPARE(QString::fromStdString(dialog->CellText(CellAt(1, 2))), whole);
        QCOMPARE(K(1, 2), -1.2345678901234567e-05);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(edit->accessibleDescription(), whole);
        QVERIFY(edit->toolTip().contains(whole));
        QTest::keyClick(cell(1, 1), Qt::Key_Tab);  // back in: whole, from the first character
        QCOMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(edit->shownText(), whole);
        QCOMPARE(edit->cursorPosition(), 0);
        QCOMPARE(edit->selectedText(), whole);

        typeInto(edit, whole + QStringLiteral("x"));  // the note stays beside the whole text
        QCOMPARE(edit->accessibleDescription(),
                 whole + QStringLiteral("x\n") + QString::fromStdString(CellTextNote(whole.toStdString() + "x")));
        QVERIFY(edit->toolTip().contains(QStringLiteral("read as")));
        typeInto(edit, QStringLiteral("1.5"));
        QCOMPARE(edit->shownText(), QStringLiteral("1.5"));
        QCOMPARE(edit->toolTip(), QString());
    }

    void misreadCellsAreMarked_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("note");
        QTest::newRow("comma") << QStringLiteral("1,5") << QStringLiteral("read as 1");
        QTest::newRow("blank between") << QStringLiteral("      2      0") << QStringLiteral("read as 2");
        QTest::newRow("no number") << QStringLiteral("abc") << QStringLiteral("read as 0");
        QTest::newRow("overflow") << QStringLiteral("1e999") << QStringLiteral("too large: read as infinity");
        QTest::newRow("leading blanks") << QStringLiteral("   2.5") << QString();
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("minus zero") << QStringLiteral("-0") << QString();
    }

    void misreadCellsAreMarked()
    {
        QFETCH(QString, text);
        QFETCH(QString, note);
        clickRow(id::DimensionList, 0);
        clickRow(id::ActionList, 0);
        QLineEdit* edit = cell(1, 2);
        const QColor plain = edit->palette().color(QPalette::Base);
        typeInto(edit, text);
        QCOMPARE(edit->toolTip(), note);
        QCOMPARE(edit->accessibleDescription(), note);
        QCOMPARE(edit->palette().color(QPalette::Base) != plain, !note.isEmpty());
        typeInto(edit, QStringLiteral("1.5"));  // read whole again: the mark goes
        QCOMPARE(edit->toolTip(), QString());
        QCOMPARE(edit->palette().color(QPalette::Base), plain);
    }

    // With the focus a list or a button has a frame in the highlight colour,
    // on a light palette and a dark one; without it, none. Calculate too,
    // which looks the same focused or not where the style outlines the
    // default button only.
    void listsShowTheirFocus_data()
    {
        QTest::addColumn<QColor>("base");
        QTest::addColumn<QColor>("highlight");
        QTest::newRow("light") << QColor(255, 255, 255) << QColor(0, 90, 200);
        QTest::newRow("dark") << QColor(25, 25, 25) << QColor(255, 160, 0);
    }
    void listsShowTheirFocus()
    {
        QFETCH(QColor, base);
        QFETCH(QColor, highlight);
        QPalette colours = dialog->palette();
        colours.setColor(QPalette::Base, base);
        colours.setColor(QPalette::Highlight, highlight);
        dialog->setPalette(colours);
        clickRow(id::DimensionList, 0);
        for (QListWidget* l : {list(id::DimensionList), list(id::ActionList)}) {
            l->setFocus();
            const QImage focused = l->viewport()->grab().toImage();
            QCOMPARE(focused.pixelColor(1, focused.height() - 2), highlight);  // below the rows
            dialog->exitButton()->setFocus();
            QCOMPARE(l->viewport()->grab().toImage().pixelColor(1, focused.height() - 2), base);
        }
        // Along the middle row of a button's left quarter.
        const auto framed = [&](QPushButton* button) {
            const QImage image = button->grab().toImage();
            for (int x = 0; x < image.width() / 4; ++x)
                if (image.pixelColor(x, image.height() / 2) == highlight) return true;
            return false;
        };
        for (QPushButton* button : {dialog->calculateButton(), dialog->exitButton(), dialog->fileButton()}) {
            button->setFocus();
            QVERIFY(framed(button));
            list(id::DimensionList)->setFocus();
            QVERIFY(!framed(button));
        }
    }

    void listsKeepTheirChoice()
    {
        clickRow(id::DimensionList, 1);
        clickRow(id::ActionList, 0);
        for (const int id : {id::DimensionList, id::ActionList}) {
            QListWidget* l = list(id);
            const int row = l->currentRow();
            QTest::mouseClick(l->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              l->visualItemRect(l->item(row)).center());
            QCOMPARE(dialog->ListSelection(id), row);
        }
        QCOMPARE(state->store.Dimension, 3);
        QVERIFY(!cell(3, 3)->isHidden());
    }

    // With nothing chosen, Down chooses the first row, as a list box does.
    void firstArrowChoosesTheFirstRow()
    {
        for (const int id : {id::DimensionList, id::ActionList}) {
            QListWidget* l = list(id);
            l->setFocus();
            QTest::keyClick(l, Qt::Key_Down);
            QCOMPARE(dialog->ListSelection(id), 0);
        }
        QCOMPARE(state->store.Dimension, 2);
        QCOMPARE(state->store.ActionIndex, 0);
        QTest::keyClick(list(id::DimensionList), Qt::Key_Down);  // then on, as always
        QCOMPARE(state->store.Dimension, 3);
    }

    void copiedMatrixPastesBackBitForBit()
    {
        clickRow(id::DimensionList, 2);
        clickRow(id::ActionList, 0);
        const char* values[] = {"-0", "1e-300", "123.456789012345", "-2e6", "5e-324", "1e999", "0.1", "7", "-3.5", "8"};
        int v = 0;
        for (int i = 1; i <= 4; ++i)
            for (int j = i; j <= 4; ++j) typeInto(cell(i, j), QString::fromUtf8(values[v++]));
        auto* source = qobject_cast<ui::CellEdit*>(cell(2, 3));
        std::unique_ptr<QMenu> menu(source->createCellMenu());
        QAction* copy = entry(menu.get(), ui::CopyMatrixText);
        QVERIFY(copy != nullptr);
        copy->trigger();
        const QString copied = QGuiApplication::clipboard()->text();
        QCOMPARE(copied.count(QLatin1Char('\n')), 4);
        QCOMPARE(copied.split(QLatin1Char('\n')).front().count(QLatin1Char('\t')), 3);

        clickRow(id::ActionList, 1);
        cell(4, 4)->setFocus();
        QTest::keyClick(cell(4, 4), Qt::Key_V, Qt::ControlModifier);
        for (int i = 1; i <= 4; ++i)
            for (int j = i; j <= 4; ++j)
                QCOMPARE(std::bit_cast<std::uint64_t>(M(i, j)), std::bit_cast<std::uint64_t>(K(i, j)));
    }

    void spreadsheetRowsFillTheShownMatrix()
    {
        clickRow(id::DimensionList, 1);
        clickRow(id::ActionList, 0);
        QGuiApplication::clipboard()->setText(QStringLiteral("1\t2\t3\n9\t4\t5\n9\t9\t6\n"));
        auto* target = qobject_cast<ui::CellEdit*>(cell(2, 2));
        std::unique_ptr<QMenu> menu(target->createCellMenu());
        QAction* pasteMatrix = entry(menu.get(), ui::PasteMatrixText);
        QVERIFY(pasteMatrix != nullptr);
        QVERIFY(pasteMatrix->isEnabled());
        target->setFocus();
        QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE((std::vector<double>{K(1, 1), K(1, 2), K(1, 3), K(2, 2), K(2, 3), K(3, 3), K(2, 1)}),
                 (std::vector<double>{1, 2, 3, 4, 5, 6, 0}));  // below the diagonal: ignored
        QCOMPARE(cell(1, 3)->text(), QStringLiteral("3"));
        QTest::keyClicks(target, QStringLiteral("8"));  // a pasted value is replaced by typing, as any written one
        QCOMPARE(target->text(), QStringLiteral("8"));

        // Not rows for n = 3: it goes into the one cell, as any paste.
        QGuiApplication::clipboard()->setText(QStringLiteral("7 8"));
        menu.reset(target->createCellMenu());
        pasteMatrix = entry(menu.get(), ui::PasteMatrixText);
        QVERIFY(pasteMatrix != nullptr);
        QVERIFY(!pasteMatrix->isEnabled());
        target->selectAll();
        QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(target->text(), QStringLiteral("7 8"));
        QCOMPARE(K(2, 2), 7.0);
        QCOMPARE(K(1, 1), 1.0);
        QCOMPARE(target->toolTip(), QStringLiteral("read as 7"));

        // Rows of another order, or rows that are no matrix: said so, and
        // never one cell of junk.
        const struct {
            const char* rows;
            const char* said;
        } refused[] = {
            {"1\t0\t0\t0\n2\t0\t0\n3\t0\n4\n", "The clipboard holds a 4 \u00d7 4 matrix, and n is 3: choose n = 4, then paste it."},
            {"1 2; 3 4 5 6; 7", "The clipboard holds rows that are no matrix of order 2 to 6 (each row full, or from the "
                                "diagonal on), so nothing was pasted."},
        };
        for (const auto& r : refused) {
            channel->messages.clear();
            QGuiApplication::clipboard()->setText(QString::fromUtf8(r.rows));
            QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(channel->messages, std::vector<std::string>{r.said});
            QCOMPARE(target->text(), QStringLiteral("7 8"));
            QCOMPARE(K(2, 2), 7.0);
        }
    }

    void controlsHaveAccessibleNames()
    {
        const auto name = [](QObject* o) { return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name); };
        clickRow(id::DimensionList, 0);
        clickRow(id::ActionList, 0);
        QCOMPARE(name(cell(1, 2)), QStringLiteral("K row 1, column 2"));
        QCOMPARE(name(cell(2, 2)), QStringLiteral("K row 2, column 2"));
        clickRow(id::ActionList, 1);
        QCOMPARE(name(cell(1, 2)), QStringLiteral("M row 1, column 2"));
        QCOMPARE(name(list(id::DimensionList)), QStringLiteral("Select Dimension"));
        QCOMPARE(name(list(id::ActionList)), QStringLiteral("Select Action"));
        QCOMPARE(name(dialog->calculateButton()), QStringLiteral("Calculate"));
        QCOMPARE(name(dialog->exitButton()), QStringLiteral("Exit"));
        QCOMPARE(name(dialog->modesButton()), QStringLiteral("Modes"));
        int pictures = 0;
        for (QLabel* label : dialog->findChildren<QLabel*>())
            if (!label->pixmap().isNull()) {
                QCOMPARE(name(label), QString::fromUtf8("K x = \u03bb M x"));
                ++pictures;
            }
        QCOMPARE(pictures, 1);
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

    // Before a dimension is chosen: one message, and the form as it was.
    // Escape (in a cell too), Exit and the close box ask first where typed
    // values would be lost, and only there; the answer decides.
    void closingAsksOnlyWhereChangesWouldBeLost_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("closed");
        const int save = int(ui::SaveAnswer::Save), discard = int(ui::SaveAnswer::Discard),
                  cancel = int(ui::SaveAnswer::Cancel);
        QTest::newRow("nothing typed") << "exit" << false << cancel << true << true;
        QTest::newRow("escape in a cell, cancel") << "escape" << true << cancel << true << false;
        QTest::newRow("close box, discard") << "close" << true << discard << true << true;
        QTest::newRow("exit, save") << "exit" << true << save << true << true;
        QTest::newRow("save fails") << "exit" << true << save << false << false;
    }
    void closingAsksOnlyWhereChangesWouldBeLost()
    {
        QFETCH(QString, how);
        QFETCH(bool, typed);
        QFETCH(int, answer);
        QFETCH(bool, writable);
        QFETCH(bool, closed);
        QTemporaryDir dir;
        prompts->answer = ui::SaveAnswer(answer);
        prompts->saveAs = dir.filePath(writable ? QStringLiteral("p.varno") : QStringLiteral("no/such/dir/p.varno"));
        clickRow(id::DimensionList, 0);
        clickRow(id::ActionList, 0);
        if (typed) {
            cell(1, 1)->setFocus();
            QTest::keyClicks(cell(1, 1), QStringLiteral("2"));
        }
        QCOMPARE(dialog->isWindowModified(), typed);
        if (how == QLatin1String("escape"))
            QTest::keyClick(cell(1, 1), Qt::Key_Escape);
        else if (how == QLatin1String("close"))
            dialog->close();
        else
            QTest::mouseClick(dialog->exitButton(), Qt::LeftButton);
        QCOMPARE(prompts->asked, typed ? 1 : 0);
        QCOMPARE(dialog->isVisible(), !closed);
        QCOMPARE(K(1, 1), typed ? 2.0 : 0.0);
        QCOMPARE(QFileInfo::exists(prompts->saveAs), answer == int(ui::SaveAnswer::Save) && writable);
        if (!writable) {  // one message naming the reason
            QCOMPARE(channel->messages.size(), std::size_t{1});
            QVERIFY2(QString::fromStdString(channel->messages[0]).contains(QStringLiteral("No such file")),
                     channel->messages[0].c_str());
        }
    }

    // Typed, saved, opened in a fresh window by a drop: the same values, the
    // same answer, and the batch command gives it for the file too.
    void problemRoundTripsThroughAFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("chain.varno"));
        calculate(3, {"3000", "-1000", "0.1", "1000", "1e-300", "7"}, {"10", "0", "0", "5", "0", "2.5"});
        QCOMPARE(channel->messages.size(), std::size_t{1});
        prompts->saveAs = path;
        QVERIFY(dialog->SaveAs());
        QVERIFY(!dialog->isWindowModified());
        QVERIFY(dialog->windowTitle().startsWith(QStringLiteral("chain.varno[*]")));
        QCOMPARE(dialog->recentFiles(), (std::vector<std::string>{QFileInfo(path).absoluteFilePath().toStdString()}));

        ProgramState freshState;
        RecordingChannel freshChannel;
        ScriptedPrompts freshPrompts;
        ui::CMainDialog fresh(freshState, freshChannel, freshPrompts, {});
        fresh.show();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
        static_cast<QObject&>(fresh).event(&drop);  // past the application, which drops a drop without a drag
        QTRY_COMPARE(freshState.store.Dimension, 3);
        QCOMPARE(fresh.ListSelection(id::ActionList), 0);
        for (int i = 1; i <= 3; ++i)
            for (int j = i; j <= 3; ++j) {
                const auto r = static_cast<std::size_t>(i), c = static_cast<std::size_t>(j);
                QCOMPARE(std::bit_cast<std::uint64_t>(freshState.store.K[r][c]), std::bit_cast<std::uint64_t>(K(i, j)));
                QCOMPARE(std::bit_cast<std::uint64_t>(freshState.store.M[r][c]), std::bit_cast<std::uint64_t>(M(i, j)));
            }
        QVERIFY(!fresh.isWindowModified());
        fresh.OnOK();
        QCOMPARE(freshChannel.messages, channel->messages);

        QProcess cli;
        cli.start(QStringLiteral(VARNO_CLI), {path});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()),
                 QString::fromStdString(channel->messages[0]) + QStringLiteral("\n\n"));
    }

    // A file of several problems: the one picked, offered by line and n.
    void severalProblemsOfferAChoice()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("two.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("K\n2 0\n6\nM\n1 0\n2\n\nK\n1 0 0\n2 0\n3\nM\n1 0 0\n1 0\n1\n");
        file.close();
        prompts->pick = -1;  // none picked: nothing opened
        QVERIFY(!dialog->OpenFile(path));
        QCOMPARE(state->store.Dimension, 0);
        prompts->pick = 1;
        QVERIFY(dialog->OpenFile(path));
        QCOMPARE(prompts->items, (QStringList{QStringLiteral("Line 1: n = 2"), QStringLiteral("Line 8: n = 3")}));
        QCOMPARE(state->store.Dimension, 3);
        QCOMPARE(K(3, 3), 3.0);
    }

    // A malformed file, or none: one message naming the line or the reason,
    // the matrices as they were.
    void unreadableFileChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("said");
        QTest::newRow("malformed") << QByteArray("K\n1 2\n3\nM\n1 0\n") << QStringLiteral("line 5: ");
        QTest::newRow("missing") << QByteArray() << QStringLiteral("No such file");
    }
    void unreadableFileChangesNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, said);
        clickRow(id::DimensionList, 0);
        clickRow(id::ActionList, 0);
        typeInto(cell(1, 2), QStringLiteral("4.5"));
        const ProgramState before = *state;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.varno"));
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QVERIFY(!dialog->OpenFile(path));
        QCOMPARE(channel->messages.size(), std::size_t{1});
        QVERIFY2(QString::fromStdString(channel->messages[0]).contains(said), channel->messages[0].c_str());
        QVERIFY(std::memcmp(&before.store.K, &state->store.K, sizeof before.store.K) == 0);
        QVERIFY(std::memcmp(&before.store.M, &state->store.M, sizeof before.store.M) == 0);
        QCOMPARE(cell(1, 2)->text(), QStringLiteral("4.5"));
        QVERIFY(dialog->isWindowModified());
        QCOMPARE(prompts->asked, 0);
    }

    // Import: K and M told apart by name, in either order; where they read,
    // the problem replaced as by Open, after the question, unsaved; else one
    // message and the matrices as they were.
    void importTakesAModelOrNothing_data()
    {
        QTest::addColumn<QStringList>("files");  // name, text, name, text ...: all chosen
        QTest::addColumn<QString>("said");        // empty where it imports
        QTest::addColumn<QString>("tip");         // cell (1, 2)'s tooltip after
        const QString mtxK = QStringLiteral("%%MatrixMarket matrix coordinate real symmetric\n2 2 3\n1 1 2\n2 1 -1\n2 2 6\n");
        const QString mtxM = QStringLiteral("%%MatrixMarket matrix coordinate real general\n2 2 2\n1 1 1\n2 2 2\n");
        QTest::newRow("mtx, M's first") << QStringList{"beam_M.mtx", mtxM, "beam_K.mtx", mtxK} << QString() << QString();
        QTest::newRow("CalculiX, labelled")
            << QStringList{"job.mas", "1 1 1\n2 2 2\n", "job.sti", "1 1 2\n1 2 -1\n2 2 6\n", "job.dof", "1.1\n1.2\n"}
            << QString() << QStringLiteral("Degrees of freedom 1.1 and 1.2");
        QTest::newRow("malformed") << QStringList{"b_K.mtx", mtxK.chopped(2) + "x\n", "b_M.mtx", mtxM}
                                   << QStringLiteral("b_K.mtx: line 5: ") << QString();
        QTest::newRow("too large") << QStringList{"big.sti", "4001 4001 1\n", "big.mas", "1 1 1\n"}
                                   << QStringLiteral("at most 4000") << QString();
        QTest::newRow("names do not tell") << QStringList{"a.mtx", mtxK, "b.mtx", mtxM}
                                           << QStringLiteral("Cannot tell") << QString();
        QTest::newRow("one file") << QStringList{"beam_K.mtx", mtxK} << QStringLiteral("two files") << QString();
        // Chosen one after the other, K's first: the names need not tell, but must not say the other.
        QTest::newRow("in order") << QStringList{"in order", "", "a.mtx", mtxK, "b.mtx", mtxM} << QString() << QString();
        QTest::newRow("in order, swapped")
            << QStringList{"in order", "", "beam_M.mtx", mtxM, "beam_K.mtx", mtxK}
            << QStringLiteral("beam_M.mtx's name says it holds M, but it was chosen as K's file.") << QString();
        // Labels from a file are text, never markup that a tooltip would render (or load a file for).
        QTest::newRow("labels like markup")
            << QStringList{"job.sti", "1 1 2\n1 2 -1\n2 2 6\n", "job.mas", "1 1 1\n2 2 2\n", "job.dof",
                           "<h1>big</h1>\n<img src=x>\n"}
            << QString()
            << QStringLiteral("<p style=\"white-space:pre-wrap\">Degrees of freedom &lt;h1&gt;big&lt;/h1&gt; and "
                              "&lt;img src=x&gt;</p>");
        QTest::newRow("a problem file as K")
            << QStringList{"beam_K.varno", "K\n2 -1\n6\nM\n1 0\n2\n", "beam_M.mtx", mtxM}
            << QStringLiteral("beam_K.varno is a problem file, with K and M together, not one matrix of a model; "
                              "open it with Open (Ctrl+O).")
            << QString();
    }
    void importTakesAModelOrNothing()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, said);
        QFETCH(QString, tip);
        QTemporaryDir dir;
        prompts->importedInOrder = files.front() == QLatin1String("in order");
        if (prompts->importedInOrder) files = files.mid(2);
        for (qsizetype k = 0; k < files.size(); k += 2) {
            QFile file(dir.filePath(files[k]));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(files[k + 1].toUtf8());
            prompts->imported << file.fileName();
        }
        clickRow(id::DimensionList, 0);
        clickRow(id::ActionList, 0);
        typeInto(cell(1, 2), QStringLiteral("4.5"));
        const ProgramState before = *state;
        prompts->answer = ui::SaveAnswer::Discard;
        QCOMPARE(dialog->Import(), said.isEmpty());
        QCOMPARE(prompts->asked, said.isEmpty() ? 1 : 0);
        QVERIFY(dialog->isWindowModified());
        QCOMPARE(cell(1, 2)->toolTip(), tip);
        if (!said.isEmpty()) {
            QCOMPARE(channel->messages.size(), std::size_t{1});
            QVERIFY2(QString::fromStdString(channel->messages[0]).contains(said), channel->messages[0].c_str());
            QVERIFY(std::memcmp(&before.store.K, &state->store.K, sizeof before.store.K) == 0);
            QVERIFY(std::memcmp(&before.store.M, &state->store.M, sizeof before.store.M) == 0);
            QCOMPARE(cell(1, 2)->text(), QStringLiteral("4.5"));
            return;
        }
        QVERIFY(channel->messages.empty());
        QCOMPARE((QList<double>{K(1, 1), K(1, 2), K(2, 2), M(1, 1), M(1, 2), M(2, 2)}),
                 (QList<double>{2.0, -1.0, 6.0, 1.0, 0.0, 2.0}));
        QVERIFY(dialog->windowTitle().startsWith(QStringLiteral("Untitled[*]")));
        clickRow(id::DimensionList, 1);  // the labels name the model's degrees of freedom only
        QCOMPARE(cell(1, 2)->toolTip(), QString());
    }

    // Cells not read as typed are named below the buttons, both matrices,
    // until they read whole; the message boxes stay as they are.
    void misreadCellsAreNamedBelowTheButtons()
    {
        clickRow(id::DimensionList, 0);
        clickRow(id::ActionList, 0);
        typeInto(cell(1, 1), QStringLiteral("2"));
        typeInto(cell(2, 2), QStringLiteral("6"));
        clickRow(id::ActionList, 1);
        typeInto(cell(1, 1), QStringLiteral("2,0e4"));
        typeInto(cell(1, 2), QStringLiteral("abc"));
        typeInto(cell(2, 2), QStringLiteral("1"));
        QCOMPARE(dialog->misreadLine()->accessibleName(),
                 QStringLiteral("2 cells are not read as typed: M(1,1) \"2,0e4\" is read as 2; M(1,2) \"abc\" is read as 0."));
        clickRow(id::ActionList, 0);  // the other matrix shown: still named
        QVERIFY(dialog->misreadLine()->text().startsWith(QStringLiteral("2 cells are not read as typed")));
        QTest::mouseClick(dialog->calculateButton(), Qt::LeftButton);
        QCOMPARE(channel->messages.size(), std::size_t{1});
        clickRow(id::ActionList, 1);
        typeInto(cell(1, 1), QStringLiteral("2.0e4"));
        QCOMPARE(dialog->misreadLine()->accessibleName(), QStringLiteral("1 cell is not read as typed: M(1,2) \"abc\" is read as 0."));
        typeInto(cell(1, 2), QStringLiteral("0"));
        QCOMPARE(dialog->misreadLine()->text(), QString());
    }

    // A misread cell keeps its mark, naming the text typed, through a switch
    // to the other matrix and back, until it is typed into again.
    void misreadMarkSurvivesASwitch()
    {
        clickRow(id::DimensionList, 0);
        clickRow(id::ActionList, 0);
        QLineEdit* edit = cell(1, 2);
        const QColor plain = edit->palette().color(QPalette::Base);
        typeInto(edit, QStringLiteral("1,5"));
        for (int round = 0; round < 2; ++round) {
            clickRow(id::ActionList, 1);
            QCOMPARE(cell(1, 2)->toolTip(), QString());
            clickRow(id::ActionList, 0);
            QCOMPARE(edit->toolTip(), QStringLiteral("typed \"1,5\": read as 1"));
            QVERIFY(edit->palette().color(QPalette::Base) != plain);
        }
        dialog->SetCellText(CellAt(1, 2), "2");  // another value, not typed: the mark goes
        QCOMPARE(edit->toolTip(), QString());
        dialog->SetCellText(CellAt(1, 2), "1");
        QCOMPARE(edit->toolTip(), QString());
        typeInto(edit, QStringLiteral("1,5"));
        typeInto(edit, QStringLiteral("1"));
        clickRow(id::ActionList, 1);
        clickRow(id::ActionList, 0);
        QCOMPARE(edit->toolTip(), QString());
        QCOMPARE(edit->palette().color(QPalette::Base), plain);
    }

    void commandsBeforeADimensionSayOnce_data()
    {
        QTest::addColumn<bool>("save");
        QTest::newRow("calculate") << false;
        QTest::newRow("save") << true;
    }
    void commandsBeforeADimensionSayOnce()
    {
        QFETCH(bool, save);
        QTemporaryDir dir;
        prompts->saveAs = dir.filePath(QStringLiteral("p.varno"));
        if (save)
            QVERIFY(!dialog->SaveAs());
        else
            QTest::mouseClick(dialog->calculateButton(), Qt::LeftButton);
        QCOMPARE(channel->messages, (std::vector<std::string>{ui::SelectDimensionMessage}));
        QVERIFY(shownGrid().empty());
        QVERIFY(!shown(id::ActionList));
        QCOMPARE(dialog->ListSelection(id::ActionList), -1);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("p.varno"))));
        clickRow(id::DimensionList, 1);
        clickRow(id::ActionList, 0);
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
        expected.push_back(dialog->fileButton());
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
        QTest::keyClick(dialog.get(), Qt::Key_F1);  // Help, not About
        QCOMPARE(aboutOpened, 16);
        QVERIFY(dialog->helpWindow() != nullptr && dialog->helpWindow()->isVisible() && !dialog->helpWindow()->isModal());
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
        QVERIFY(texts.contains(QStringLiteral("varno Version " VARNO_VERSION)));
        QTimer::singleShot(0, &about, [&about] { QTest::keyClick(&about, Qt::Key_Return); });
        QCOMPARE(about.exec(), int(QDialog::Accepted));
    }

    // The one test that opens a real modal box, closed by a timer.
    void realMessageBoxShowsTheTextVerbatim()
    {
        const std::string text = "Eigenvalues \n\n lambda1=           2\t+j(1) <b>";
        QString seenTitle, seenText, copied;
        bool active = false;
        QTimer::singleShot(50, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            seenTitle = box->windowTitle();
            seenText = box->text();
            QCOMPARE(box->textFormat(), Qt::PlainText);
            // Ctrl+C is the box's window shortcut, which needs the box active;
            // on a busy machine the timer can fire before its activation.
            // (No QTRY here: a failure would return with the box still open.)
            active = QTest::qWaitFor([box] { return QApplication::activeWindow() == box; });
            QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
            copied = QGuiApplication::clipboard()->text();
            box->button(QMessageBox::Ok)->click();
        });
        ui::MessageBoxChannel real(dialog.get());
        real.ShowMessage(text);
        QCOMPARE(seenTitle, QStringLiteral("varno"));
        QCOMPARE(seenText, QString::fromStdString(text));
        QVERIFY(active);
        QCOMPARE(copied, QString::fromStdString(text));
    }

    // Every control where the template puts it, in dialog units converted
    // with the desktop font; the table is the template's, not the dialog's.
    void layoutFollowsTheTemplate()
    {
        struct Row {
            int id;            // a control identifier, or 0 to find it by text
            const char* text;  // button, label or group-box text; "" for untitled frames
            int x, y, w, h;
        };
        const Row rows[] = {
            {0, "Calculate", 229, 257, 50, 14},
            {0, "Exit", 295, 258, 50, 14},
            {0, "&Modes\u2026", 163, 257, 50, 14},
            {0, "&File", 7, 257, 50, 14},
            {0, "This program calculates the eigenvalues of:", 11, 15, 138, 8},
            {0, "where K and M are symmetric matrices with real coefficients.", 14, 46, 136, 20},
            {0, "Select Dimension", 166, 26, 66, 76},
            {0, "", 7, 7, 149, 66},
            {0, "", 7, 76, 150, 26},
            {0, ui::CreditLine, 14, 86, 133, 8},
            {id::DimensionList, "", 179, 42, 37, 46},
            {id::ActionList, "", 258, 44, 67, 36},
            {id::ActionGroup, "Select Action", 243, 26, 97, 76},
            {id::KGroup, "Enter K matrix coefficients", 7, 113, 344, 135},
            {id::MGroup, "Enter M matrix coefficients", 7, 114, 344, 135},
            {1001, "", 36, 137, 45, 14}, {1002, "", 89, 137, 45, 14}, {1003, "", 141, 137, 45, 14},
            {1004, "", 193, 137, 45, 14}, {1005, "", 244, 137, 45, 14}, {1006, "", 295, 137, 45, 14},
            {1007, "", 89, 156, 45, 14}, {1008, "", 141, 156, 45, 14}, {1009, "", 193, 156, 45, 14},
            {1010, "", 244, 156, 45, 14}, {1011, "", 295, 156, 45, 14}, {1012, "", 141, 174, 45, 14},
            {1013, "", 193, 174, 45, 14}, {1014, "", 245, 174, 45, 14}, {1015, "", 295, 174, 45, 14},
            {1016, "", 194, 191, 45, 14}, {1017, "", 245, 191, 45, 14}, {1018, "", 296, 191, 45, 14},
            {1019, "", 245, 209, 45, 14}, {1020, "", 296, 209, 45, 14}, {1021, "", 296, 228, 45, 14},
            {1026, "1", 51, 126, 8, 8}, {1027, "2", 103, 126, 8, 8}, {1028, "3", 156, 126, 8, 8},
            {1029, "4", 207, 126, 8, 8}, {1030, "5", 257, 126, 8, 8}, {1031, "6", 308, 126, 8, 8},
            {1032, "1", 17, 142, 8, 8}, {1033, "2", 17, 161, 8, 8}, {1034, "3", 17, 180, 8, 8},
            {1035, "4", 17, 198, 8, 8}, {1036, "5", 17, 214, 8, 8}, {1037, "6", 17, 230, 8, 8},
        };
        const ui::DialogUnits units = ui::TemplateUnits(dialog->font(), dialog->devicePixelRatioF());
        // The template converted as it stands; at a fractional scale each
        // edge then moves out onto a whole device pixel, by less than a step.
        const auto rect = [&](int x, int y, int w, int h) { return QRect(units.x(x), units.y(y), units.x(w), units.y(h)); };
        const int slack = ui::PixelStep(dialog->devicePixelRatioF()) - 1;
        const auto near = [slack](const QRect& got, const QRect& want) {
            return std::abs(got.left() - want.left()) <= slack && std::abs(got.top() - want.top()) <= slack &&
                   std::abs(got.right() - want.right()) <= slack && std::abs(got.bottom() - want.bottom()) <= slack;
        };
        QVERIFY(near(QRect(QPoint(), dialog->page()->size()), rect(0, 0, 368, 290)));
        const auto textOf = [](QWidget* w) {
            if (auto* b = qobject_cast<QPushButton*>(w)) return b->text();
            if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
            if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
            return QString();
        };
        QList<QWidget*> untitled;  // the two frames without a title, matched by place
        for (QWidget* w : dialog->page()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (qobject_cast<QGroupBox*>(w) && textOf(w).isEmpty()) untitled.append(w);
        QCOMPARE(untitled.size(), 2);
        for (const Row& row : rows) {
            const QRect want = rect(row.x, row.y, row.w, row.h);
            QWidget* widget = row.id != 0 ? dialog->control(row.id) : nullptr;
            if (row.id == 0 && *row.text == '\0') {
                for (QWidget* w : untitled)
                    if (near(w->geometry(), want)) widget = w;
            } else if (row.id == 0) {
                for (QWidget* w : dialog->page()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                    if (textOf(w) == QString::fromUtf8(row.text)) widget = w;
            }
            QVERIFY2(widget != nullptr, row.text);
            QVERIFY2(near(widget->geometry(), want), qPrintable(QStringLiteral("%1 %2: %3,%4 %5x%6")
                                                                    .arg(row.id).arg(QString::fromUtf8(row.text))
                                                                    .arg(widget->x()).arg(widget->y())
                                                                    .arg(widget->width()).arg(widget->height())));
            if (*row.text != '\0') QCOMPARE(textOf(widget), QString::fromUtf8(row.text));
        }
        // The equation picture sits at its place and takes its bitmap's size.
        for (auto* label : dialog->findChildren<QLabel*>())
            if (!label->pixmap().isNull()) QVERIFY(near(QRect(label->pos(), QSize()), QRect(rect(51, 30, 0, 0).topLeft(), QSize())));
    }

    // Run at each scale the tests run at: 1, 1.25, 1.5 and 2.
    // n = 6: K typed cell by cell in the order Tab takes, M pasted as one
    // 6 x 6 block, Calculate, and six modes in the Modes window.
    void sixDegreesOfFreedomTypedAndPasted()
    {
        clickRow(id::DimensionList, 4);
        clickRow(id::ActionList, 0);
        const std::vector<std::pair<int, int>> order{{1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}, {2, 2},
                                                     {2, 3}, {2, 4}, {2, 5}, {2, 6}, {3, 3}, {3, 4}, {3, 5},
                                                     {3, 6}, {4, 4}, {4, 5}, {4, 6}, {5, 5}, {5, 6}, {6, 6}};
        cell(1, 1)->setFocus();
        for (const auto& [i, j] : order) {
            QCOMPARE(QApplication::focusWidget(), cell(i, j));
            QTest::keyClicks(cell(i, j), QString::fromLatin1(j == i ? (i == 6 ? "1" : "2") : j == i + 1 ? "-1" : "0"));
            QTest::keyClick(cell(i, j), Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), list(id::ActionList));
        clickRow(id::ActionList, 1);
        QGuiApplication::clipboard()->setText(QStringLiteral("2 0 0 0 0 0\n0 2 0 0 0 0\n0 0 2 0 0 0\n"
                                                             "0 0 0 2 0 0\n0 0 0 0 2 0\n0 0 0 0 0 2\n"));
        cell(6, 6)->setFocus();
        QTest::keyClick(cell(6, 6), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE((std::vector<double>{M(1, 1), M(5, 5), M(5, 6), M(6, 6)}), (std::vector<double>{2, 2, 0, 2}));
        QTest::mouseClick(dialog->calculateButton(), Qt::LeftButton);
        QCOMPARE(channel->reports.size(), std::size_t{1});
        QCOMPARE(channel->reports[0].values.size(), std::size_t{6});
        // K / 2 of the chain, M / 2 the identity: (4 sin^2((2j - 1) pi / 26)) / 2.
        const double pi = std::acos(-1.0);
        for (int j = 1; j <= 6; ++j) {
            const double s = std::sin((2 * j - 1) * pi / 26);
            QVERIFY(std::fabs(channel->reports[0].values[static_cast<std::size_t>(j - 1)].re - 2 * s * s) < 1e-14);
        }
        ui::ModesWindow* window = openModes();
        QVERIFY(window != nullptr);
        QCOMPARE(window->table()->rowCount(), 6);
        QCOMPARE(seriesCount(window), 6);
        QVERIFY(!window->table()->horizontalScrollBar()->isVisible());
        QVERIFY(!window->table()->verticalScrollBar()->isVisible());
        // The last cell marked and named as any other.
        typeInto(cell(6, 6), QStringLiteral("1,5"));
        QCOMPARE(cell(6, 6)->toolTip(), QStringLiteral("read as 1"));
        QCOMPARE(cell(6, 6)->accessibleName(), QStringLiteral("M row 6, column 6"));
    }

    void noTextIsClipped()
    {
        clickRow(id::DimensionList, 4);  // the whole grid
        clickRow(id::ActionList, 0);
        const qreal ratio = dialog->devicePixelRatioF();
        const auto onDevicePixels = [ratio](const QRect& r) {
            for (const int edge : {r.left(), r.top(), r.right() + 1, r.bottom() + 1})
                if (std::abs(edge * ratio - std::round(edge * ratio)) > 1e-9) return false;
            return true;
        };
        for (QWidget* w : dialog->page()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            // A frame line that ends inside a device pixel is lost; a list's
            // viewport and scroll bar sit just inside its frame.
            QRect edges = w->geometry();
            if (auto* area = qobject_cast<QAbstractScrollArea*>(w))
                edges -= QMargins(area->frameWidth(), area->frameWidth(), area->frameWidth(), area->frameWidth());
            QVERIFY2(onDevicePixels(edges), w->metaObject()->className());
            if (auto* c = qobject_cast<ui::CellEdit*>(w); c != nullptr && c->isVisible())
                QVERIFY2(!c->overflows(), qPrintable(c->text()));  // the program's "%14.4g"
            if (auto* l = qobject_cast<QListWidget*>(w))
                for (int row = 0; row < l->count(); ++row) {
                    // Item views elide what does not fit in the item less its text margins.
                    const QRect item = l->visualItemRect(l->item(row));
                    const int margins = 2 * (l->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, l) + 1);
                    QVERIFY(l->viewport()->rect().contains(item));
                    QVERIFY2(l->fontMetrics().horizontalAdvance(l->item(row)->text()) + margins <= item.width(),
                             qPrintable(l->item(row)->text()));
                }
            if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && !label->text().isEmpty()) {
                const QFontMetrics fm(label->font());
                const QRect need = fm.boundingRect(QRect(0, 0, label->width(), 10000),
                                                   label->wordWrap() ? int(Qt::TextWordWrap) : 0, label->text());
                QVERIFY2(need.width() <= label->width() && need.height() <= label->height(),
                         qPrintable(label->text()));
            }
            // A button's text and the style's margins around it (not the
            // style's least width for a button, which a smaller font on a
            // small screen is narrower than).
            if (auto* button = qobject_cast<QPushButton*>(w))
                QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) +
                            2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) <=
                        button->width());
            if (auto* group = qobject_cast<QGroupBox*>(w))
                QVERIFY(group->fontMetrics().horizontalAdvance(group->title()) < group->width());
        }
        app::CAboutDlg about;
        for (const QLabel* label : about.findChildren<QLabel*>())
            if (!label->text().isEmpty())
                QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                         qPrintable(label->text()));
    }

    // The whole form in sight at its opening, buttons and all, on the
    // screens and scales the tests run at: where the template would not
    // fit at the window's font, a smaller one lays it out.
    void windowFitsTheScreen()
    {
        if (qEnvironmentVariableIsEmpty("VARNO_SCREEN")) QSKIP("run on a laptop's screen only (VARNO_SCREEN)");
        const QRect room = dialog->screen()->availableGeometry();
        const int line = dialog->fontMetrics().height();
        QVERIFY2(dialog->page()->width() <= room.width() - line && dialog->page()->height() <= room.height() - 3 * line,
                 qPrintable(QStringLiteral("page %1 x %2 on %3 x %4")
                                .arg(dialog->page()->width())
                                .arg(dialog->page()->height())
                                .arg(room.width())
                                .arg(room.height())));
        const auto* scroll = dialog->page()->parentWidget()->parentWidget();
        QVERIFY(scroll->width() >= dialog->page()->width() && scroll->height() >= dialog->page()->height());
        for (QPushButton* button : {dialog->fileButton(), dialog->modesButton(), dialog->calculateButton(), dialog->exitButton()})
            QVERIFY(QRect(QPoint(), scroll->size()).contains(button->geometry()));
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
        QVERIFY(cell(1, 1)->toolTip().size() < 2000);
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

    // The Modes button: enabled after a calculation of a definite pencil
    // only, last in the tab order; an open window follows each calculation.
    void modesFollowEachCalculation()
    {
        QVERIFY(!dialog->modesButton()->isEnabled());
        calculateChain();
        QVERIFY(dialog->modesButton()->isEnabled());
        QCOMPARE(dialog->modesButton()->text(), QString::fromUtf8("&Modes\u2026"));
        list(id::ActionList)->setFocus();
        for (QWidget* next : {static_cast<QWidget*>(dialog->modesButton()), static_cast<QWidget*>(dialog->fileButton()),
                              static_cast<QWidget*>(dialog->calculateButton())}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }

        ui::ModesWindow* window = openModes();
        QVERIFY(window != nullptr && window->isVisible() && !window->isModal());
        QCOMPARE(window->windowTitle(), QStringLiteral("Modes"));
        QCOMPARE(QAccessible::queryAccessibleInterface(window->plot())->text(QAccessible::Name),
                 QStringLiteral("Mode shapes"));
        QCOMPARE(window->table()->rowCount(), 2);
        QCOMPARE(seriesCount(window), 2);
        // Every cell in sight, at every scale the tests run at.
        QVERIFY(!window->table()->horizontalScrollBar()->isVisible());
        int width = 0;
        for (int c = 0; c < window->table()->columnCount(); ++c) width += window->table()->columnWidth(c);
        QVERIFY(width <= window->table()->viewport()->width());

        const struct {
            const char* name;
            void (MainDialogTest::*run)();
            bool modes;
            const char* note;  // the start of the window's note
        } steps[] = {
            {"indefinite", &MainDialogTest::calculateIndefinite, false, "The last calculation has no modes: neither"},
            {"chain", &MainDialogTest::calculateChain, true, "Total mass 15 kg"},
            // K all zero is refused, though K and M would have modes.
            {"refused", nullptr, false, "The last calculation has no modes: nothing was computed."},
            {"buckling", &MainDialogTest::calculateBuckling, true, "M is not definite"},
        };
        for (const auto& step : steps) {
            if (step.run != nullptr) {
                (this->*step.run)();
            } else {
                clickRow(id::ActionList, 0);
                for (int c : {CellAt(1, 1), CellAt(1, 2), CellAt(2, 2)}) dialog->SetCellText(c, "0");
                QTest::mouseClick(dialog->calculateButton(), Qt::LeftButton);
            }
            QVERIFY2(window->isVisible(), step.name);
            QCOMPARE(dialog->modesButton()->isEnabled(), step.modes);
            QVERIFY2(window->note()->text().startsWith(QString::fromUtf8(step.note)), qPrintable(window->note()->text()));
            QCOMPARE(window->table()->rowCount(), step.modes ? 2 : 0);
            QCOMPARE(seriesCount(window), step.modes ? 2 : 0);
            for (QAbstractAxis* axis : window->plot()->chart()->axes()) QCOMPARE(axis->isVisible(), step.modes);
            QCOMPARE(window->copyButton()->isEnabled(), step.modes);
            QCOMPARE(window->savePlotButton()->isEnabled(), step.modes);
            QCOMPARE(window->saveTableButton()->isEnabled(), step.modes);
            QCOMPARE(window->shapesTable()->isVisibleTo(window), step.modes);
            if (!step.modes) {  // nothing to copy
                QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
                QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
                QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
            }
        }

        // Keys: the choices, the tables, then the buttons; Enter and Escape
        // close. The chain has masses: every control and table is there.
        calculateChain();
        window->table()->setFocus();
        QTest::keyClick(window->table(), Qt::Key_Return);
        QVERIFY(!window->isVisible());
        QCOMPARE(openModes(), window);
        window->directionBoxes().front()->setFocus();
        for (QWidget* next : std::initializer_list<QWidget*>{
                 window->directionBoxes()[1], window->normalisationBox(), window->rayleighModeI(),
                 window->rayleighModeJ(), window->rayleighZetaI(), window->rayleighZetaJ(), window->table(),
                 window->participationTable(), window->shapesTable(), window->copyButton(),
                 window->saveTableButton(), window->savePlotButton(), window->closeButton()}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        QVERIFY(dialog->isVisible());
    }

    // The Modes window opens beside the main window where the screen has
    // room, never over its buttons, and then keeps its place and size
    // whatever is chosen in it.
    void modesWindowKeepsItsPlace()
    {
        calculateChain();
        ui::ModesWindow* window = openModes();
        QVERIFY(window != nullptr);
        const QRect main = dialog->frameGeometry(), room = dialog->screen()->availableGeometry();
        if (main.right() + window->frameGeometry().width() <= room.right())
            QVERIFY2(window->frameGeometry().left() > main.right(), "beside the main window");
        const QRect buttons(dialog->fileButton()->mapToGlobal(QPoint()),
                            dialog->exitButton()->mapToGlobal(QPoint(dialog->exitButton()->width(), dialog->exitButton()->height())));
        if (window->frameGeometry().width() + main.width() <= room.width()) QVERIFY(!window->frameGeometry().intersects(buttons));
        const QRect placed = window->geometry();
        window->directionBoxes()[1]->setCurrentIndex(5);  // rz: wider titles
        window->normalisationBox()->setCurrentIndex(3);
        calculate(4, {"2", "-1", "0", "0", "2", "-1", "0", "2", "-1", "1"}, {"1", "0", "0", "0", "1", "0", "0", "1", "0", "1"});
        QCOMPARE(window->geometry(), placed);
    }

    // After a change to the matrices the window says its modes are those
    // of the last calculation, until the next one.
    void modesSayWhenTheyAreStale()
    {
        calculateChain();
        ui::ModesWindow* window = openModes();
        QVERIFY(window != nullptr);
        QVERIFY(!window->staleNote()->isVisibleTo(window));
        clickRow(id::ActionList, 1);
        typeInto(cell(1, 1), QStringLiteral("20"));
        QVERIFY(window->staleNote()->isVisibleTo(window));
        typeInto(cell(1, 1), QStringLiteral("10"));  // as calculated again
        QVERIFY(!window->staleNote()->isVisibleTo(window));
        typeInto(cell(1, 1), QStringLiteral("20"));
        QTest::mouseClick(dialog->calculateButton(), Qt::LeftButton);
        QVERIFY(!window->staleNote()->isVisibleTo(window));
    }

    // The window shows the new modes before the report's box opens over it.
    void modesFollowBeforeTheReportShows()
    {
        calculateChain();
        ui::ModesWindow* window = openModes();
        QVERIFY(window != nullptr);
        QString seen;
        peeking->peek = [&] { seen = window->note()->text(); };
        calculateBuckling();
        QVERIFY2(seen.startsWith(QStringLiteral("M is not definite")), qPrintable(seen));
    }

    // Copy: the modes table, the shapes table and the figures beside them as
    // tab-separated text, checked against the chain worked by hand; a value
    // that is not defined is an empty cell there, a dash on screen.
    void copiedTableOfTheChainWorkedByHand()
    {
        calculateChain();
        ui::ModesWindow* window = openModes();
        QVERIFY(window != nullptr);
        const QStringList lines = copied(window).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 16);  // 3 + blank + 3 + blank + 7 figures + the final line break
        QCOMPARE(lines[0], QString::fromUtf8("Mode\t\u03bb (1/s\u00b2)\t\u00b1 bound\t\u03c9 (rad/s)\tf (Hz)\tT (s)\tM*\t"
                                             "\u03b6 (Rayleigh)\tL x (\u221akg)\t\u0393 x (\u221akg)\tMass x (kg)\t"
                                             "Share x (%)\tCumulative x (%)"));
        // mode, lambda, omega, f, T, M*, zeta, L, Gamma, effective mass,
        // share, cumulative: each as worked by hand, and in full, the
        // shortest text of the very double.
        const double a = std::sqrt(30.0), b = std::sqrt(15.0), pi = std::acos(-1.0);
        const double hand[2][12] = {{1, 100, 10, 10 / (2 * pi), 2 * pi / 10, 1, 0.05, 20 / a, 20 / a, 40.0 / 3, 800.0 / 9, 800.0 / 9},
                                    {2, 400, 20, 20 / (2 * pi), 2 * pi / 20, 1, 0.05, 5 / b, 5 / b, 5.0 / 3, 100.0 / 9, 100}};
        for (int r = 0; r < 2; ++r) {
            const QStringList cells = lines[r + 1].split(QLatin1Char('\t'));
            QCOMPARE(cells.size(), 13);
            const double bound = ParseCellText(cells[2].toStdString());
            QVERIFY2(bound > 0 && bound <= 1e-8 * hand[r][1], qPrintable(cells[2]));
            const int columns[12] = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
            for (int c = 0; c < 12; ++c) {
                const std::string text = cells[columns[c]].toStdString();
                const double value = ParseCellText(text);
                QVERIFY2(std::fabs(value - hand[r][c]) <= 1e-13 * std::max(1.0, hand[r][c]), qPrintable(lines[r + 1]));
                QCOMPARE(QString::fromStdString(FormatShortest(value)), cells[columns[c]]);  // in full
            }
        }
        QCOMPARE(lines[3], QString());
        QCOMPARE(lines[4], QStringLiteral("Degree of freedom\tDirection\tMode 1\tMode 2"));
        const double shape[2][2] = {{1 / a, 1 / b}, {2 / a, -1 / b}};
        for (int i = 0; i < 2; ++i) {
            const QStringList cells = lines[5 + i].split(QLatin1Char('\t'));
            QCOMPARE(cells.mid(0, 2), (QStringList{QString::number(i + 1), QStringLiteral("x")}));
            for (int k = 0; k < 2; ++k) QVERIFY(std::fabs(ParseCellText(cells[2 + k].toStdString()) - shape[i][k]) <= 1e-15);
        }
        QCOMPARE(lines.mid(8, 7), QStringList({QStringLiteral("Total mass x (kg)\t15"),
                                                 QStringLiteral("Effective masses added up x (kg)\t") +
                                                     lines[9].section(QLatin1Char('\t'), 1),
                                                 QStringLiteral("90 % of x reached at mode\t2"),
                                                 QString::fromUtf8("Normalisation\tx\u1d40Mx = 1"),
                                                 QStringLiteral("Rayleigh modes\t1 and 2"),
                                                 QStringLiteral("Rayleigh a0 (1/s)\t0.6666666666666666"),
                                                 QStringLiteral("Rayleigh a1 (s)\t0.0033333333333333335")}));
        QVERIFY(std::fabs(ParseCellText(lines[9].section(QLatin1Char('\t'), 1).toStdString()) - 15) <= 1e-13);
        // On screen the participation has a table of its own; the first mode
        // to reach 90 % is marked there.
        QCOMPARE(window->table()->columnCount(), 8);
        QCOMPARE(window->participationTable()->item(1, 5)->text(), QStringLiteral("100.00"));
        QVERIFY(window->participationTable()->item(1, 5)->font().bold() &&
                !window->participationTable()->item(0, 5)->font().bold());
        // The legend gives each mode's frequency.
        const auto markers = window->plot()->chart()->legend()->markers();
        QCOMPARE(markers.size(), 2);
        QCOMPARE(window->plot()->chart()->series()[1]->name(), QStringLiteral("Mode 2: f = 3.1831 Hz"));

        calculateBuckling();  // copied with Ctrl+C this time
        QGuiApplication::clipboard()->clear();
        window->table()->setFocus();
        QTest::keyClick(window->table(), Qt::Key_C, Qt::ControlModifier);
        const QStringList buckling = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'));
        for (int r = 1; r <= 2; ++r) {
            const QStringList cells = buckling[r].split(QLatin1Char('\t'));
            QCOMPARE(cells.size(), 7);  // no masses, no damping
            for (int c = 3; c < 7; ++c) QCOMPARE(cells[c], QString());
            for (int c = 3; c < 7; ++c) QCOMPARE(window->table()->item(r - 1, c)->text(), QString::fromUtf8(ui::NotDefinedText));
        }
        QVERIFY(!window->participationTable()->isVisibleTo(window));
        // What applies to a buckling pencil, and only that: no damping, no
        // scaling by mass, and the critical load factor singled out.
        QVERIFY(!window->rayleighResult()->isVisibleTo(window));
        QCOMPARE(window->normalisationBox()->itemText(0), QStringLiteral("Largest component = 1"));
        QVERIFY2(window->note()->text().endsWith(QString::fromUtf8("Critical load factor \u03bb2 = 329150, the smallest positive \u03bb.")),
                 qPrintable(window->note()->text()));
        QCOMPARE(window->plot()->chart()->series()[0]->name(), QStringLiteral("Mode 1: \u03bb = -729150"));
    }

    // Directions, the normalisation and the damping, chosen in the window:
    // each changes the tables at once, a refusal says why, and the choices
    // stay for the next calculation.
    void modesDirectionsNormalisationAndDamping()
    {
        calculateChain();
        ui::ModesWindow* window = openModes();
        QVERIFY(window != nullptr);
        const auto header = [window] {
            QStringList titles;
            for (QTableWidget* table : {window->table(), window->participationTable()})
                for (int c = 0; c < table->columnCount(); ++c) titles << table->horizontalHeaderItem(c)->text();
            return titles;
        };
        const auto cell = [](QTableWidget* table, int r, int c) { return table->item(r, c)->text(); };
        window->directionBoxes()[1]->setCurrentIndex(1);  // y
        QVERIFY(header().contains(QStringLiteral("Share x (%)")) && header().contains(QStringLiteral("Share y (%)")));
        QCOMPARE(cell(window->participationTable(), 0, 4), QStringLiteral("33.33"));  // x: mass 10 of the 15
        QCOMPARE(cell(window->participationTable(), 1, 10), QStringLiteral("100.00"));  // y, cumulative
        // The totals follow the directions, one a direction.
        QVERIFY2(window->note()->text().startsWith(QStringLiteral("Total mass in x: 10 kg; y: 5 kg.")),
                 qPrintable(window->note()->text()));
        window->directionBoxes()[1]->setCurrentIndex(5);  // rz: a moment of inertia
        QVERIFY2(window->note()->text().startsWith(QString::fromUtf8("Total mass in x: 10 kg; rz: 5 kg\u00b7m\u00b2.")),
                 qPrintable(window->note()->text()));
        QVERIFY(header().contains(QString::fromUtf8("Mass rz (kg\u00b7m\u00b2)")) &&
                header().contains(QString::fromUtf8("\u0393 rz (\u221a(kg\u00b7m\u00b2))")));
        window->directionBoxes()[1]->setCurrentIndex(1);  // y again
        QCOMPARE(cell(window->shapesTable(), 1, 1), QStringLiteral("y"));
        QVERIFY(window->tableNote()->text().contains(QStringLiteral("Effective masses do not depend on the normalisation")));

        window->normalisationBox()->setCurrentIndex(3);  // degree of freedom 2 = 1
        QCOMPARE(cell(window->shapesTable(), 0, 2), QStringLiteral("0.5"));
        QCOMPARE(cell(window->shapesTable(), 1, 3), QStringLiteral("1"));
        QCOMPARE(cell(window->shapesTable(), 0, 3), QStringLiteral("-1"));
        // Roof = 1, mode 2 (-1, 1): L x = -1 times 10 kg, M* = 15 kg, Gamma = L / M*; the effective mass does not change.
        QCOMPARE(cell(window->participationTable(), 1, 1), QStringLiteral("-10"));
        QCOMPARE(cell(window->table(), 1, 6), QStringLiteral("15"));
        QCOMPARE(cell(window->participationTable(), 1, 2), QStringLiteral("-0.666667"));
        QCOMPARE(cell(window->participationTable(), 1, 3), QStringLiteral("6.66667"));
        QVERIFY(header().contains(QStringLiteral("L x (kg)")) && header().contains(QString::fromUtf8("\u0393 x")));

        window->rayleighModeJ()->setValue(1);
        QCOMPARE(window->rayleighResult()->text(), QStringLiteral("Not possible: two different modes are needed, not mode 1 twice."));
        QVERIFY(!header().contains(QString::fromUtf8("\u03b6 (Rayleigh)")));
        window->rayleighModeJ()->setValue(2);
        window->rayleighZetaJ()->setText(QStringLiteral("5%"));
        QCOMPARE(window->rayleighResult()->text(), QStringLiteral("Not possible: a damping ratio must be a number, 0 or more."));
        window->rayleighZetaJ()->setText(QStringLiteral("0.05"));
        QCOMPARE(window->rayleighResult()->text(), QStringLiteral("a0 = 0.666667 1/s, a1 = 0.00333333 s; \u03b6 of every mode in the table."));

        // Three masses between fixed ends: the second mode has a node at the
        // middle, so 1 there is refused and the shapes go by mass.
        calculate(3, {"2", "-1", "0", "2", "-1", "2"}, {"1", "0", "0", "1", "0", "1"});
        QCOMPARE(window->directionBoxes()[1]->currentText(), QStringLiteral("y"));  // kept
        QCOMPARE(window->directionBoxes()[2]->currentText(), QStringLiteral("x"));
        QCOMPARE(window->normalisationBox()->currentIndex(), 3);
        bool refused = false;
        for (QLabel* label : window->findChildren<QLabel*>())
            refused = refused || label->text().startsWith(QStringLiteral(
                                     "Not possible: mode 2 is 0 at degree of freedom 2, so it cannot be scaled to 1 there."));
        QVERIFY(refused);
        QCOMPARE(cell(window->shapesTable(), 0, 2), QStringLiteral("0.5"));  // by mass: (1, sqrt 2, 1) / 2
        window->normalisationBox()->setCurrentIndex(1);
        QCOMPARE(cell(window->shapesTable(), 1, 2), QStringLiteral("1"));
        // 1 at the third degree of freedom, then n = 2: by mass again.
        window->normalisationBox()->setCurrentIndex(4);
        calculateChain();
        QCOMPARE(window->normalisationBox()->currentIndex(), 0);
        QCOMPARE(cell(window->shapesTable(), 0, 2), QStringLiteral("0.182574"));
    }

    // Save Table and Save Plot ask through the seam, starting in the
    // documents folder and then in the one last used; the plot at the size
    // chosen, at least twice the window's.
    void saveTableAndPlotAsked()
    {
        calculateChain();
        ui::ModesWindow* window = openModes();
        QVERIFY(window != nullptr);
        ScriptedExportPrompts asked;
        window->setPrompts(&asked);
        QTemporaryDir dir;
        asked.path = dir.filePath(QStringLiteral("modes.csv"));
        QTest::mouseClick(window->saveTableButton(), Qt::LeftButton);
        QFile csv(asked.path);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QVERIFY(csv.readAll().startsWith("Mode,"));
        asked.path = dir.filePath(QStringLiteral("shapes.png"));
        asked.times = 3;
        QTest::mouseClick(window->savePlotButton(), Qt::LeftButton);
        QCOMPARE(asked.folders, QStringList({QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                                             QFileInfo(dir.path()).absoluteFilePath()}));
        const int once = std::max(window->width(), window->plot()->width());
        const QImage png(asked.path, "PNG");
        QCOMPARE(png.width(), 3 * once);
        QCOMPARE(png.size(), window->PlotSize(3));  // the size offered is the size saved
        QVERIFY(window->SavePlot(asked.path));
        QCOMPARE(QImage(asked.path, "PNG").width(), 2 * once);
        QVERIFY(asked.unwritten.isEmpty());
        asked.path = dir.filePath(QStringLiteral("no/such/dir/modes.csv"));
        QTest::mouseClick(window->saveTableButton(), Qt::LeftButton);
        QCOMPARE(asked.unwritten, QStringList{asked.path});
        window->setPrompts(nullptr);
    }

    void savePlotWritesPngAndSvg()
    {
        calculateChain();
        ui::ModesWindow* window = openModes();
        QVERIFY(window != nullptr);
        QTemporaryDir dir;
        // The whole plot at the size offered, at each size: brought down to
        // the window's size it is the plot on screen, not a corner of it
        // blown up.
        const QImage screen = window->plot()->grab().toImage().convertToFormat(QImage::Format_Grayscale8);
        for (const int times : ui::PlotTimes) {
            QVERIFY(window->SavePlot(dir.filePath(QStringLiteral("shapes.png")), times));
            const QImage png(dir.filePath(QStringLiteral("shapes.png")), "PNG");
            QCOMPARE(png.width(), times * std::max(window->width(), window->plot()->width()));
            const QImage small = png.scaled(screen.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                     .convertToFormat(QImage::Format_Grayscale8);
            double difference = 0;
            for (int y = 0; y < screen.height(); ++y)
                for (int x = 0; x < screen.width(); ++x)
                    difference += std::abs(qGray(screen.pixel(x, y)) - qGray(small.pixel(x, y)));
            difference /= static_cast<double>(screen.width()) * screen.height();
            QVERIFY2(difference < 6, qPrintable(QStringLiteral("%1 x: mean difference %2").arg(times).arg(difference)));
            if (times == 2) png.save(QStringLiteral("/tmp/scratch/plot2.png"));
        }
        QVERIFY(window->SavePlot(dir.filePath(QStringLiteral("shapes.SVG"))));
        QFile svg(dir.filePath(QStringLiteral("shapes.SVG")));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        const QByteArray text = svg.readAll();
        QVERIFY(text.contains("<svg") && text.contains("<title>Mode shapes</title>") && text.contains("<polyline") &&
                text.contains("Degree of freedom"));
        QVERIFY(!window->SavePlot(dir.filePath(QStringLiteral("no/such/dir/shapes.png"))));
        QVERIFY(!window->SavePlot(dir.filePath(QStringLiteral("no/such/dir/shapes.svg"))));
    }

    // The plot takes the window's colours: readable on a dark theme too.
    void modesPlotFollowsThePalette()
    {
        calculateChain();
        ui::ModesWindow* window = openModes();
        QVERIFY(window != nullptr);
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        dark.setColor(QPalette::Base, QColor(20, 20, 20));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        window->setPalette(dark);
        QChart* chart = window->plot()->chart();
        QCOMPARE(chart->backgroundBrush().color(), QColor(20, 20, 20));
        QCOMPARE(chart->legend()->labelColor(), QColor(230, 230, 230));
        for (QAbstractAxis* axis : chart->axes()) QCOMPARE(axis->labelsBrush().color(), QColor(230, 230, 230));
        // Six modes, six colours, none the background's; kept through a new theme.
        calculate(6, {"1", "0", "0", "0", "0", "0", "2", "0", "0", "0", "0", "3", "0", "0", "0", "4", "0", "0", "5", "0", "6"},
                  {"1", "0", "0", "0", "0", "0", "1", "0", "0", "0", "0", "1", "0", "0", "0", "1", "0", "0", "1", "0", "1"});
        QSet<QRgb> colours;
        for (QAbstractSeries* series : chart->series()) {
            const QColor colour = qobject_cast<QLineSeries*>(series)->pen().color();
            QVERIFY(colour != chart->backgroundBrush().color());
            colours.insert(colour.rgb());
        }
        QCOMPARE(colours.size(), 6);
    }

    // A bound is shown rounded up, so that it still holds as shown.
    void boundsAreRoundedUp_data()
    {
        QTest::addColumn<double>("bound");
        QTest::addColumn<QString>("text");
        QTest::newRow("down") << 2.84e-14 << QStringLiteral("2.9e-14");
        QTest::newRow("up") << 2.86e-14 << QStringLiteral("2.9e-14");
        QTest::newRow("exact") << 2.5 << QStringLiteral("2.5e+00");
        QTest::newRow("carry") << 9.94e-5 << QStringLiteral("1.0e-04");
        QTest::newRow("large") << 1.23e300 << QStringLiteral("1.3e+300");
        QTest::newRow("infinite") << HUGE_VAL << QStringLiteral("inf");
    }
    void boundsAreRoundedUp()
    {
        QFETCH(double, bound);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(ui::BoundText(bound)), text);
        if (std::isfinite(bound)) QVERIFY(ParseCellText(text.toStdString()) >= bound);
    }
};

QTEST_MAIN(MainDialogTest)
#include "main_dialog_test.moc"
