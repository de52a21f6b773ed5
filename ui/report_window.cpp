#include "ui/report_window.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "ui/dialog_units.h"

namespace varno::ui {

ReportWindow::ReportWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Eigenvalues"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);
    heading_ = new QLabel(this);
    heading_->setWordWrap(true);
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setAccessibleName(QStringLiteral("Eigenvalues"));
    // Reports are column-aligned with blanks, as the message boxes show them.
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setMinimumHeight(8 * text_->fontMetrics().lineSpacing());
    heading_->setBuddy(text_);
    copy_ = new QPushButton(QStringLiteral("&Copy All"), this);
    copy_->setToolTip(QStringLiteral("Copy the whole report; Ctrl+C copies what is selected"));
    close_ = new QPushButton(QStringLiteral("C&lose"), this);
    copy_->setAutoDefault(false);
    close_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);
    connect(copy_, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(text_->toPlainText()); });
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
}

void ReportWindow::ShowReport(const QString& heading, const std::string& text)
{
    heading_->setText(heading);
    text_->setPlainText(QString::fromStdString(text));
    // Once shown it keeps the size the user gave it. At first: wide enough
    // for the longest line, about thirty lines high; beyond that, and
    // beyond the screen, the text scrolls.
    if (isVisible()) return;
    const QFontMetrics metrics(text_->font());
    int widest = 0;
    for (const QString& line : text_->toPlainText().split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const QMargins outer = layout()->contentsMargins();
    const int inner = widest + text_->verticalScrollBar()->sizeHint().width() + 2 * text_->frameWidth() +
                      2 * static_cast<int>(std::ceil(text_->document()->documentMargin())) + metrics.averageCharWidth();
    const QSize wanted(std::max(inner, 60 * fontMetrics().averageCharWidth()) + outer.left() + outer.right(),
                       30 * metrics.lineSpacing() + 5 * fontMetrics().height() + outer.top() + outer.bottom());
    resize(BoundedToScreen(*this, wanted));
}

}  // namespace varno::ui
