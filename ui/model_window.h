// The view of a model too large for the grid (more than MaxOrder degrees of
// freedom): K and M as tables, the line that says what and whence, and
// Calculate, which runs off the window's thread with a progress bar and
// Cancel, its report in a window that scrolls; Modes... shows the modes.
// It keeps the model while it is open and saves nothing.
#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/framework.h"
#include "core/model_import.h"
#include "ui/background.h"
#include "ui/background_job.h"
#include "ui/dynamic_modes_text.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;

namespace varno::ui {

class DynamicModesWindow;
class MatrixTableModel;
class ReportWindow;

// Where a model came from, as the size line names it.
struct ModelOrigin {
    std::string k;
    std::string m;
    std::string dof;  // empty: none
};

class ModelWindow final : public QDialog {
    Q_OBJECT

public:
    // model: read with its n, k, m and labels; messages other than the
    // report go to channel.
    ModelWindow(ImportedModel model, ModelOrigin origin, ReportChannel& channel, QWidget* parent = nullptr);
    ~ModelWindow() override;

    // Calculate: false where one is running already.
    bool Calculate();
    // Ends the wait at once; the calculation's result is dropped.
    void Cancel();
    bool calculating() const { return job_.running(); }
    // Pastes the clipboard into the matrix shown: a whole matrix, or one
    // entry into the current cell.
    void Paste();
    // Opens the modes window on the last calculation's modes.
    void OpenModes();

    MatrixTableModel* kModel() const { return k_; }
    MatrixTableModel* mModel() const { return m_; }
    QTableView* kTable() const { return kTable_; }
    QTableView* mTable() const { return mTable_; }
    QTabWidget* tabs() const { return tabs_; }
    QLabel* sizeLine() const { return size_; }
    QLabel* misreadLine() const { return misread_; }
    QCheckBox* everyDigitBox() const { return everyDigit_; }
    QProgressBar* progress() const { return progress_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* calculateButton() const { return calculate_; }
    QPushButton* modesButton() const { return modes_; }
    // Null until the first report, and the modes window until Modes... is first pressed.
    ReportWindow* reportWindow() const;
    DynamicModesWindow* modesWindow() const;

public slots:
    // Escape: cancels a calculation; else closes the window.
    void reject() override;

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QTableView* NewTable(MatrixTableModel* model, const QString& name);
    // The columns as wide as a value shown and as their titles, the row
    // titles' column as wide as the widest.
    void FitColumns(QTableView* table);
    void ApplyColours();
    void SetRunning(bool running);
    void Calculated(std::optional<ModelCalculation> result);
    void ShowMisreads();
    MatrixTableModel* Shown() const;

    ReportChannel& channel_;
    std::string sizeText_;
    std::vector<Direction> directions_;
    BackgroundJob job_;
    BackgroundWork reading_;  // a large paste, read off the window's thread
    std::shared_ptr<const DynamicModesView> modesView_;
    bool stale_ = false;  // the matrices changed since that calculation

    MatrixTableModel* k_ = nullptr;
    MatrixTableModel* m_ = nullptr;
    QLabel* size_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QTableView* kTable_ = nullptr;
    QTableView* mTable_ = nullptr;
    QCheckBox* everyDigit_ = nullptr;
    QLabel* misread_ = nullptr;
    QWidget* progressRow_ = nullptr;
    QLabel* progressText_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* modes_ = nullptr;
    QPushButton* calculate_ = nullptr;
    QPushButton* close_ = nullptr;
    QPointer<ReportWindow> report_;
    QPointer<DynamicModesWindow> modesWindow_;
};

}  // namespace varno::ui
