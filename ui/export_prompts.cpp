#include "ui/export_prompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <algorithm>

namespace varno::ui {
namespace {

// A name from the disk goes into a box as it is, never read as markup.
int Ask(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons, QMessageBox::StandardButton preferred)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Modes"), text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(preferred);
    return box.exec();
}

// A name typed without the suffix of the kind chosen gets it; any other is
// kept. The dialog asked before replacing the name typed, not this one: a
// file of the name with the suffix is asked about here. Empty for none.
QString WithSuffix(QWidget* parent, QString path, const QString& suffix)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    path += QLatin1Char('.') + suffix;
    if (QFileInfo::exists(path) && Ask(parent, QStringLiteral("%1 already exists. Replace it?").arg(QFileInfo(path).fileName()),
                                       QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return {};
    return path;
}

}  // namespace

TableFileChoice DesktopExportPrompts::TableFile(const QString& folder)
{
    // One table a file, so that a spreadsheet or pandas reads each as it is.
    const QStringList filters = {QStringLiteral("Modes and participation, CSV (*.csv)"),
                                 QStringLiteral("Mode shapes, CSV (*.csv)"),
                                 QStringLiteral("Total masses and damping, CSV (*.csv)")};
    const QString names[] = {QStringLiteral("modes.csv"), QStringLiteral("mode-shapes.csv"), QStringLiteral("modes-summary.csv")};
    QString chosen;
    const QString path = QFileDialog::getSaveFileName(parent_, QStringLiteral("Save Table"), QDir(folder).filePath(names[0]),
                                                      filters.join(QStringLiteral(";;")), &chosen);
    const qsizetype index = std::max<qsizetype>(0, filters.indexOf(chosen));
    return {WithSuffix(parent_, path, QStringLiteral("csv")), static_cast<ModesTable>(index)};
}

PlotFile DesktopExportPrompts::PlotFileChoice(const QString& folder, QSize once)
{
    QStringList filters;
    for (const int times : PlotTimes)
        filters << QStringLiteral("PNG, %1 \u00d7 %2 pixels (*.png)")
                       .arg(once.width() * times)
                       .arg(once.height() * times);
    filters << QStringLiteral("SVG, drawn to any size (*.svg)");
    QString chosen;
    const QString path =
        QFileDialog::getSaveFileName(parent_, QStringLiteral("Save Plot"), QDir(folder).filePath(QStringLiteral("mode-shapes.png")),
                                     filters.join(QStringLiteral(";;")), &chosen);
    if (path.isEmpty()) return {};
    const qsizetype index = filters.indexOf(chosen);
    const bool svg = index == filters.size() - 1 || QFileInfo(path).suffix().compare(QStringLiteral("svg"), Qt::CaseInsensitive) == 0;
    if (svg) return {WithSuffix(parent_, path, QStringLiteral("svg")), 0};
    return {WithSuffix(parent_, path, QStringLiteral("png")), index >= 0 ? PlotTimes[index] : PlotTimes[0]};
}

void DesktopExportPrompts::CannotWrite(const QString& path)
{
    Ask(parent_, QStringLiteral("Cannot write %1.").arg(path), QMessageBox::Ok, QMessageBox::Ok);
}

}  // namespace varno::ui
