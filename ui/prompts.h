// The questions the main window asks: whether to save, which file, which
// problem of a file. A seam, so that tests answer them from a script and no
// modal box ever opens there; DesktopPrompts asks with real boxes.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

#include "ui/session.h"

class QFileDialog;
class QWidget;

namespace varno::ui {

struct ModelChoice {
    QStringList files;
    bool ordered = false;  // asked for one after the other: K's, then M's
};

class Prompts {
public:
    virtual ~Prompts() = default;
    // "Save changes to NAME?" with Save, Discard and Cancel.
    virtual SaveAnswer AskSaveChanges(const QString& name) = 0;
    // A file to open, or empty for none.
    virtual QString FileToOpen(const QString& folder) = 0;
    // A file to save as, suggested first, with .varno where no suffix was
    // typed; empty for none. Whether to replace a file there is asked
    // apart, of the very name to be written.
    virtual QString FileToSave(const QString& suggested) = 0;
    // "NAME already exists. Replace it?"
    virtual bool AskReplace(const QString& name) = 0;
    // One of a file's problems, by its place in items; -1 for none. total:
    // the problems in all, where items lists only the first of them.
    virtual int PickProblem(const QString& file, const QStringList& items, std::int64_t total) = 0;
    // The files of a model to import: K's and M's chosen together in any
    // order, or one after the other (ordered: K's first), with CalculiX's
    // .dof for the names of the degrees of freedom where chosen; none for none.
    virtual ModelChoice ModelFilesToImport(const QString& folder) = 0;
    // "NAME has changed on disk since it was opened": overwrite it, save
    // under another name, or neither.
    virtual ChangedAnswer AskFileChanged(const QString& name) = 0;
    // "NAME cannot be saved in place: WHY": true to save under another name.
    virtual bool AskSaveElsewhere(const QString& name, const QString& why) = 0;
};

// Which of the files chosen for an import holds K and which M: chosen in
// order, K's first, unless a name says otherwise; else by CalculiX's
// extensions (.sti, .mas), a name with a word K or M, or one starting
// "stiff" or "mass" (beam_K.mtx, beam-mass.csv); one file that tells is
// enough. A third may be CalculiX's .dof. error, for a message, where there
// are not two such files or their names do not tell (or, chosen in order,
// say the other).
struct ModelPair {
    QString k;
    QString m;
    QString dof;  // empty: none chosen
    QString error;
};
ModelPair PairModelFiles(const ModelChoice& choice);

// The Save As dialog: .varno added where no suffix is typed. It asks
// nothing about replacing a file, as a desktop's own dialog would ask about
// the name before the suffix is added: AskReplace asks about the name
// written.
std::unique_ptr<QFileDialog> MakeSaveDialog(QWidget* parent, const QString& suggested);

class DesktopPrompts final : public Prompts {
public:
    explicit DesktopPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    SaveAnswer AskSaveChanges(const QString& name) override;
    QString FileToOpen(const QString& folder) override;
    QString FileToSave(const QString& suggested) override;
    bool AskReplace(const QString& name) override;
    int PickProblem(const QString& file, const QStringList& items, std::int64_t total) override;
    ModelChoice ModelFilesToImport(const QString& folder) override;
    ChangedAnswer AskFileChanged(const QString& name) override;
    bool AskSaveElsewhere(const QString& name, const QString& why) override;

private:
    QWidget* parent_;
};

}  // namespace varno::ui
