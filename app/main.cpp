#include <cstdio>
#include <cstdlib>

#include "app/solver_app.h"

namespace {

// Without any display Qt aborts with a long diagnostic; say it in one line.
bool DisplayAvailable()
{
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv)
{
    if (!DisplayAvailable()) {
        std::fputs("varno: no display (DISPLAY and WAYLAND_DISPLAY are unset); try varno-cli\n", stderr);
        return 1;
    }
    varno::app::CSolverApp app(argc, argv);
    app.InitInstance();
    return 0;
}
