// The main window's construction: the template's controls in their places,
// in dialog units of a font that lets the whole form fit the screen.
#include "ui/main_dialog.h"

#include <QAbstractScrollArea>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QScreen>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>
#include <cmath>
#include <type_traits>

#include "core/form.h"
#include "core/matrix_store.h"
#include "core/model_import.h"
#include "core/number_text.h"
#include "core/order.h"
#include "core/version.h"
#include "driver/calculate.h"
#include "ui/cell_text.h"
#include "ui/dialog_units.h"
#include "ui/grid_widgets.h"
#include "ui/help_window.h"
#include "ui/modes_window.h"
#include "ui/prompts.h"

// Resources of a static library must be registered by hand, outside any
// namespace.
static void RegisterResources() { Q_INIT_RESOURCE(resources); }

namespace varno::ui {
namespace {

constexpr int NoId = -1;

void InitResources()
{
    static const bool done = (RegisterResources(), true);
    (void)done;
}

// The equation picture is stored as a black shape on transparency and
// coloured with the palette's text colour, so it reads on light and dark
// themes alike.
QPixmap EquationPixmap(const QColor& colour)
{
    QPixmap mask(QStringLiteral(":/varno/equation.png"));
    QPixmap tinted(mask.size());
    tinted.setDevicePixelRatio(mask.devicePixelRatio());
    tinted.fill(Qt::transparent);
    QPainter painter(&tinted);
    painter.drawPixmap(0, 0, mask);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), mask.size()), colour);
    return tinted;
}

}  // namespace

DialogUnits TemplateUnits(const QFont& font, double pixelRatio)
{
    const QFontMetrics metrics(font);
    // Single-line texts and the widths the template gives them; buttons and
    // group-box titles need room for their frames too.
    const int button = 2 * metrics.horizontalAdvance(QLatin1Char('x'));
    const int title = 3 * metrics.horizontalAdvance(QLatin1Char('x'));
    return DialogUnits(font, {{QStringLiteral("This program calculates the eigenvalues of:"), 138},
                              {QString::fromUtf8(CreditLine), 133},
                              {QStringLiteral("Calculate"), 50, button},
                              {QStringLiteral("Select Dimension"), 66, title},
                              {QStringLiteral("Select Action"), 97, title},
                              {QStringLiteral("Edit K matrix"), 67, 2 * title},
                              {QStringLiteral("varno Version " VARNO_VERSION), 119},
                              {QString::fromUtf8(AboutSecondLine), 119}},
                       PixelStep(pixelRatio));
}

QFont CMainDialog::FittingFont() const
{
    QFont font = this->font();
    const QScreen* shown = screen();
    if (shown == nullptr || font.pointSizeF() <= 0) return font;
    // Room as BoundedToScreen leaves it: a line for the frame, three for the
    // title bar. No smaller than a line of 11 device pixels, what a screen
    // at 96 dpi shows an 8-point text in; at a scale of 2 that is 4 points.
    // Whole points: a fractional size's text can come out a pixel taller than its line.
    for (QFont smaller = font;
         smaller.pointSizeF() >= 1.0 && QFontMetrics(smaller).height() * devicePixelRatioF() >= 11.0;
         smaller.setPointSizeF(std::ceil(smaller.pointSizeF()) - 1.0)) {
        const int line = QFontMetrics(smaller).height();
        const QSize room = shown->availableGeometry().size() - QSize(line, 3 * line);
        const QSize page = TemplateUnits(smaller, devicePixelRatioF()).size(368, 290);
        if (page.width() <= room.width() && page.height() <= room.height()) return smaller;
    }
    return font;  // no size fits: the form scrolls, at its own
}

QIcon ApplicationIcon()
{
    InitResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/varno/icon16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/varno/icon32.png"), QSize(32, 32));
    return icon;
}

CMainDialog::CMainDialog(ProgramState& state, ReportChannel& channel, Prompts& prompts, AboutOpener openAbout)
    : QDialog(nullptr),
      state_(state),
      channel_(channel),
      prompts_(prompts),
      openAbout_(std::move(openAbout)),
      units_(font())
{
    InitResources();
    Build();
    OnInitDialog();
    session_.MarkSaved(state_.store);
    UpdateTitle();
}

template <class W>
W* CMainDialog::Place(W* widget, int id, int x, int y, int w, int h)
{
    int inset = 0;
    if constexpr (std::is_base_of_v<QAbstractScrollArea, W>) inset = widget->frameWidth();
    widget->setGeometry(units_.rect(x, y, w, h, inset));
    placed_.push_back(widget);
    if (id != NoId) byId_[static_cast<std::size_t>(id - id::DimensionList)] = widget;
    return widget;
}

void CMainDialog::Build()
{
    UpdateTitle();
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);
    setFont(FittingFont());
    units_ = TemplateUnits(font(), devicePixelRatioF());
    // The template keeps its size on a page of its own; the window around it
    // can be smaller (the page scrolls) or larger (it stays in the middle).
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->setFocusPolicy(Qt::NoFocus);
    page_ = new QWidget;
    page_->setFixedSize(units_.size(368, 290));
    scroll_->setWidget(page_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll_);
    setMinimumSize(units_.size(100, 60));
    // Where the screen is too small one way, room for the scroll bar the
    // other way, so that it needs no second one.
    QSize wanted = page_->size();
    const QSize fitted = BoundedToScreen(*this, wanted);
    if (fitted.height() < wanted.height()) wanted.rwidth() += scroll_->verticalScrollBar()->sizeHint().width();
    if (fitted.width() < wanted.width()) wanted.rheight() += scroll_->horizontalScrollBar()->sizeHint().height();
    resize(BoundedToScreen(*this, wanted));

    // Template order, which is also the tab order.
    calculate_ = Place(new FocusButton(QStringLiteral("Calculate"), page_), NoId, 229, 257, 50, 14);
    calculate_->setDefault(true);
    exit_ = Place(new FocusButton(QStringLiteral("Exit"), page_), NoId, 295, 258, 50, 14);
    Place(new QLabel(QStringLiteral("This program calculates the eigenvalues of:"), page_), NoId, 11, 15, 138, 8);
    auto* picture = new QLabel(page_);
    const QPixmap equation = EquationPixmap(palette().color(QPalette::WindowText));
    picture->setPixmap(equation);
    picture->setAccessibleName(QString::fromUtf8(EquationDescription));
    Place(picture, NoId, 51, 30, 51, 11);
    // A static bitmap takes the size of its picture.
    picture->resize(units_.grown(equation.deviceIndependentSize().toSize()));
    Place(new QGroupBox(page_), NoId, 7, 7, 149, 66);
    auto* where =
        Place(new QLabel(QStringLiteral("where K and M are symmetric matrices with real coefficients."), page_), NoId,
              14, 46, 136, 20);
    where->setWordWrap(true);
    where->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Place(new QGroupBox(QStringLiteral("Select Dimension"), page_), NoId, 166, 26, 66, 76);

    dimensionList_ = Place(new ChoiceList(page_), id::DimensionList, 179, 42, 37, 46);
    dimensionList_->setAccessibleName(QStringLiteral("Select Dimension"));
    const auto cellRects = [] {
        // (x, y) of each cell, row by row through the upper triangle.
        return std::array<std::pair<int, int>, 21>{{{36, 137}, {89, 137}, {141, 137}, {193, 137}, {244, 137},
                                                    {295, 137}, {89, 156}, {141, 156}, {193, 156}, {244, 156},
                                                    {295, 156}, {141, 174}, {193, 174}, {245, 174}, {295, 174},
                                                    {194, 191}, {245, 191}, {296, 191}, {245, 209}, {296, 209},
                                                    {296, 228}}};
    }();
    for (std::size_t k = 0; k < cells_.size(); ++k) {
        const int cell = id::FirstCell + static_cast<int>(k);
        auto* edit = Place(new CellEdit(page_), cell, cellRects[k].first, cellRects[k].second, 45, 14);
        edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        edit->setMaxLength(1 << 20);
        connect(edit, &QLineEdit::textChanged, this, [this, cell] { OnCellChange(cell); });
        connect(edit, &QLineEdit::textEdited, this, [this, cell](const QString& text) {
            if (state_.store.ActionIndex == 0 || state_.store.ActionIndex == 1)
                typed_.Typed(state_.store.ActionIndex == 0 ? Which::K : Which::M, cell, text.toStdString());
            ShowNote(cell);
        });
        edit->readsAsMatrix = [this](const QString& text) { return PastesAsMatrix(state_, text.toStdString()); };
        edit->pasteMatrix = [this](const QString& text) {
            // Rows that are no matrix for n never go into one cell as junk: said why, instead.
            if (const std::string why = PasteRefusal(state_, text.toStdString()); !why.empty()) {
                channel_.ShowMessage(why);
                return true;
            }
            pasting_ = true;
            const bool pasted = MatrixPasted(state_, *this, text.toStdString());
            pasting_ = false;
            return pasted;
        };
        edit->matrixText = [this] { return QString::fromStdString(ShownMatrixText(state_)); };
        cells_[k] = edit;
    }
    const int columnX[6] = {51, 103, 156, 207, 257, 308};
    const int rowY[6] = {142, 161, 180, 198, 214, 230};
    for (int k = 0; k < 6; ++k)
        Place(new QLabel(QString::number(k + 1), page_), id::FirstColumnLabel + k, columnX[k], 126, 8, 8);
    for (int k = 0; k < 6; ++k)
        Place(new QLabel(QString::number(k + 1), page_), id::FirstRowLabel + k, 17, rowY[k], 8, 8);

    actionList_ = Place(new ChoiceList(page_), id::ActionList, 258, 44, 67, 36);
    actionList_->setAccessibleName(QStringLiteral("Select Action"));
    Place(new QGroupBox(QStringLiteral("Select Action"), page_), id::ActionGroup, 243, 26, 97, 76);
    Place(new QGroupBox(QStringLiteral("Enter K matrix coefficients"), page_), id::KGroup, 7, 113, 344, 135);
    Place(new QGroupBox(QStringLiteral("Enter M matrix coefficients"), page_), id::MGroup, 7, 114, 344, 135);
    Place(new QGroupBox(page_), NoId, 7, 76, 150, 26);
    Place(new QLabel(QString::fromUtf8(CreditLine), page_), NoId, 14, 86, 133, 8);
    modes_ = Place(new FocusButton(QString::fromUtf8(ModesButtonText), page_), NoId, 163, 257, 50, 14);
    modes_->setEnabled(false);  // until a calculation has modes
    file_ = Place(new FocusButton(QString::fromUtf8(FileButtonText), page_), NoId, 7, 257, 50, 14);
    // Below the buttons, where the user looks when pressing Calculate: the
    // cells whose text is not read as typed, while there are any.
    misread_ = Place(new QLabel(page_), NoId, 7, 274, 354, 10);
    misread_->setObjectName(QStringLiteral("misreadLine"));
    BuildFileMenu();

    for (QWidget* widget : placed_) {
        // Group boxes are frames behind their contents, not containers.
        if (qobject_cast<QGroupBox*>(widget) != nullptr) {
            widget->lower();
            widget->setFocusPolicy(Qt::NoFocus);
        }
    }
    calculate_->setAccessibleName(QStringLiteral("Calculate"));
    exit_->setAccessibleName(QStringLiteral("Exit"));
    file_->setAccessibleName(QStringLiteral("File"));
    modes_->setAccessibleName(QStringLiteral("Modes"));
    for (QListWidget* list : std::initializer_list<QListWidget*>{dimensionList_, actionList_}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setSortingEnabled(true);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    QWidget* previous = calculate_;
    for (QWidget* next : std::initializer_list<QWidget*>{exit_, dimensionList_}) {
        setTabOrder(previous, next);
        previous = next;
    }
    for (QLineEdit* edit : cells_) {
        setTabOrder(previous, edit);
        previous = edit;
    }
    setTabOrder(previous, actionList_);
    setTabOrder(actionList_, modes_);
    setTabOrder(modes_, file_);

    connect(calculate_, &QPushButton::clicked, this, &CMainDialog::OnOK);
    connect(exit_, &QPushButton::clicked, this, &CMainDialog::reject);
    connect(modes_, &QPushButton::clicked, this, &CMainDialog::OpenModes);
    connect(dimensionList_, &QListWidget::itemSelectionChanged, this, &CMainDialog::OnDimensionChange);
    connect(actionList_, &QListWidget::itemSelectionChanged, this, &CMainDialog::OnActionChange);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CMainDialog::ShowHelp);
}

}  // namespace varno::ui
