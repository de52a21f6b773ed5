// The "Calculate" command. The dialog binds it to its button; the batch
// command runs it on an in-memory grid, so both take exactly the same path.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "certified/modes.h"
#include "core/framework.h"
#include "core/program_state.h"

namespace varno {

// What a refused matrix shows, and the other messages every caller can meet.
inline constexpr const char* PleaseEnterK = " Please enter K matrix coefficients.";
inline constexpr const char* PleaseEnterM = " Please enter M matrix coefficients.";

// Shown instead of any report when det(K - lambda M) vanishes for every lambda.
inline constexpr const char* SingularPencilMessage = " The problem is singular: det(K - lambda M) = 0 for every lambda.";

// Shown for n = 5 or 6 where QZ gives up on a pencil that is not definite:
// below n = 5 the closed form's output then stands unchecked.
inline constexpr const char* NotConvergedMessage = " The eigenvalues could not be found: the QZ iteration did not converge.";

// Shown instead of any report for an infinite or NaN entry: " K(1,2) is not
// a finite number.", the first such position of K's, then M's, upper
// triangle for n, in row order.
std::string NotFiniteMessage(Which which, int i, int j);

// Refuses a matrix whose 21 stored upper-triangle positions are all zero:
// tells the user, switches the form to it and raises ErrorFlag.
void ValidateInput(ProgramState& state, GridView& grid, ReportChannel& channel);

// What a calculation showed: nothing computed (the validation refused a
// matrix, an entry is not finite, or no dimension is chosen); the solver's
// own output; or, where that output was wrong (a refusal, a complex form,
// wrong digits), one report of the eigenvalues of the modes (a definite
// pencil) or of QZ (any other) instead, or the message that the pencil is
// singular. Beyond the quartic there is no closed form: for n = 5 and 6
// that report, or that message, is shown outright (Numeric).
enum class Outcome { Refused, ClosedForm, Mended, Numeric };

// What a calculation found beside what it showed, for a caller that shows
// more of it (the batch command's "eigenvalues" and "modes"), so that
// nothing is classified, counted or solved twice. Empty where nothing was
// computed.
struct CalculationDetail {
    bool wantModes = false;  // find the modes too, where one of M, -M, K, -K is safely definite
    std::vector<Eigenvalue> eigenvalues;  // as FullPrecisionEigenvalues gives them
    std::optional<ModalResult> modes;     // as ModesOf gives them, where asked
};

// The command itself: reset the flag, read the selections, symmetrise,
// validate, refuse an entry that is not finite, and run the solver for n.
// What the solver would show is held back and checked first: by counting
// where one of M, -M, K, -K is safely definite, against QZ otherwise. For
// n = 5 and 6 the checked report is the only one. It never closes anything.
Outcome Calculate(ProgramState& state, GridView& grid, ReportChannel& channel, CalculationDetail* detail = nullptr);

// The n eigenvalues of the leading blocks of a symmetrised store at full
// precision, as (re, im), ordered by real part, infinities last: where M,
// -M, K or -K is safely definite the ones the modes give, each within its
// bound (certified/modes.h), QZ's otherwise, a cluster's mean for each of its
// members. The very doubles a mended report shows. Empty where n is out of
// range, an entry is not finite, QZ gave up or the pencil is singular: no
// eigenvalue to give.
std::vector<Eigenvalue> FullPrecisionEigenvalues(const MatrixStore& store);

}  // namespace varno
