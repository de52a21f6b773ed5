// The report channel on a real desktop: a modal message box.
#pragma once

#include <QMessageBox>
#include <QWidget>
#include <string>

#include "core/framework.h"

namespace varno::ui {

// Builds the box ShowMessage shows (not yet shown), so tests and the
// screenshot tool can look at it without a modal loop.
QMessageBox* CreateMessageBox(const std::string& text, QWidget* parent);

class MessageBoxChannel final : public ReportChannel {
public:
    explicit MessageBoxChannel(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void ShowMessage(const std::string& text) override;

private:
    QWidget* parent_;
};

}  // namespace varno::ui
