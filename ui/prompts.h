// The questions the main window asks: whether to save, which file, which
// problem of a file. A seam, so that tests answer them from a script and no
// modal box ever opens there; DesktopPrompts asks with real boxes.
#pragma once

#include <QString>
#include <QStringList>

#include "ui/session.h"

class QWidget;

namespace varno::ui {

class Prompts {
public:
    virtual ~Prompts() = default;
    // "Save changes to NAME?" with Save, Discard and Cancel.
    virtual SaveAnswer AskSaveChanges(const QString& name) = 0;
    // A file to open, or empty for none.
    virtual QString FileToOpen(const QString& folder) = 0;
    // A file to save as, suggested first; empty for none.
    virtual QString FileToSave(const QString& suggested) = 0;
    // One of a file's problems, by its place in items; -1 for none.
    virtual int PickProblem(const QString& file, const QStringList& items) = 0;
};

class DesktopPrompts final : public Prompts {
public:
    explicit DesktopPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    SaveAnswer AskSaveChanges(const QString& name) override;
    QString FileToOpen(const QString& folder) override;
    QString FileToSave(const QString& suggested) override;
    int PickProblem(const QString& file, const QStringList& items) override;

private:
    QWidget* parent_;
};

}  // namespace varno::ui
