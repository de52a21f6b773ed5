#include "solvers/quartic_report.h"

#include <array>
#include <cmath>
#include <utility>

#include "solvers/report_text.h"

namespace varno {
namespace {

void Tidy(double& x)
{
    if (!(std::fabs(x) >= Tolerance)) x = 0.0;
}

}  // namespace

std::string QuarticReportFor(double re1, double re2, double re3, double re4)
{
    const Eigenvalue values[4] = {{re1, 0.0}, {re2, 0.0}, {re3, 0.0}, {re4, 0.0}};
    return ReportTextFor(values, QuarticForm);
}

std::string QuarticComplexReportFor(const std::array<Eigenvalue, 4>& lambda)
{
    return ReportTextFor(lambda, QuarticComplexForm);
}

void ReportQuarticRoots(QuarticRootTable& table, ProgramState& state, ReportChannel& channel)
{
    for (int k = 1; k <= 4; ++k) Tidy(table[static_cast<std::size_t>(k)].Im);
    for (int k = 1; k <= 4; ++k) Tidy(table[static_cast<std::size_t>(k)].Re);

    // The pairs as they are before the sort separates real from imaginary.
    std::array<Eigenvalue, 4> values{};
    for (std::size_t k = 0; k < 4; ++k) values[k] = {table[k + 1].Re, table[k + 1].Im};
    // Stable insertion sort: std::stable_sort would allocate a buffer for four.
    for (std::size_t i = 1; i < values.size(); ++i)
        for (std::size_t j = i; j > 0 && values[j].re < values[j - 1].re; --j) std::swap(values[j], values[j - 1]);

    for (std::size_t i = 1; i <= 3; ++i) {
        for (std::size_t j = i + 1; j <= 4; ++j) {
            if (table[i].Re > table[j].Re) {
                state.SwapTemp = table[j].Re;
                table[j].Re = table[i].Re;
                table[i].Re = state.SwapTemp;
            }
        }
    }

    // values holds the same real parts in the same ascending order as the
    // table, so the report written from them is the table's.
    ShowEigenvalueReport(channel, state.text.QuarticReportText, values, QuarticForm);
}

}  // namespace varno
