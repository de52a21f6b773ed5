#include "core/calculate.h"

#include "core/matrix_store.h"
#include "solvers/quartic_root_solver.h"
#include "solvers/three_by_three.h"
#include "solvers/two_by_two.h"

namespace varno {
namespace {

bool AllZero(const Matrix10& x)
{
    for (int i = 1; i <= 6; ++i)
        for (int j = i; j <= 6; ++j)
            if (x[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] != 0.0) return false;
    return true;
}

void Refuse(ProgramState& state, GridView& grid, ReportChannel& channel, Which which)
{
    const bool k = which == Which::K;
    channel.ShowMessage(k ? PleaseEnterK : PleaseEnterM);
    SelectActionRow(grid, k ? 0 : 1);
    state.store.ActionIndex = k ? 0 : 1;
    ArrangeGrid(state.store, grid);
    ShowMatrix(state.store, state.text, grid, which);
    state.store.ErrorFlag = 9;
}

}  // namespace

void ValidateInput(ProgramState& state, GridView& grid, ReportChannel& channel)
{
    // Both blocks always run, so an empty K and an empty M give two messages.
    if (AllZero(state.store.K)) Refuse(state, grid, channel, Which::K);
    if (AllZero(state.store.M)) Refuse(state, grid, channel, Which::M);
}

void Calculate(ProgramState& state, GridView& grid, ReportChannel& channel)
{
    MatrixStore& store = state.store;
    store.ErrorFlag = 0;
    ReadSelections(store, grid);
    Symmetrise(store);
    ValidateInput(state, grid, channel);
    if (store.ErrorFlag != 0) return;
    switch (store.Dimension) {
    case 2: SolveTwoByTwo(state, channel); break;
    case 3: SolveThreeByThree(state, channel); break;
    case 4: SolveFourByFour(state, channel); break;
    default: break;  // no dimension chosen: nothing to compute
    }
}

void InitialiseForm(GridView& grid)
{
    grid.SetVisible(id::ActionGroup, false);
    grid.SetVisible(id::ActionList, false);
    HideGrid(grid);
}

void DimensionChanged(ProgramState& state, GridView& grid)
{
    grid.SetVisible(id::ActionGroup, true);
    grid.SetVisible(id::ActionList, true);
    ReadSelections(state.store, grid);
    ArrangeGrid(state.store, grid);
}

void ActionChanged(ProgramState& state, GridView& grid)
{
    ReadSelections(state.store, grid);
    ShowMatrix(state.store, state.text, grid, state.store.ActionIndex == 0 ? Which::K : Which::M);
    ArrangeGrid(state.store, grid);
}

}  // namespace varno
