// The application object: runs the main dialog once, modally, on the file
// named on the command line if there is one.
#pragma once

#include <QApplication>
#include <string>

#include "core/program_state.h"
#include "ui/message_box.h"
#include "ui/prompts.h"

namespace varno::app {

class CSolverApp final : public QApplication {
public:
    CSolverApp(int& argc, char** argv);

    // Runs the main dialog until the user leaves it; always false, so the
    // process ends instead of entering a message loop of its own.
    bool InitInstance();

private:
    ProgramState state_;  // the program-wide store, registers and buffers
    ui::MessageBoxChannel channel_;
    ui::DesktopPrompts prompts_;
    std::string file_;  // the file named on the command line, as its bytes
};

}  // namespace varno::app
