// Writes one of the Modes window's CSV tables (argv[1]: modes, shapes or
// summary) of a two-storey plane frame, directions x, y, x, rz and Rayleigh
// damping from modes 1 and 2, the shapes with the roof = 1, to standard
// output, for check_modes_csv.py to read back with Python's csv module.
#include <cstdio>

#include "ui/modes_text.h"

int main(int argc, char** argv)
{
    varno::MatrixStore store;
    store.Dimension = 4;
    const double k[4][4] = {{3000, 300, -1000, -100}, {300, 5000, -100, -2000}, {-1000, -100, 1000, 150}, {-100, -2000, 150, 2000}};
    const double m[4] = {10, 10, 5, 5};
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t j = 0; j < 4; ++j) store.K[i + 1][j + 1] = k[i][j];
        store.M[i + 1][i + 1] = m[i];
    }
    const varno::ui::ModesView view = varno::ui::ModesAfterCalculation(store, varno::Outcome::ClosedForm);
    if (!view.result) return 1;
    using varno::Direction;
    varno::ui::ModalSettings settings;
    settings.directions = {Direction::X, Direction::Y, Direction::X, Direction::RZ};
    settings.normalisation = {varno::NormalisationKind::Dof, 3};
    const std::string which = argc > 1 ? argv[1] : "modes";
    const auto table = which == "shapes"    ? varno::ui::ModesTable::Shapes
                       : which == "summary" ? varno::ui::ModesTable::Summary
                                            : varno::ui::ModesTable::Modes;
    const std::string csv = varno::ui::ModesCsv(varno::ui::TablesOf(view, settings), table);
    return std::fwrite(csv.data(), 1, csv.size(), stdout) == csv.size() ? 0 : 1;
}
