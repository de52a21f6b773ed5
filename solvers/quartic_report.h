// The tail every case of the quartic cascade ends with: negligible parts set
// to +0.0 (a NaN part too), the four real parts put in ascending order, and
// the report of the real parts with "%11.5g". The imaginary parts are not
// shown; the exchange sort moves real parts only.
#pragma once

#include <array>
#include <string>

#include "core/framework.h"
#include "solvers/quartic_polynomial.h"

namespace varno {

// Real parts only, each with "%11.5g".
inline constexpr ReportForm QuarticForm{false, 5};
// Real and imaginary parts, each with "%11.5g": only where the closed form's
// report is replaced, for eigenvalues that are complex.
inline constexpr ReportForm QuarticComplexForm{true, 5};

// Tidies and sorts table in place (through SwapTemp), formats
// QuarticReportText and shows it. The channel also receives each root as
// (real part, its own tidied imaginary part), sorted by real part.
void ReportQuarticRoots(QuarticRootTable& table, ProgramState& state, ReportChannel& channel);

// The report text for four real parts, in the order given.
std::string QuarticReportFor(double re1, double re2, double re3, double re4);

// The complex form: the real form with " +j (%11.5g)" after each value.
std::string QuarticComplexReportFor(const std::array<Eigenvalue, 4>& lambda);

}  // namespace varno
