// The main window's questions answered from a script: no box opens.
#pragma once

#include <QStringList>

#include "ui/prompts.h"

struct ScriptedPrompts final : varno::ui::Prompts {
    varno::ui::SaveAnswer answer = varno::ui::SaveAnswer::Cancel;
    QString saveAs;
    int pick = 0;
    int asked = 0;
    QStringList items;
    std::int64_t total = 0;
    QStringList imported;
    bool importedInOrder = false;
    varno::ui::ChangedAnswer changed = varno::ui::ChangedAnswer::Cancel;
    bool elsewhere = false;
    QStringList questions;  // every question about a file on disk, as asked
    varno::ui::SaveAnswer AskSaveChanges(const QString&) override
    {
        ++asked;
        return answer;
    }
    QString FileToOpen(const QString&) override { return {}; }
    QString FileToSave(const QString&) override { return saveAs; }
    bool replace = false;
    bool AskReplace(const QString& name) override
    {
        questions << name + QStringLiteral(" exists");
        return replace;
    }
    int PickProblem(const QString&, const QStringList& offered, std::int64_t all) override
    {
        items = offered;
        total = all;
        return pick;
    }
    varno::ui::ModelChoice ModelFilesToImport(const QString&) override { return {imported, importedInOrder}; }
    varno::ui::ChangedAnswer AskFileChanged(const QString& name) override
    {
        questions << name + QStringLiteral(" changed");
        return changed;
    }
    bool AskSaveElsewhere(const QString& name, const QString& why) override
    {
        questions << name + QStringLiteral(": ") + why;
        return elsewhere;
    }
};
