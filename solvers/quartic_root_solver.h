// The 4 x 4 solver: the characteristic quartic, then a fixed cascade of
// closed-form cases, each of which that applies ends with its own report.
//
//   case 1  c3, c2, c1, c0 negligible           -> four zeros
//   case 2  c3, c2, c1 negligible, c0 not       -> fourth roots of -c0/c4
//   leading-coefficient test |c4| <= Tolerance  -> message, end
//   normalise to y^4 + p y^2 + q y + r, lambda = y - e3/4
//   case 3  |r| < Tolerance                     -> y = 0 and a cubic
//   case 4  |q| < Tolerance                     -> biquadratic
//   case 5  none of 1 ... 4 ran                 -> resolvent cubic (Ferrari)
//
// Every case is tested whatever the earlier ones did, so one calculation can
// show up to three reports (e.g. a pure quartic reports in case 2 and again in
// case 4). A NaN magnitude counts as negligible in every test.
//
// Accuracy: closed forms on the monic quartic; well-separated eigenvalues
// come out to about 1e-12 relative, clustered ones far worse (a double root
// to about sqrt(eps)). Only real parts are reported.
//
// Where the cubic dispatch would run neither root finder (all lower
// coefficients at most Tolerance but no usable pure cubic), the cubic just
// stored is solved by the general finder anyway, without its messages, so
// the roots read afterwards always belong to this problem.
#pragma once

#include <functional>

#include "core/framework.h"
#include "core/program_state.h"
#include "solvers/quartic_polynomial.h"

namespace varno {

// Principal N-th root of (x, y), N = 2 or 4.
QuarticRoot ComplexRoot(QuarticRoot z, int N);

// Each case that applies ends by handing its root table to tail. The solver
// proper reports there; a benchmark or a test can just look.
using QuarticTail = std::function<void(QuarticRootTable&)>;
void RunQuarticCascade(ProgramState& state, ReportChannel& channel, const QuarticTail& tail);

void SolveFourByFour(ProgramState& state, ReportChannel& channel);

}  // namespace varno
