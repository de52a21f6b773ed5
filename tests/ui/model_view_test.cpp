// The view of a model too large for the grid, opened by Import, driven
// through its widgets, headless.
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <numbers>

#include "core/memory_grid.h"
#include "core/number_text.h"
#include "scripted_prompts.h"
#include "ui/background_job.h"
#include "ui/dynamic_modes_text.h"
#include "ui/dynamic_modes_window.h"
#include "ui/main_dialog.h"
#include "ui/matrix_table_model.h"
#include "ui/model_text.h"
#include "ui/model_window.h"
#include "ui/report_window.h"

using namespace varno;

namespace {

constexpr int N = 30;

// Texts shown as the user sees them.
QString Shown(const QAbstractItemModel* model, int i, int j, int role = Qt::DisplayRole)
{
    return model->data(model->index(i, j), role).toString();
}

}  // namespace

class ModelViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramState> state;
    std::unique_ptr<RecordingChannel> channel;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<ui::CMainDialog> dialog;
    std::unique_ptr<QTemporaryDir> dir;

    void write(const QString& name, const QString& text)
    {
        QFile file(dir->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        prompts->imported << file.fileName();
    }
    // A chain of N unit masses on unit springs, fixed at one end, from
    // Matrix Market files; its degrees of freedom named as CalculiX names
    // them, x and y by turns.
    ui::ModelWindow* import()
    {
        QString k = QStringLiteral("%%MatrixMarket matrix coordinate real symmetric\n%1 %1 %2\n").arg(N).arg(2 * N - 1);
        QString m = QStringLiteral("%%MatrixMarket matrix coordinate real symmetric\n%1 %1 %1\n").arg(N);
        QString dof;
        for (int i = 1; i <= N; ++i) {
            k += QStringLiteral("%1 %1 %2\n").arg(i).arg(i < N ? 2 : 1);
            if (i < N) k += QStringLiteral("%1 %2 -1\n").arg(i + 1).arg(i);
            m += QStringLiteral("%1 %1 1\n").arg(i);
            dof += QStringLiteral("%1.%2\n").arg(100 + (i + 1) / 2).arg(2 - i % 2);
        }
        write(QStringLiteral("beam_K.mtx"), k);
        write(QStringLiteral("beam_M.mtx"), m);
        write(QStringLiteral("beam.dof"), dof);
        if (!dialog->Import() || dialog->modelWindow() == nullptr) return nullptr;
        ui::ModelWindow* window = dialog->modelWindow();
        QApplication::setActiveWindow(window);
        return QTest::qWaitForWindowActive(window) ? window : nullptr;
    }
    static void type(QTableView* table, const QModelIndex& at, const QString& text)
    {
        table->setFocus();
        table->setCurrentIndex(at);
        QTest::keyClick(table, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor != nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();  // the editor hands its text over once the key is done
    }
    static bool editable(const QAbstractItemModel* model, int i, int j)
    {
        return model->flags(model->index(i, j)).testFlag(Qt::ItemIsEditable);
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
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void cleanup()
    {
        dialog.reset();
        dir.reset();
    }

    // The grid's problem stays as it is; the view says what it shows, every
    // title whole, and scrolls; a typed upper cell is read as the grid reads
    // it, and the lower one mirrors it.
    void importOpensTheModelView()
    {
        const int dimension = state->store.Dimension;
        ui::ModelWindow* window = import();
        QVERIFY(window != nullptr);
        QCOMPARE(prompts->asked, 0);
        QCOMPARE(state->store.Dimension, dimension);
        QCOMPARE(window->sizeLine()->text(),
                 QStringLiteral("30 degrees of freedom, from beam_K.mtx and beam_M.mtx, their names from beam.dof."));
        for (QTableView* table : {window->kTable(), window->mTable()}) {
            window->tabs()->setCurrentWidget(table);
            QCoreApplication::processEvents();
            QFont bold = table->horizontalHeader()->font();
            bold.setBold(true);  // the current section's title is drawn bold
            const QFontMetrics metrics(bold);
            const int margins = 2 * table->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, table);
            for (int c = 0; c < N; ++c) {
                const QString title = table->model()->headerData(c, Qt::Horizontal).toString();
                QVERIFY2(metrics.horizontalAdvance(title) + margins <= table->horizontalHeader()->sectionSize(c), qPrintable(title));
                QVERIFY2(metrics.horizontalAdvance(title) + margins <= table->verticalHeader()->width(), qPrintable(title));
                QVERIFY(table->fontMetrics().horizontalAdvance(Shown(table->model(), c, c)) < table->columnWidth(c));
            }
            QCOMPARE(table->model()->headerData(3, Qt::Vertical).toString(), QStringLiteral("102.2"));
            QVERIFY(table->verticalScrollBar()->maximum() > 0 && table->horizontalScrollBar()->maximum() > 0);
        }
        QTableView* k = window->kTable();
        const QAbstractItemModel* model = k->model();
        window->tabs()->setCurrentWidget(k);
        type(k, model->index(2, 20), QStringLiteral("1,5"));
        QVERIFY(!window->calculating());  // Return ends the edit and no more
        QCOMPARE(window->kModel()->values()(20, 2), 1.0);
        QCOMPARE(Shown(model, 20, 2), QStringLiteral("1"));
        QCOMPARE(Shown(model, 2, 20), QStringLiteral("1,5"));  // as typed, and marked
        QVERIFY(model->data(model->index(2, 20), Qt::BackgroundRole).isValid());
        QVERIFY(Shown(model, 2, 20, Qt::ToolTipRole).contains(QStringLiteral("typed \"1,5\": read as 1")));
        QCOMPARE(window->misreadLine()->text(), QStringLiteral("1 cell is not read as typed: K(3,21) \"1,5\" is read as 1."));
        QVERIFY(!editable(model, 20, 2));
        QVERIFY(!window->kModel()->setData(model->index(20, 2), QStringLiteral("7")));
        QVERIFY(!model->data(QModelIndex(), Qt::DisplayRole).isValid());
        type(k, model->index(2, 20), QStringLiteral("0.3333333333333333"));
        QVERIFY(window->misreadLine()->isHidden());
        QCOMPARE(Shown(model, 20, 2), QStringLiteral("0.333333"));
        QVERIFY(Shown(model, 20, 2, Qt::ToolTipRole).contains(QStringLiteral("= 0.3333333333333333")));
        window->everyDigitBox()->setChecked(true);
        QCOMPARE(Shown(model, 20, 2), QStringLiteral("0.3333333333333333"));
        QVERIFY(k->fontMetrics().horizontalAdvance(Shown(model, 20, 2)) < k->columnWidth(2));
    }

    // A whole matrix pasted as rows, below the diagonal ignored; or one
    // entry into its cell; each entry read as a cell reads it, and marked
    // where it is not read whole; a text that is neither is refused, once.
    void pastedTextsAreReadAsCellsReadThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("row");  // the current cell
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("said");     // the message, if any
        QTest::addColumn<QString>("misread");  // the line below the tables
        QTest::addColumn<double>("at37");      // K(3,7), 0-based, after
        QString whole, upper, many;
        for (int i = 0; i < N; ++i) {
            for (int j = 0; j < N; ++j) whole += QStringLiteral("%1%2").arg(j == 0 ? "" : ", ").arg(1000 * (i + 1) + j + 1);
            for (int j = i; j < N; ++j) {
                upper += QStringLiteral("%1%2").arg(j == i ? "" : "\t").arg(i == 0 && j == 1 ? QStringLiteral("3x") : QString::number(j));
                many += QStringLiteral("%1%2").arg(j == i ? "" : " ").arg(i == 0 && j < 10 ? QStringLiteral("1x") : QStringLiteral("0"));
            }
            whole += QLatin1Char('\n');
            upper += QLatin1Char('\n');
            many += QLatin1Char(';');
        }
        QTest::newRow("whole rows") << whole << 0 << 0 << QString() << QString() << 4008.0;
        QTest::newRow("rows from the diagonal, one misread")
            << upper << 0 << 0 << QString() << QStringLiteral("1 cell is not read as typed: K(1,2) \"3x\" is read as 3.")
            << 7.0;
        QTest::newRow("many misread") << many << 0 << 0 << QString()
                                      << QStringLiteral("10 cells are not read as typed: K(1,1) \"1x\" is read as 1; "
                                                        "K(1,2) \"1x\" is read as 1; K(1,3) \"1x\" is read as 1; K(1,4) "
                                                        "\"1x\" is read as 1; K(1,5) \"1x\" is read as 1; K(1,6) \"1x\" "
                                                        "is read as 1; K(1,7) \"1x\" is read as 1; K(1,8) \"1x\" is read "
                                                        "as 1; and 2 more.")
                                      << 0.0;
        QTest::newRow("one entry") << QStringLiteral(" 2.5e2x\n") << 3 << 7 << QString()
                                   << QStringLiteral("1 cell is not read as typed: K(4,8) \"2.5e2x\" is read as 250.")
                                   << 250.0;
        QTest::newRow("one entry, mirrored cell") << QStringLiteral("5") << 7 << 3 << QString() << QString() << 0.0;
        QTest::newRow("too few rows") << QStringLiteral("1 2\n3 4\n") << 0 << 0
                                      << QStringLiteral("The clipboard holds 2 rows, and K has 30: paste a whole matrix, a row a line.")
                                      << QString() << 0.0;
        QTest::newRow("a short row") << whole.replace(QStringLiteral("2001, 2002, "), QString()) << 0 << 0
                                     << QStringLiteral("Row 2 of the clipboard has 28 entries; a row of K has 30, or 29 "
                                                       "from the diagonal on.")
                                     << QString() << 0.0;
    }
    void pastedTextsAreReadAsCellsReadThem()
    {
        QFETCH(QString, text);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, said);
        QFETCH(QString, misread);
        QFETCH(double, at37);
        ui::ModelWindow* window = import();
        QVERIFY(window != nullptr);
        QGuiApplication::clipboard()->setText(text);
        window->kTable()->setFocus();
        window->kTable()->setCurrentIndex(window->kModel()->index(row, column));
        QTest::keyClick(window->kTable(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(QString::fromStdString(channel->messages.empty() ? std::string() : channel->messages.back()), said);
        QVERIFY(channel->messages.size() <= 1);
        QCOMPARE(window->misreadLine()->isVisible() ? window->misreadLine()->text() : QString(), misread);
        QCOMPARE(window->kModel()->values()(3, 7), at37);
        QCOMPARE(window->kModel()->values()(7, 3), at37);
    }

    // The report of every eigenvalue in a window that scrolls, its text
    // selectable and copied whole, while the view showed its progress.
    void calculateShowsAScrollingReport()
    {
        ui::ModelWindow* window = import();
        QVERIFY(window != nullptr);
        QTest::mouseClick(window->calculateButton(), Qt::LeftButton);
        QVERIFY(window->calculating());
        QVERIFY(window->progress()->isVisible() && !window->calculateButton()->isEnabled());
        QTRY_VERIFY(window->reportWindow() != nullptr && window->reportWindow()->isVisible());
        QVERIFY(!window->progress()->isVisible() && window->calculateButton()->isEnabled());
        QVERIFY(channel->messages.empty());
        ui::ReportWindow* report = window->reportWindow();
        QPlainTextEdit* text = report->text();
        // The chain's largest: 4 sin^2((2n - 1) pi / (2 (2n + 1))).
        const double top = std::pow(2.0 * std::sin((2 * N - 1) * std::numbers::pi / (2 * (2 * N + 1))), 2);
        QVERIFY2(text->toPlainText().contains(QStringLiteral("lambda30 = ") + QString::fromStdString(FormatG(top, 11, 5))),
                 qPrintable(text->toPlainText().right(80)));
        QVERIFY(text->verticalScrollBar()->maximum() > 0);
        QVERIFY(text->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        const QSize room = report->screen()->availableGeometry().size();
        QVERIFY(report->frameGeometry().width() <= room.width() && report->frameGeometry().height() <= room.height());
        QGuiApplication::clipboard()->clear();
        QTest::mouseClick(report->copyButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), text->toPlainText());
    }

    // Escape gives the window back at once and drops the result when it
    // comes; meanwhile nothing is edited, and the next calculation shows.
    void cancelledCalculationLeavesTheWindowUsable()
    {
        ui::ModelWindow* window = import();
        QVERIFY(window != nullptr);
        window->kTable()->setCurrentIndex(window->kModel()->index(0, 4));
        QGuiApplication::clipboard()->setText(QStringLiteral("9 ").repeated(N).append(QLatin1Char('\n')).repeated(N));
        QTest::mouseClick(window->calculateButton(), Qt::LeftButton);
        QVERIFY(!window->Calculate());  // one at a time
        QVERIFY(!editable(window->kModel(), 0, 4));
        window->Paste();
        QCOMPARE(window->kModel()->values()(0, 4), 0.0);
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(!window->calculating() && window->isVisible());
        QVERIFY(!window->progress()->isVisible() && window->calculateButton()->isEnabled());
        QVERIFY(editable(window->kModel(), 0, 4));
        QTest::qWait(300);  // long enough for the result to come, and be dropped
        QVERIFY(window->reportWindow() == nullptr && !window->modesButton()->isEnabled());
        QTest::mouseClick(window->calculateButton(), Qt::LeftButton);
        QTRY_VERIFY(window->reportWindow() != nullptr && window->reportWindow()->isVisible());
        QTest::keyClick(window, Qt::Key_Escape);  // nothing to stop: it closes
        QTRY_VERIFY(dialog->modelWindow() == nullptr);
    }

    // One row a mode, each direction's first to reach 90 % bold, and the
    // plot of the modes chosen, the first six at first.
    void modesHighlightNinetyAndPlotTheModesChosen()
    {
        ui::ModelWindow* window = import();
        QVERIFY(window != nullptr);
        QTest::mouseClick(window->calculateButton(), Qt::LeftButton);
        QTRY_VERIFY(window->modesButton()->isEnabled());
        QTest::mouseClick(window->modesButton(), Qt::LeftButton);
        ui::DynamicModesWindow* modes = window->modesWindow();
        QVERIFY(modes != nullptr && QTest::qWaitForWindowExposed(modes));
        const QAbstractItemModel* table = modes->table()->model();
        QCOMPARE(table->rowCount(), N);
        QVERIFY(modes->table()->verticalScrollBar()->maximum() > 0);
        int directions = 0;
        for (int c = 0; c < table->columnCount(); ++c) {
            const QString title = table->headerData(c, Qt::Horizontal).toString();
            if (!title.startsWith(QStringLiteral("Cumulative"))) continue;
            ++directions;
            int first = -1;
            for (int r = 0; r < N && first < 0; ++r)
                if (ParseCellText(Shown(table, r, c).toStdString()) >= 90.0) first = r;
            QVERIFY2(first >= 0, qPrintable(title));
            for (int r = 0; r < N; ++r)
                QCOMPARE(table->data(table->index(r, c), Qt::FontRole).value<QFont>().bold(), r == first);
            QVERIFY(modes->note()->text().contains(QStringLiteral("90 % of %1 is reached at mode %2")
                                                       .arg(title.mid(11, 1))
                                                       .arg(first + 1)));
        }
        QCOMPARE(directions, 2);  // x and y, as the names say
        const auto legends = [modes] {
            QStringList names;
            for (QAbstractSeries* series : modes->plot()->chart()->series()) {
                names << series->name().section(QLatin1Char(':'), 0, 0);
                if (static_cast<QLineSeries*>(series)->count() != N) names << QStringLiteral("short");
            }
            return names;
        };
        QCOMPARE(legends(), (QStringList{"Mode 1", "Mode 2", "Mode 3", "Mode 4", "Mode 5", "Mode 6"}));
        modes->plottedBox()->setText(QStringLiteral("7-9"));
        QCOMPARE(legends(), (QStringList{"Mode 7", "Mode 8", "Mode 9"}));
        modes->plottedBox()->setText(QStringLiteral("31"));
        QCOMPARE(modes->plottedNote()->text(), QStringLiteral("Not plotted: there are 30 modes."));
        QCOMPARE(legends(), (QStringList{"Mode 7", "Mode 8", "Mode 9"}));
    }

    void modeListsAreReadWhole_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("modes");  // or the error
        QTest::newRow("range") << "1-6" << "1 2 3 4 5 6";
        QTest::newRow("several, overlapping") << " 9, 2 ,7-9" << "2 7 8 9";
        QTest::newRow("beyond n") << "25-31" << "there are 30 modes";
        QTest::newRow("too many") << "1-13" << "at most 12 modes are plotted at once";
        QTest::newRow("backwards") << "9-7" << "\"9-7\" is no mode or range of modes, such as 7 or 1-6";
        QTest::newRow("not whole") << "2.5" << "\"2.5\" is no mode or range of modes, such as 7 or 1-6";
        QTest::newRow("zero") << "0-3" << "\"0-3\" is no mode or range of modes, such as 7 or 1-6";
        QTest::newRow("none") << " , " << "no modes are named";
    }
    void modeListsAreReadWhole()
    {
        QFETCH(QString, text);
        QFETCH(QString, modes);
        std::string error;
        QStringList got;
        for (const int k : ui::ModeListOf(text.toStdString(), N, error)) got << QString::number(k);
        QCOMPARE(error.empty() ? got.join(QLatin1Char(' ')) : QString::fromStdString(error), modes);
    }

    void labelsGiveDirections_data()
    {
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("directions");
        QTest::newRow("none") << QStringList{} << "x,x,x";
        QTest::newRow("CalculiX") << QStringList{"12.1", "12.5", "7.6"} << "x,ry,rz";
        QTest::newRow("named") << QStringList{"y", "rz", "none"} << "y,rz,none";
        QTest::newRow("neither") << QStringList{"12.7", "a.2", "12.10"} << "x,x,x";
        QTest::newRow("no node") << QStringList{".2", "3.", "2"} << "x,x,x";
    }
    void labelsGiveDirections()
    {
        QFETCH(QStringList, labels);
        QFETCH(QString, directions);
        std::vector<std::string> names;
        for (const QString& label : labels) names.push_back(label.toStdString());
        QCOMPARE(QString::fromStdString(DirectionsText(ui::DirectionsOfLabels(names, 3))), directions);
    }

    // Work that throws ends the job like any other, with nothing to show.
    void failedWorkEndsTheJob()
    {
        ui::BackgroundJob job;
        std::optional<std::optional<int>> got;
        QVERIFY(job.Start<int>([]() -> int { throw std::runtime_error("no"); }, [&](std::optional<int> r) { got = r; }));
        QTRY_VERIFY(got.has_value());
        QVERIFY(!got->has_value() && !job.running());
    }
};

QTEST_MAIN(ModelViewTest)
#include "model_view_test.moc"
