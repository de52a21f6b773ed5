#include "ui/export_prompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace varno::ui {
namespace {

// A name typed without the suffix of the kind chosen gets it; any other is kept.
QString WithSuffix(QString path, const QString& suffix)
{
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += QLatin1Char('.') + suffix;
    return path;
}

}  // namespace

QString DesktopExportPrompts::TableFile(const QString& folder)
{
    const QString path = QFileDialog::getSaveFileName(parent_, QStringLiteral("Save Table"),
                                                      QDir(folder).filePath(QStringLiteral("modes.csv")),
                                                      QStringLiteral("CSV (*.csv);;All files (*)"));
    return WithSuffix(path, QStringLiteral("csv"));
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
    if (svg) return {WithSuffix(path, QStringLiteral("svg")), 0};
    return {WithSuffix(path, QStringLiteral("png")), index >= 0 ? PlotTimes[index] : PlotTimes[0]};
}

void DesktopExportPrompts::CannotWrite(const QString& path)
{
    QMessageBox::warning(parent_, QStringLiteral("Modes"), QStringLiteral("Cannot write %1.").arg(path));
}

}  // namespace varno::ui
