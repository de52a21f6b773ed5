#include "app/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "core/version.h"
#include "ui/dialog_units.h"
#include "ui/main_dialog.h"

namespace varno::app {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About varno"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const ui::DialogUnits units = ui::TemplateUnits(font(), devicePixelRatioF());
    setFixedSize(units.size(217, 55));

    auto* icon = new QLabel(this);
    icon->setPixmap(ui::ApplicationIcon().pixmap(32, 32));
    icon->setGeometry(units.rect(11, 17, 20, 20));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    (new QLabel(QStringLiteral("varno Version " VARNO_VERSION), this))->setGeometry(units.rect(40, 10, 119, 8));
    (new QLabel(QString::fromUtf8(ui::AboutSecondLine), this))->setGeometry(units.rect(40, 25, 119, 8));
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(units.rect(178, 7, 32, 14));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace varno::app
