// The Modes window: the natural frequencies, bounds and damping ratios of
// the last calculation in a table, the participation per direction in a
// second, its mode shapes in a third and in a plot, and the choices of
// directions, normalisation and Rayleigh damping, kept while the program
// runs. It only shows what ModesAfterCalculation gives and what the
// modal text functions make of it, and follows each new calculation.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/export_prompts.h"
#include "ui/modes_text.h"

class QChart;
class QChartView;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QTableWidget;
class QValueAxis;

namespace varno::ui {

inline constexpr const char* ModesWindowTitle = "Modes";
inline constexpr const char* ModeShapesName = "Mode shapes";

class ModesWindow final : public QDialog {
    Q_OBJECT

public:
    explicit ModesWindow(QWidget* parent = nullptr);
    ~ModesWindow() override;

    // Shows view: its modes, or its note alone with the tables and the plot
    // empty and nothing to copy or save.
    void ShowModes(const ModesView& view);

    // Writes the plot to path: SVG where the name ends in .svg (any case),
    // else PNG of times the window's width (the plot's where that is wider),
    // the plot's shape kept. False when it could not be written.
    bool SavePlot(const QString& path, int times = PlotTimes[0]);
    // Writes one of the tables to path as CSV (ModesCsv). False when it could not be written.
    bool SaveTable(const QString& path, ModesTable which = ModesTable::Modes);

    // Where the file questions go; the window's own desktop dialogs until
    // set, and again after nullptr.
    void setPrompts(ExportPrompts* prompts);

    // Whether the matrices have changed since the calculation shown: said
    // above the tables until the next one.
    void SetStale(bool stale);
    QLabel* staleNote() const { return stale_; }
    // The picture Save Plot writes at times the window's size, as offered.
    QSize PlotSize(int times) const;

    // The directions of the problem's degrees of freedom (x where none is
    // given); and whom to tell when the user changes them.
    void SetDirections(std::vector<Direction> directions);
    std::function<void(const std::vector<Direction>&)> onDirectionsChanged;

    QTableWidget* table() const { return table_; }
    QTableWidget* participationTable() const { return participation_; }
    QTableWidget* shapesTable() const { return shapes_; }
    QChartView* plot() const { return view_; }
    QLabel* note() const { return note_; }
    QLabel* tableNote() const { return tableNote_; }
    QLabel* rayleighResult() const { return rayleighResult_; }
    const std::vector<QComboBox*>& directionBoxes() const { return directionBoxes_; }
    QComboBox* normalisationBox() const { return normalisation_; }
    QSpinBox* rayleighModeI() const { return modeI_; }
    QSpinBox* rayleighModeJ() const { return modeJ_; }
    QLineEdit* rayleighZetaI() const { return zetaI_; }
    QLineEdit* rayleighZetaJ() const { return zetaJ_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* saveTableButton() const { return saveTable_; }
    QPushButton* savePlotButton() const { return save_; }
    QPushButton* closeButton() const { return close_; }

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnCopy();
    void OnSaveTable();
    void OnSavePlot();
    // The folder a file question starts in: the one last saved into, else the user's documents.
    QString StartFolder() const;
    // The controls for n degrees of freedom and modes, set from settings_.
    void SetControls(int n);
    // settings_ from the controls, then the tables and the plot anew.
    void OnSettingsChanged();
    void ShowTables();
    // The tables as wide as their cells and titles, and the window around them.
    void FitTables();
    // Chart colours and fonts from the window's palette and font, so that the
    // plot reads on light and dark themes alike.
    void ApplyPalette();
    // As large as the contents want, where the screen has room; beyond that
    // they scroll.
    void FitContents();

    std::optional<ModesView> shown_;
    std::optional<ModalTables> tables_;
    ModalSettings settings_;
    bool settingControls_ = false;
    bool shownBefore_ = false;
    std::unique_ptr<DesktopExportPrompts> desktopPrompts_;
    ExportPrompts* prompts_ = nullptr;
    QString lastFolder_;

    QScrollArea* scroll_ = nullptr;
    QWidget* contents_ = nullptr;
    QLabel* note_ = nullptr;
    QLabel* stale_ = nullptr;
    QWidget* controls_ = nullptr;
    QWidget* directionRow_ = nullptr;
    std::vector<QComboBox*> directionBoxes_;
    QComboBox* normalisation_ = nullptr;
    QLabel* normalisationNote_ = nullptr;
    QGroupBox* rayleigh_ = nullptr;
    QSpinBox* modeI_ = nullptr;
    QSpinBox* modeJ_ = nullptr;
    QLineEdit* zetaI_ = nullptr;
    QLineEdit* zetaJ_ = nullptr;
    QLabel* rayleighResult_ = nullptr;
    QTableWidget* table_ = nullptr;
    QTableWidget* participation_ = nullptr;
    QLabel* tableNote_ = nullptr;
    QTableWidget* shapes_ = nullptr;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QValueAxis* dof_ = nullptr;
    QValueAxis* amplitude_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* saveTable_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace varno::ui
