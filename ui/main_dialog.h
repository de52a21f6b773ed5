// The calculator's main window. It keeps no numbers and no rules of its own:
// it shows the grid model's controls and forwards every notification to the
// core, which reaches the widgets back through the GridView interface.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/framework.h"
#include "core/problem_file.h"
#include "core/program_state.h"
#include "core/file_save.h"
#include "core/problem_document.h"
#include "core/model_import.h"
#include "ui/background.h"
#include "ui/dialog_units.h"
#include "ui/modes_text.h"
#include "ui/session.h"
#include "ui/typed_texts.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QScrollArea;

namespace varno::ui {

class CellEdit;
class ChoiceList;
class HelpWindow;
class ModesWindow;
class ModelWindow;
struct ModelOrigin;
class Prompts;

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

// The button whose menu holds Open, Save, Save As, Import and the recent files.
inline constexpr const char* FileButtonText = "&File";

// Calculate or Save before a dimension is chosen.
inline constexpr const char* SelectDimensionMessage = " Please select the dimension n (2, 3, 4, 5 or 6) first.";

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

    using RecentSink = std::function<void(const std::vector<std::string>& recent)>;

    CMainDialog(ProgramState& state, ReportChannel& channel, Prompts& prompts, AboutOpener openAbout);

    // GridView
    std::string CellText(int cell) const override;
    void SetCellText(int cell, std::string_view text) override;
    void SetVisible(int control, bool visible) override;
    int ListSelection(int list) const override;
    void SelectActionRow(int row) override;

    // The window-menu command handler: 16 ... 31 open the About box.
    void OnSysCommand(int command);
    // The "Calculate" command; never closes the dialog. An open Modes window
    // follows it before the first message box opens.
    void OnOK();
    // Opens the Modes window (one, made at the first call) on the modes of
    // the last calculation.
    void OpenModes();
    // Opens the Help window (one, made at the first call).
    void ShowHelp();

    // Reads a problem file into the window: one problem, or the one picked
    // of several. A file that cannot be read leaves the window as it was;
    // unsaved changes are asked about first. True when a problem was opened.
    // path: bytes, as the system has them (a name need not be UTF-8).
    bool OpenFile(const std::string& path);
    bool OpenFile(const QString& path);
    // Open..., Save, Save As...: false where nothing was opened or saved.
    // Save writes the problem back in its place in the file it came from,
    // every other byte of the file kept, and asks first where the file has
    // changed on disk since; Save As writes it alone, to a new file.
    bool Open();
    bool Save();
    bool SaveAs();
    // New: an empty problem, as at start, once the changes are asked about;
    // false where the user kept them.
    bool New();
    // Import...: K and M from the two files of a model that other programs
    // write (core/model_import.h), chosen together. Replaces the problem as
    // Open does, with no file to save to yet; a model that cannot be read
    // leaves the window as it was. One too large for the grid opens in a
    // model view of its own instead, the problem left as it is. True when
    // one was imported.
    bool Import();
    bool problemModified() const;

    // The recent files, most recent first; sink hears of every change, to
    // keep them.
    void setRecentFiles(std::vector<std::string> recent, RecentSink sink);
    const std::vector<std::string>& recentFiles() const { return recent_; }

    // The directions of the problem's degrees of freedom, as the Modes window shows them.
    const std::vector<Direction>& directions() const { return directions_; }

    // Where saves reach the disk; tests put a full one here.
    void setSaveIo(SaveIo& io) { saveIo_ = &io; }
    // Busy with a file: no input reaches the window but Escape.
    bool busy() const { return background_.busy(); }

    QWidget* control(int id) const;
    // The template's page, inside a scroll area that is as large as the
    // window lets it be.
    QWidget* page() const { return page_; }
    QPushButton* fileButton() const { return file_; }
    QMenu* fileMenu() const { return fileMenu_; }
    // Null until Help is first shown.
    HelpWindow* helpWindow() const { return help_; }
    QPushButton* calculateButton() const { return calculate_; }
    QPushButton* exitButton() const { return exit_; }
    QPushButton* modesButton() const { return modes_; }
    QLabel* misreadLine() const { return misread_; }
    // Null until the Modes window is first opened.
    ModesWindow* modesWindow() const { return modesWindow_; }
    // The model view last opened by Import; null once it is closed.
    ModelWindow* modelWindow() const;

public slots:
    void accept() override;  // Enter and the default button calculate
    // Escape, Exit and the close box: asks first where changes would be lost.
    void reject() override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OnInitDialog();
    void OnDimensionChange();
    void OnActionChange();
    void OnCellChange(int cell);
    void Build();
    // The font the template is laid out in: the window's own, or where at
    // it the template would not fit the screen (a small screen at a large
    // scale), the largest smaller one at which it does, down to lines of
    // 11 device pixels; on a screen smaller still the font stays, and the
    // form scrolls.
    QFont FittingFont() const;
    void BuildFileMenu();
    void FillFileMenu();
    // Shows the modes what the calculation gives, in the window if open.
    void ShowModesView(ModesView view);
    // Replaces the problem by one read from a file, with the names of its
    // degrees of freedom where the file gives them.
    void Load(const FileProblem& problem, std::vector<std::string> labels = {});
    // A model too large for the grid, in a window of its own.
    void OpenModelView(ImportedModel model, ModelOrigin origin);
    // Where the problem is left: true to go on.
    bool MayLeave();
    void Remember(const std::string& path);
    void Forget(const std::string& path);
    // Save's two ways: into the file the problem came from, in its place;
    // or alone, as a new file.
    bool SaveOver(const ProblemSource& source);
    bool SaveNew(const std::string& path);
    // After either: the window follows a save that was done, or says why not.
    bool Saved(const ProblemSave& save, const std::string& path, const MatrixStore& written,
               const std::vector<Direction>& directions);
    void UpdateTitle();
    // Marks a cell whose text is not read as it looks, with the reason as
    // tooltip and accessible description; clears the mark otherwise.
    void ShowNote(int cell);
    // The line below the buttons that names every such cell of the problem.
    void ShowMisreads();
    // The Modes window says so where the matrices changed since the calculation it shows.
    void ShowStale();
    // Cells are named after the matrix shown and their position, and after
    // the imported model's degrees of freedom while the dimension is its.
    void NameCells();
    template <class W>
    W* Place(W* widget, int id, int x, int y, int w, int h);

    ProgramState& state_;
    ReportChannel& channel_;
    Prompts& prompts_;
    AboutOpener openAbout_;
    DialogUnits units_;
    Session session_;
    BackgroundWork background_;
    SaveIo* saveIo_ = &SystemSaveIo();
    TypedTexts typed_;
    bool pasting_ = false;  // a whole matrix is being pasted: its entries count as typed
    std::vector<std::string> recent_;
    RecentSink recentSink_;
    QScrollArea* scroll_ = nullptr;
    QWidget* page_ = nullptr;
    QPushButton* file_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QAction* newAction_ = nullptr;
    QAction* openAction_ = nullptr;
    QAction* saveAction_ = nullptr;
    QAction* saveAsAction_ = nullptr;
    QAction* importAction_ = nullptr;
    std::vector<std::string> labels_;  // the imported model's degrees of freedom
    // The degrees of freedom's directions, part of the problem: opened and
    // saved with it, chosen in the Modes window. x where none is given.
    std::vector<Direction> directions_;
    // The first n of them, x where none is given: what a Save writes.
    std::vector<Direction> DirectionsFor(int n) const;
    HelpWindow* help_ = nullptr;
    std::array<QWidget*, 40> byId_{};  // controls 1000 ... 1039
    std::vector<QWidget*> placed_;  // every control, in template order
    QPushButton* calculate_ = nullptr;
    QPushButton* exit_ = nullptr;
    QPushButton* modes_ = nullptr;
    QLabel* misread_ = nullptr;
    ModesWindow* modesWindow_ = nullptr;
    QPointer<ModelWindow> modelWindow_;
    bool modesPlaced_ = false;  // put beside the window at its first showing
    ModesView modesView_;  // what the last calculation gives the Modes window
    std::vector<std::uint64_t> calculated_;  // the problem that calculation was of
    ChoiceList* dimensionList_ = nullptr;
    ChoiceList* actionList_ = nullptr;
    std::array<CellEdit*, 21> cells_{};
};

}  // namespace varno::ui
