// A report too long for a message box (an eigenvalue report of hundreds of
// lines): its text in a window that scrolls, selectable, with Copy for the
// whole of it. It does not wait for the user, who may keep it open beside
// the model.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace varno::ui {

class ReportWindow final : public QDialog {
    Q_OBJECT

public:
    explicit ReportWindow(QWidget* parent = nullptr);

    // The report, with the line that says what it is of above it.
    void ShowReport(const QString& heading, const std::string& text);

    QPlainTextEdit* text() const { return text_; }
    QLabel* heading() const { return heading_; }
    QPushButton* copyButton() const { return copy_; }

private:
    QLabel* heading_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace varno::ui
