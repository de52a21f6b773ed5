#include "ui/prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace varno::ui {
namespace {

// Any name is read; .varno is what a Save suggests.
const QString Filters = QStringLiteral("varno problems (*.varno);;Text files (*.txt);;All files (*)");
const QString ModelFilters =
    QStringLiteral("Models (*.mtx *.sti *.mas *.csv *.tsv *.txt);;All files (*)");

enum class Role { Unknown, K, M };

Role RoleOf(const QString& path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("sti")) return Role::K;
    if (suffix == QLatin1String("mas")) return Role::M;
    bool k = false, m = false;
    // Words, so that the m of "beam" says nothing.
    static const QRegularExpression apart(QStringLiteral("[^a-z]+"));
    for (const QString& word : info.completeBaseName().toLower().split(apart, Qt::SkipEmptyParts)) {
        k = k || word == QLatin1String("k") || word.startsWith(QLatin1String("stiff"));
        m = m || word == QLatin1String("m") || word.startsWith(QLatin1String("mass"));
    }
    return k == m ? Role::Unknown : k ? Role::K : Role::M;
}

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

ModelPair PairModelFiles(const QStringList& files)
{
    if (files.size() != 2) return {{}, {}, QStringLiteral("Choose two files at once: the one with K and the one with M.")};
    const Role a = RoleOf(files[0]), b = RoleOf(files[1]);
    if ((a == Role::K || b == Role::M) && a != Role::M && b != Role::K) return {files[0], files[1], {}};
    if ((a == Role::M || b == Role::K) && a != Role::K && b != Role::M) return {files[1], files[0], {}};
    return {{},
            {},
            QStringLiteral("Cannot tell which of %1 and %2 holds K. Choose CalculiX's .sti and .mas, or files "
                           "named with K and M, such as beam_K.mtx and beam_M.mtx.")
                .arg(QFileInfo(files[0]).fileName(), QFileInfo(files[1]).fileName())};
}

QStringList DesktopPrompts::ModelFilesToImport(const QString& folder)
{
    return QFileDialog::getOpenFileNames(parent_, QStringLiteral("Import K and M: choose both files"), folder,
                                         ModelFilters);
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
