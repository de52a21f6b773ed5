// The 2 x 2 solver: det(K - lambda M) = a lambda^2 + b lambda + c, solved by
// the quadratic formula.
//
// Preconditions: the store's lower triangle mirrors the upper one (the
// Calculate command symmetrises first). Reads K(1..2, 1..2) and M(1..2, 1..2).
//
// Accuracy: the textbook formula, deliberately without the cancellation-free
// variant, so roots of very different magnitude lose relative accuracy in the
// smaller one. |det M| < 1e-200 is refused as singular.
//
// Effects: CoefA, CoefB, CoefC := a, b, c; one ShowMessage (report or error).
// The eigenvalues are not sorted: lambda1 is always the root taken with -sqrt.
#pragma once

#include <string>

#include "core/framework.h"
#include "core/program_state.h"

namespace varno {

inline constexpr const char* SingularMMessage = "Error:  determinant of M matrix = 0 ";
inline constexpr double LeadingCoefficientFloor = 1e-200;

// The 2 x 2 and 3 x 3 reports print each value with "%12.4g".
inline constexpr ReportForm LowOrderRealForm{false, 4};
inline constexpr ReportForm LowOrderComplexForm{true, 4};

// The arithmetic alone: coefficients and eigenvalues into the registers.
// False (and the results left as they were) when M is singular.
bool ComputeTwoByTwo(ProgramState& state);

void SolveTwoByTwo(ProgramState& state, ReportChannel& channel);

// The real form of the report for two eigenvalues, in the order given.
std::string TwoByTwoReportFor(double lambda1, double lambda2);

// The complex form, real and imaginary parts, in the order given.
std::string TwoByTwoComplexReportFor(Eigenvalue lambda1, Eigenvalue lambda2);

}  // namespace varno
