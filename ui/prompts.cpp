#include "ui/prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace varno::ui {
namespace {

// Any name is read; .varno is what a Save suggests.
const QString Filters = QStringLiteral("varno problems (*.varno);;Text files (*.txt);;All files (*)");

}  // namespace

SaveAnswer DesktopPrompts::AskSaveChanges(const QString& name)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                    QStringLiteral("Save changes to %1?").arg(name),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
    box.setInformativeText(QStringLiteral("Your changes are lost if you don't save them."));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: return SaveAnswer::Save;
    case QMessageBox::Discard: return SaveAnswer::Discard;
    default: return SaveAnswer::Cancel;
    }
}

QString DesktopPrompts::FileToOpen(const QString& folder)
{
    return QFileDialog::getOpenFileName(parent_, QStringLiteral("Open"), folder, Filters);
}

QString DesktopPrompts::FileToSave(const QString& suggested)
{
    QString path = QFileDialog::getSaveFileName(parent_, QStringLiteral("Save As"), suggested, Filters);
    // A name typed without a suffix gets the suggested one; any other is kept.
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".varno");
    return path;
}

int DesktopPrompts::PickProblem(const QString& file, const QStringList& items)
{
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(QStringLiteral("Open"));
    dialog.setLabelText(QStringLiteral("%1 holds %2 problems. Open which one?").arg(file).arg(items.size()));
    dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
    dialog.setComboBoxItems(items);
    dialog.setTextValue(items.value(0));
    if (dialog.exec() != QDialog::Accepted) return -1;
    return static_cast<int>(items.indexOf(dialog.textValue()));
}

}  // namespace varno::ui
