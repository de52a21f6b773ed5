// The 3 x 3 solver: the characteristic cubic det(K - lambda M), its roots by
// the cubic root finder, ordered by real part, and the report.
//
// Preconditions: the store's lower triangle mirrors the upper one. Reads
// K(1..3, 1..3) and M(1..3, 1..3), all nine cells of each.
//
// Effects: CoefA ... CoefD := a3 ... a0; the root registers hold the reported
// eigenvalues in report order afterwards. |a3| < 1e-200 (singular M) shows the
// singular-M message instead of a report.
//
// Ordering: three compare-and-exchange steps (1-2, 1-3, 2-3) on the real
// parts, exchanging only on "strictly greater"; not a stable sort, and a NaN
// never exchanges.
//
// Report: the real form unless some |Im| >= 1e-9. Near-multiple eigenvalues
// can carry rounding-size imaginary parts above that and then show in the
// complex form.
#pragma once

#include <string>

#include "core/framework.h"
#include "core/program_state.h"

namespace varno {

inline constexpr double ComplexReportThreshold = 1e-9;

// The three compare-and-exchange steps on the root registers.
void SortRootsByRealPart(RootRegisters& r);

// The arithmetic alone: coefficients, roots, ordering. Division messages go
// to channel when it is not null. False when M is singular.
bool ComputeThreeByThree(ProgramState& state, ReportChannel* channel);

void SolveThreeByThree(ProgramState& state, ReportChannel& channel);

// The real form of the report for three eigenvalues, in the order given.
std::string ThreeByThreeReportFor(double lambda1, double lambda2, double lambda3);

// The complex form, real and imaginary parts, in the order given.
std::string ThreeByThreeComplexReportFor(Eigenvalue lambda1, Eigenvalue lambda2, Eigenvalue lambda3);

}  // namespace varno
