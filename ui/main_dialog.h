// The calculator's main window. It keeps no numbers and no rules of its own:
// it shows the grid model's controls and forwards every notification to the
// core, which reaches the widgets back through the GridView interface.
#pragma once

#include <QDialog>
#include <QIcon>
#include <array>
#include <functional>

#include "core/framework.h"
#include "core/program_state.h"
#include "ui/dialog_units.h"
#include "ui/modes_text.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace varno::ui {

class CellEdit;
class ChoiceList;
class ModesWindow;

// The accessible text of the equation picture.
inline constexpr const char* EquationDescription = "K x = \u03bb M x";

// The window-menu entry that opens the About box.
inline constexpr const char* AboutMenuText = "&About varno...";
inline constexpr int AboutCommand = 0x0010;
// Window-menu commands with a default meaning.
inline constexpr int ScMinimize = 0xF020;
inline constexpr int ScMaximize = 0xF030;
inline constexpr int ScClose = 0xF060;
inline constexpr int ScRestore = 0xF120;

// The button that opens the Modes window, left of "Calculate".
inline constexpr const char* ModesButtonText = "&Modes\u2026";

inline constexpr const char* CreditLine = "Free software by the varno developers";
inline constexpr const char* AboutSecondLine = "Closed-form eigenvalue solver";

QIcon ApplicationIcon();

// The dialog units of both dialogs: the font's, widened where needed so that
// every text of the templates fits, with edges on whole device pixels at
// pixelRatio.
DialogUnits TemplateUnits(const QFont& font, double pixelRatio);

class CMainDialog final : public QDialog, public GridView {
    Q_OBJECT

public:
    using AboutOpener = std::function<void(QWidget* parent)>;

    CMainDialog(ProgramState& state, ReportChannel& channel, AboutOpener openAbout);

    // GridView
    std::string CellText(int cell) const override;
    void SetCellText(int cell, std::string_view text) override;
    void SetVisible(int control, bool visible) override;
    int ListSelection(int list) const override;
    void SelectActionRow(int row) override;

    // The window-menu command handler: 16 ... 31 open the About box.
    void OnSysCommand(int command);
    // The "Calculate" command; never closes the dialog. An open Modes window
    // follows it.
    void OnOK();
    // Opens the Modes window (one, made at the first call) on the modes of
    // the last calculation.
    void OpenModes();

    QWidget* control(int id) const;
    QPushButton* calculateButton() const { return calculate_; }
    QPushButton* exitButton() const { return exit_; }
    QPushButton* modesButton() const { return modes_; }
    // Null until the Modes window is first opened.
    ModesWindow* modesWindow() const { return modesWindow_; }

public slots:
    void accept() override;  // Enter and the default button calculate

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void OnInitDialog();
    void OnDimensionChange();
    void OnActionChange();
    void OnCellChange(int cell);
    void Build();
    // Marks a cell whose text is not read as it looks, with the reason as
    // tooltip and accessible description; clears the mark otherwise.
    void ShowNote(int cell);
    // Cells are named after the matrix shown and their position.
    void NameCells();
    template <class W>
    W* Place(W* widget, int id, int x, int y, int w, int h);

    ProgramState& state_;
    ReportChannel& channel_;
    AboutOpener openAbout_;
    DialogUnits units_;
    std::array<QWidget*, 40> byId_{};  // controls 1000 ... 1039
    std::vector<QWidget*> placed_;  // every control, in template order
    QPushButton* calculate_ = nullptr;
    QPushButton* exit_ = nullptr;
    QPushButton* modes_ = nullptr;
    ModesWindow* modesWindow_ = nullptr;
    ModesView modesView_;  // what the last calculation gives the Modes window
    ChoiceList* dimensionList_ = nullptr;
    ChoiceList* actionList_ = nullptr;
    std::array<CellEdit*, 21> cells_{};
};

}  // namespace varno::ui
