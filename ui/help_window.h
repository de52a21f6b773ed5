// The Help window (F1): how to enter a problem, the keys, what the marks on
// cells mean, and where the manual pages and the README are. Not modal, so
// that it can stay open beside the calculator.
#pragma once

#include <QDialog>

class QTextBrowser;

namespace varno::ui {

inline constexpr const char* HelpWindowTitle = "varno Help";

class HelpWindow final : public QDialog {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

}  // namespace varno::ui
