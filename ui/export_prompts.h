// The questions the Modes window asks when it writes a file: where to save
// the table, where and how large to save the plot, and what to say when a
// file cannot be written. A seam, so that tests answer them from a script
// and no modal box ever opens there; DesktopExportPrompts asks with real
// dialogs.
#pragma once

#include <QSize>
#include <QString>

#include "ui/modes_text.h"

class QWidget;

namespace varno::ui {

// The sizes Save Plot offers for PNG, in times the window's size; at least
// twice, so that the picture stays sharp in a report.
inline constexpr int PlotTimes[] = {2, 3, 4};

// A CSV file holds one table: which, chosen with the file.
struct TableFileChoice {
    QString path;  // empty for none
    ModesTable table = ModesTable::Modes;
};

struct PlotFile {
    QString path;   // empty for none
    int times = 2;  // PNG: the window's size times this; 0: SVG
};

class ExportPrompts {
public:
    virtual ~ExportPrompts() = default;
    // A CSV file for one of the tables, starting in folder.
    virtual TableFileChoice TableFile(const QString& folder) = 0;
    // A file for the plot, starting in folder, with its kind and size;
    // once is the picture's size at times 1 (the window's width), to say
    // what each size gives.
    virtual PlotFile PlotFileChoice(const QString& folder, QSize once) = 0;
    // Says that path could not be written.
    virtual void CannotWrite(const QString& path) = 0;
};

class DesktopExportPrompts final : public ExportPrompts {
public:
    explicit DesktopExportPrompts(QWidget* parent) : parent_(parent) {}
    TableFileChoice TableFile(const QString& folder) override;
    PlotFile PlotFileChoice(const QString& folder, QSize once) override;
    void CannotWrite(const QString& path) override;

private:
    QWidget* parent_;
};

}  // namespace varno::ui
