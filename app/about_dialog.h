// The About box: name, version, a line about the program, OK.
#pragma once

#include <QDialog>

class QPushButton;

namespace varno::app {

class CAboutDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    QPushButton* okButton() const { return ok_; }

private:
    QPushButton* ok_;
};

}  // namespace varno::app
