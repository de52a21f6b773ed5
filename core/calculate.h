// The "Calculate" command and the form handlers around it. The dialog binds
// these to its controls; the batch command runs them on an in-memory grid, so
// both take exactly the same path.
#pragma once

#include "core/framework.h"
#include "core/program_state.h"

namespace varno {

// What a refused matrix shows, and the other messages every caller can meet.
inline constexpr const char* PleaseEnterK = " Please enter K matrix coefficients.";
inline constexpr const char* PleaseEnterM = " Please enter M matrix coefficients.";

// Refuses a matrix whose 21 stored upper-triangle positions are all zero:
// tells the user, switches the form to it and raises ErrorFlag.
void ValidateInput(ProgramState& state, GridView& grid, ReportChannel& channel);

// What a calculation showed: the solver's own output, or, for a positive
// definite M on which that output was wrong (a refusal, a complex form, wrong
// digits), one report of the eigenvalues found by counting instead.
enum class Outcome { ClosedForm, Mended };

// The command itself: reset the flag, read the selections, symmetrise,
// validate, and run the solver for n. What the solver would show is held
// back and checked first when M is positive definite and every entry
// finite. It never closes anything.
Outcome Calculate(ProgramState& state, GridView& grid, ReportChannel& channel);

// Form set-up at first display: everything but the dimension choice hidden.
void InitialiseForm(GridView& grid);

// A row of the dimension list was selected.
void DimensionChanged(ProgramState& state, GridView& grid);

// A row of the action list was selected: show that matrix.
void ActionChanged(ProgramState& state, GridView& grid);

}  // namespace varno
