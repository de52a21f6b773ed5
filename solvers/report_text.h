// The solvers' report texts as functions of what they show. A report is
// fully given by its values and form (n is the number of values), so one
// that is held back to be checked first need not be written until it is
// shown, and then reads exactly as the solver would have written it.
#pragma once

#include <span>
#include <string>

#include "core/framework.h"

namespace varno {

// n = 2 and 3: "%12.4g" fields, the real form or the complex one with
// "+j(...)" (n = 2) or "+j (...)" (n = 3); n = 4 and above: "%11.5g" fields,
// the real parts, or each with " +j (...)" after it, in the order given.
std::string ReportTextFor(std::span<const Eigenvalue> values, ReportForm form);

// Writes the report into buffer and shows it; where the channel defers
// report texts, hands the report over unwritten and leaves buffer alone.
void ShowEigenvalueReport(ReportChannel& channel, std::string& buffer, std::span<const Eigenvalue> values,
                          ReportForm form);

}  // namespace varno
