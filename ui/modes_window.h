// The Modes window: the natural frequencies, bounds and effective masses of
// the last calculation in a table, and its mode shapes in a plot. It only
// shows what ModesAfterCalculation gives and follows each new calculation.
#pragma once

#include <QDialog>
#include <optional>

#include "ui/modes_text.h"

class QChart;
class QChartView;
class QLabel;
class QPushButton;
class QScrollArea;
class QTableWidget;
class QValueAxis;

namespace varno::ui {

inline constexpr const char* ModesWindowTitle = "Modes";
inline constexpr const char* ModeShapesName = "Mode shapes";

class ModesWindow final : public QDialog {
    Q_OBJECT

public:
    explicit ModesWindow(QWidget* parent = nullptr);

    // Shows view: its modes, or its note alone with the table and the plot
    // empty and nothing to copy or save.
    void ShowModes(const ModesView& view);

    // Writes the plot to path: SVG where the name ends in .svg (any case),
    // else PNG. False when it could not be written.
    bool SavePlot(const QString& path);

    QTableWidget* table() const { return table_; }
    QChartView* plot() const { return view_; }
    QLabel* note() const { return note_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* savePlotButton() const { return save_; }
    QPushButton* closeButton() const { return close_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void OnCopy();
    void OnSavePlot();
    // Chart colours and fonts from the window's palette and font, so that the
    // plot reads on light and dark themes alike.
    void ApplyPalette();
    // As large as the contents want, where the screen has room; beyond that
    // they scroll.
    void FitContents();

    std::optional<ModalResult> result_;
    QScrollArea* scroll_ = nullptr;
    QWidget* contents_ = nullptr;
    QLabel* note_ = nullptr;
    QTableWidget* table_ = nullptr;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QValueAxis* dof_ = nullptr;
    QValueAxis* amplitude_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace varno::ui
