#include "app/solver_app.h"

int main(int argc, char** argv)
{
    varno::app::CSolverApp app(argc, argv);
    app.InitInstance();
    return 0;
}
