#include "ui/prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <tuple>

#include "core/model_import.h"

namespace varno::ui {
namespace {

// Any name is read; .varno is what a Save suggests.
const QString Filters = QStringLiteral("varno problems (*.varno);;Text files (*.txt);;All files (*)");
const QString ModelFilters =
    QStringLiteral("Models (*.mtx *.sti *.mas *.dof *.csv *.tsv *.txt);;All files (*)");

ModelRole RoleOf(const QString& path) { return RoleOfName(QFile::encodeName(QFileInfo(path).fileName()).toStdString()); }

// A name from a file goes into a box as it is, never read as markup.
QMessageBox& Plain(QMessageBox& box)
{
    box.setTextFormat(Qt::PlainText);
    return box;
}

}  // namespace

SaveAnswer DesktopPrompts::AskSaveChanges(const QString& name)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                    QStringLiteral("Save changes to %1?").arg(name),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
    Plain(box).setInformativeText(QStringLiteral("Your changes are lost if you don't save them."));
    // Each answer with its key.
    box.button(QMessageBox::Save)->setText(QStringLiteral("&Save"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancel"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: return SaveAnswer::Save;
    case QMessageBox::Discard: return SaveAnswer::Discard;
    default: return SaveAnswer::Cancel;
    }
}

ChangedAnswer DesktopPrompts::AskFileChanged(const QString& name)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                    QStringLiteral("%1 has changed on disk since it was opened.").arg(name), QMessageBox::NoButton,
                    parent_);
    Plain(box).setInformativeText(QStringLiteral(
        "Overwrite replaces what the file now holds with this problem alone; Save As keeps both."));
    QPushButton* overwrite = box.addButton(QStringLiteral("&Overwrite"), QMessageBox::DestructiveRole);
    QPushButton* saveAs = box.addButton(QStringLiteral("Save &As\u2026"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(saveAs);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    if (box.clickedButton() == overwrite) return ChangedAnswer::Overwrite;
    if (box.clickedButton() == saveAs) return ChangedAnswer::SaveAs;
    return ChangedAnswer::Cancel;
}

bool DesktopPrompts::AskSaveElsewhere(const QString& name, const QString& why)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                    QStringLiteral("%1 cannot be saved in place: %2.").arg(name, why), QMessageBox::NoButton, parent_);
    Plain(box).setInformativeText(QStringLiteral("Save the problem under another name?"));
    QPushButton* saveAs = box.addButton(QStringLiteral("Save &As\u2026"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(saveAs);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == saveAs;
}

QString DesktopPrompts::FileToOpen(const QString& folder)
{
    return QFileDialog::getOpenFileName(parent_, QStringLiteral("Open"), folder, Filters);
}

std::unique_ptr<QFileDialog> MakeSaveDialog(QWidget* parent, const QString& suggested)
{
    auto dialog = std::make_unique<QFileDialog>(parent, QStringLiteral("Save As"), suggested, Filters);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QStringLiteral("varno"));
    // A desktop's own dialog asks about the name typed, before the suffix is
    // added: "keep" would be asked about, and keep.varno replaced unasked.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    const QFileInfo info(suggested);
    if (!info.path().isEmpty() && info.path() != QLatin1String(".")) dialog->setDirectory(info.path());
    dialog->selectFile(info.fileName());
    return dialog;
}

QString DesktopPrompts::FileToSave(const QString& suggested)
{
    const std::unique_ptr<QFileDialog> dialog = MakeSaveDialog(parent_, suggested);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
    return dialog->selectedFiles().constFirst();
}

bool DesktopPrompts::AskReplace(const QString& name)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                    QStringLiteral("%1 already exists. Replace it?").arg(name), QMessageBox::NoButton, parent_);
    Plain(box).setInformativeText(QStringLiteral("Its contents are lost if you replace it."));
    QPushButton* replace = box.addButton(QStringLiteral("&Replace"), QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == replace;
}

ModelPair PairModelFiles(const ModelChoice& choice)
{
    QStringList files;
    QString dof;
    for (const QString& file : choice.files) {
        if (QFileInfo(file).suffix().compare(QLatin1String("dof"), Qt::CaseInsensitive) == 0 && dof.isEmpty())
            dof = file;
        else
            files << file;
    }
    if (files.size() != 2)
        return {{}, {}, {},
                QStringLiteral("Choose two files: the one with K and the one with M (and CalculiX's .dof with them, "
                               "for the names of the degrees of freedom).")};
    const ModelRole a = RoleOf(files[0]), b = RoleOf(files[1]);
    using enum ModelRole;
    if (choice.ordered) {
        // Asked for by name: a file whose name says the other matrix was chosen by mistake.
        for (const auto& [file, role, asked] : {std::tuple{files[0], a, K}, std::tuple{files[1], b, M}})
            if (role != Unknown && role != asked)
                return {{}, {}, {},
                        QStringLiteral("%1's name says it holds %2, but it was chosen as %3's file.")
                            .arg(QFileInfo(file).fileName(), role == K ? QStringLiteral("K") : QStringLiteral("M"),
                                 asked == K ? QStringLiteral("K") : QStringLiteral("M"))};
        return {files[0], files[1], dof, {}};
    }
    if ((a == K || b == M) && a != M && b != K) return {files[0], files[1], dof, {}};
    if ((a == M || b == K) && a != K && b != M) return {files[1], files[0], dof, {}};
    return {{},
            {},
            {},
            QStringLiteral("Cannot tell which of %1 and %2 holds K. Choose CalculiX's .sti and .mas, or files "
                           "named with K and M, such as beam_K.mtx and beam_M.mtx; or choose them one after the "
                           "other, K's first.")
                .arg(QFileInfo(files[0]).fileName(), QFileInfo(files[1]).fileName())};
}

ModelChoice DesktopPrompts::ModelFilesToImport(const QString& folder)
{
    // K's file first; choosing both at once (with Ctrl or Shift) is the same.
    ModelChoice choice;
    choice.files = QFileDialog::getOpenFileNames(parent_, QStringLiteral("Import: the file with K (or K's and M's together)"),
                                                 folder, ModelFilters);
    int matrices = 0;
    for (const QString& file : choice.files)
        matrices += QFileInfo(file).suffix().compare(QLatin1String("dof"), Qt::CaseInsensitive) != 0 ? 1 : 0;
    if (matrices != 1) return choice;
    const QString m = QFileDialog::getOpenFileName(parent_, QStringLiteral("Import: the file with M"),
                                                   QFileInfo(choice.files.front()).path(), ModelFilters);
    if (m.isEmpty()) return {};
    choice.files << m;
    choice.ordered = true;
    return choice;
}

int DesktopPrompts::PickProblem(const QString& file, const QStringList& items, std::int64_t total)
{
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(QStringLiteral("Open"));
    QString label = QStringLiteral("%1 holds %2 problems. Open which one?").arg(file).arg(total);
    if (total > items.size())
        label = QStringLiteral("%1 holds %2 problems; the first %3 are listed. Open which one?")
                    .arg(file)
                    .arg(total)
                    .arg(items.size());
    dialog.setLabelText(label);
    for (QLabel* text : dialog.findChildren<QLabel*>()) text->setTextFormat(Qt::PlainText);
    dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
    dialog.setComboBoxItems(items);
    dialog.setTextValue(items.value(0));
    if (dialog.exec() != QDialog::Accepted) return -1;
    return static_cast<int>(items.indexOf(dialog.textValue()));
}

}  // namespace varno::ui
