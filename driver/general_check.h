// The check after the closed forms for pencils where neither M, -M, K nor -K
// is definite, even at rounding level. Their eigenvalues may be complex and
// cannot be counted, so what the solver would show is held back and compared
// with the QZ algorithm's eigenvalues (certified/general_pencil.h).
//
// The rule: every report matches those eigenvalues one to one as it shows
// them (real and imaginary parts where it shows both, real parts with zero
// imaginary parts where it shows the real form), each value within 1e-6 of
// the largest |lambda|, and nothing is refused.
#pragma once

#include "certified/general_pencil.h"
#include "driver/report_check.h"

namespace varno {

// A shown value is right within this many times the largest |lambda|.
inline constexpr double ShownTolerance = 1e-6;
// A replacing report shows the real form when no |Im lambda| exceeds this
// many times the largest |lambda|.
inline constexpr double RealFormNoise = 1e-12;

// Whether the values shown (any order) match the finite eigenvalues of
// reference one to one by the rule. complexForm: the report shows imaginary
// parts.
bool ShownValuesMatch(std::span<const Eigenvalue> shown, bool complexForm, const GeneralEigenvalues& reference);

// Whether everything held is right: no refusal, at least one report, every
// report's values matching.
bool HeldOutputMatches(const HoldingChannel& held, const GeneralEigenvalues& reference);

// Whether the solver refused to compute (a singular M, a vanishing leading
// coefficient).
bool HeldRefusal(const HoldingChannel& held);

}  // namespace varno
