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
    // The files of a model to import, K's and M's chosen together in any
    // order; empty for none.
    virtual QStringList ModelFilesToImport(const QString& folder) = 0;
};

// Which of the files chosen for an import holds K and which M: by
// CalculiX's extensions (.sti, .mas), else by a name with a word K or M, or
// one starting "stiff" or "mass" (beam_K.mtx, beam-mass.csv); one file that
// tells is enough. error, for a message, where there are not two files or
// their names do not tell.
struct ModelPair {
    QString k;
    QString m;
    QString error;
};
ModelPair PairModelFiles(const QStringList& files);

class DesktopPrompts final : public Prompts {
public:
    explicit DesktopPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    SaveAnswer AskSaveChanges(const QString& name) override;
    QString FileToOpen(const QString& folder) override;
    QString FileToSave(const QString& suggested) override;
    int PickProblem(const QString& file, const QStringList& items) override;
    QStringList ModelFilesToImport(const QString& folder) override;

private:
    QWidget* parent_;
};

}  // namespace varno::ui
