#include "ui/message_box.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QShortcut>

namespace varno::ui {

QMessageBox* CreateMessageBox(const std::string& text, QWidget* parent)
{
    const QString message = QString::fromStdString(text);
    auto* box = new QMessageBox(QMessageBox::NoIcon, QApplication::applicationName(), message, QMessageBox::Ok,
                                parent);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    // Reports are column-aligned with blanks and tabs: show them verbatim, in
    // a fixed-pitch font, and never let a "<" turn them into rich text.
    box->setTextFormat(Qt::PlainText);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        label->setWordWrap(false);
    }
    // Ctrl+C copies the whole message, whatever is selected.
    auto* copy = new QShortcut(QKeySequence::Copy, box);
    QObject::connect(copy, &QShortcut::activated, box,
                     [message] { QGuiApplication::clipboard()->setText(message); });
    return box;
}

void MessageBoxChannel::ShowMessage(const std::string& text)
{
    QMessageBox* box = CreateMessageBox(text, parent_);
    box->exec();
    delete box;
}

}  // namespace varno::ui
