// The modes of a model too large for the grid: a table that scrolls, a row
// a mode (lambda, its bound, omega, f, T, and per direction the effective
// mass, its share and the cumulative share, each direction's first mode to
// reach 90 % highlighted), and a plot of the shapes of the modes chosen,
// the first six at first. It follows each new calculation of its model.
#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "ui/dynamic_modes_text.h"

class QChart;
class QChartView;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QValueAxis;

namespace varno::ui {

class DynamicModesTable;

class DynamicModesWindow final : public QDialog {
    Q_OBJECT

public:
    explicit DynamicModesWindow(QWidget* parent = nullptr);
    ~DynamicModesWindow() override;

    // view: none where the last calculation gave no modes. stale: the
    // matrices have changed since.
    void ShowModes(std::shared_ptr<const DynamicModesView> view, bool stale);
    void SetStale(bool stale);

    // The modes plotted, 1-based, ascending.
    const std::vector<int>& plotted() const { return plotted_; }

    QTableView* table() const { return table_; }
    DynamicModesTable* tableModel() const { return model_; }
    QLineEdit* plottedBox() const { return plottedBox_; }
    QLabel* plottedNote() const { return plottedNote_; }
    QChartView* plot() const { return view_; }
    QLabel* note() const { return note_; }
    QLabel* staleNote() const { return stale_; }
    QPushButton* copyButton() const { return copy_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    // The modes named in the box, plotted; or why not, and the plot as it was.
    void OnPlottedChanged();
    void Plot();
    void ApplyPalette();

    std::vector<int> plotted_;
    DynamicModesTable* model_ = nullptr;
    QLabel* note_ = nullptr;
    QLabel* stale_ = nullptr;
    QTableView* table_ = nullptr;
    QLineEdit* plottedBox_ = nullptr;
    QLabel* plottedNote_ = nullptr;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QValueAxis* dof_ = nullptr;
    QValueAxis* amplitude_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace varno::ui
