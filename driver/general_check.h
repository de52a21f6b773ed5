// The check after the closed forms for pencils where neither M, -M, K nor -K
// is safely definite. Their eigenvalues may be complex and cannot be counted,
// so what the solver would show is held back and compared with the QZ
// algorithm's eigenvalues (certified/general_pencil.h).
//
// The rule: every report matches those eigenvalues one to one as it shows
// them (real and imaginary parts where it shows both, real parts with zero
// imaginary parts where it shows the real form), in any pairing; a value x is
// right for lambda_k where it prints as lambda_k does, or where |x -
// lambda_k| <= 1e-12 s_k, s_k being lambda_k's own conditioning. QZ is within
// a few units of rounding of s_k of each, so half of that width is asked of x,
// and printing the same means printing as both ends of QZ's doubt around
// lambda_k. A cluster (a defective eigenvalue, certified/general_pencil.h)
// is judged by its mean and its multiplicity, within 1e-12 of the smallest
// scale any eigenvector could give it. Nothing refused, and at least one
// report.
#pragma once

#include <span>

#include "certified/general_pencil.h"
#include "driver/report_check.h"

namespace varno {

// Whether the values shown (any order) match the eigenvalues of reference
// one to one by the rule. complexForm: the report shows imaginary parts;
// precision: the significant digits it shows of each.
bool ShownValuesMatch(std::span<const Eigenvalue> shown, bool complexForm, int precision,
                      const GeneralEigenvalues& reference);

// Whether everything held is right: no refusal, at least one report, every
// report's values matching.
bool HeldOutputMatches(const HoldingChannel& held, const GeneralEigenvalues& reference);

// Whether the solver refused to compute (a singular M, a vanishing leading
// coefficient).
bool HeldRefusal(const HoldingChannel& held);

}  // namespace varno
