// The Modes window's copies and files: the tables to the clipboard and as
// CSV, the plot as PNG or SVG, each saved whole or not at all.
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QSvgGenerator>
#include <QChartView>
#include <algorithm>

#include "core/file_save.h"
#include "ui/modes_window.h"

namespace varno::ui {
namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

bool ModesWindow::SavePlot(const QString& path, int times)
{
    // Drawn into memory first, then saved as a problem is: a full disk
    // never leaves half a picture in the place of the one that was there.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(view_->size());
        svg.setViewBox(QRect(QPoint(0, 0), view_->size()));
        svg.setTitle(QString::fromUtf8(ModeShapesName));
        QPainter painter;
        if (!painter.begin(&svg)) return false;
        view_->render(&painter);
        painter.end();  // the generator writes as it goes, into the buffer it was given
    } else {
        // Drawn anew at the larger size, not blown up: lines and text stay
        // sharp. The scene itself is drawn, scaled into the whole picture:
        // the view's own drawing keeps to the screen's pixels, and filled
        // only a corner of a larger picture.
        QImage picture(PlotSize(times), QImage::Format_ARGB32_Premultiplied);
        picture.fill(view_->backgroundBrush().color());
        QPainter painter(&picture);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        view_->scene()->render(&painter, QRectF(picture.rect()), view_->mapToScene(view_->viewport()->rect()).boundingRect());
        painter.end();
        if (!picture.save(&buffer, "PNG")) return false;
    }
    return SaveFile(QFile::encodeName(path).toStdString(), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                    SystemSaveIo())
        .ok();
}

bool ModesWindow::SaveTable(const QString& path, ModesTable which)
{
    if (!tables_) return false;
    return SaveFile(QFile::encodeName(path).toStdString(), ModesCsv(*tables_, which), SystemSaveIo()).ok();
}

QSize ModesWindow::PlotSize(int times) const
{
    // At times 1 the window's width (or the plot's, where wider; the
    // contents scroll), the plot's shape; the size offered is the size saved.
    const QSize once =
        (QSizeF(view_->size()) * (static_cast<double>(std::max(width(), view_->width())) / view_->width())).toSize();
    return once * times;
}

QString ModesWindow::StartFolder() const
{
    if (!lastFolder_.isEmpty()) return lastFolder_;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void ModesWindow::OnCopy()
{
    if (tables_) QGuiApplication::clipboard()->setText(Text(ModesTsv(*tables_)));
}

void ModesWindow::OnSaveTable()
{
    if (!tables_) return;
    const TableFileChoice chosen = prompts_->TableFile(StartFolder());
    if (chosen.path.isEmpty()) return;
    lastFolder_ = QFileInfo(chosen.path).absolutePath();
    if (!SaveTable(chosen.path, chosen.table)) prompts_->CannotWrite(chosen.path);
}

void ModesWindow::OnSavePlot()
{
    if (!tables_) return;
    const PlotFile chosen = prompts_->PlotFileChoice(StartFolder(), PlotSize(1));
    if (chosen.path.isEmpty()) return;
    lastFolder_ = QFileInfo(chosen.path).absolutePath();
    if (!SavePlot(chosen.path, chosen.times)) prompts_->CannotWrite(chosen.path);
}

}  // namespace varno::ui
