// Cardano's method in complex arithmetic: one fixed sequence of steps gives
// all three roots of a3 x^3 + a2 x^2 + a1 x + a0, real or complex, without
// branching on how many are real.
//
// Input: CoefA ... CoefD = a3 ... a0 (left unchanged by SolveCubic).
// Output: Root1 ... Root3, in Cardano's branch order, not sorted:
//   Root 1 from the principal cube root U1 of W, Root 2 from U1 * w,
//   Root 3 from U1 * conj(w), with w = -1/2 + j sqrt(3)/2.
//   Three real roots (D < 0): Root 1 largest, Root 2 smallest, Root 3 middle.
//   One real root: Root 1 when W > 0, else Root 2.
//
// Precondition: a3 is not negligible; callers test it (a3 = 0 gives inf/NaN).
//
// Accuracy: closed form, so roots lose accuracy near multiple roots (a double
// root is found to about sqrt(eps) relative, a triple one to about cbrt(eps))
// and real roots carry imaginary parts of rounding size.
//
// Messages: "Complex division error." for every cube root U whose |U|^2 is
// below Tolerance, shown after the quotient p / U is formed; the computation
// goes on with the quotient as it came out (so small but valid roots of size
// 1e-5 still come out right after the message).
//
// Where W = ((-q) + sqrt D) / 2 vanishes (x^3 + q with q >= 0, or a triple
// root), every p / U would be 0/0. Then the other branch ((-q) - sqrt D) / 2
// is taken, and when both vanish (p = q = 0) the reduced roots are exactly 0.
#pragma once

#include "core/framework.h"
#include "core/program_state.h"

namespace varno {

inline constexpr const char* ComplexDivisionMessage = "Complex division error.";

// channel may be null: the quartic solver's fallback solves silently.
void SolveCubic(const CoefficientRegisters& coef, RootRegisters& roots, ReportChannel* channel);

// The three cube roots of v = a0 / (-a3), the roots of a3 x^3 + a0. Leaves v
// in CoefD; CoefB and CoefC are neither read nor changed. Shows nothing.
void SolvePureCubic(CoefficientRegisters& coef, RootRegisters& roots);

}  // namespace varno
