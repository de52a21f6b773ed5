#include "solvers/quartic_report.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/number_text.h"

namespace varno {
namespace {

void Tidy(double& x)
{
    if (!(std::fabs(x) >= Tolerance)) x = 0.0;
}

}  // namespace

std::string QuarticReportFor(double re1, double re2, double re3, double re4)
{
    return "\n\n  Eigenvalues \n\n lambda1 = " + FormatG(re1, 11, 5) + " \n lambda2 = " + FormatG(re2, 11, 5) +
           " \n lambda3 = " + FormatG(re3, 11, 5) + " \n lambda4 = " + FormatG(re4, 11, 5) + " ";
}

void ReportQuarticRoots(QuarticRootTable& table, ProgramState& state, ReportChannel& channel)
{
    for (int k = 1; k <= 4; ++k) Tidy(table[static_cast<std::size_t>(k)].Im);
    for (int k = 1; k <= 4; ++k) Tidy(table[static_cast<std::size_t>(k)].Re);

    // The pairs as they are before the sort separates real from imaginary.
    std::array<Eigenvalue, 4> values{};
    for (std::size_t k = 0; k < 4; ++k) values[k] = {table[k + 1].Re, table[k + 1].Im};
    std::stable_sort(values.begin(), values.end(),
                     [](const Eigenvalue& a, const Eigenvalue& b) { return a.re < b.re; });

    for (std::size_t i = 1; i <= 3; ++i) {
        for (std::size_t j = i + 1; j <= 4; ++j) {
            if (table[i].Re > table[j].Re) {
                state.SwapTemp = table[j].Re;
                table[j].Re = table[i].Re;
                table[i].Re = state.SwapTemp;
            }
        }
    }

    state.text.QuarticReportText = QuarticReportFor(table[1].Re, table[2].Re, table[3].Re, table[4].Re);
    channel.ShowReport(state.text.QuarticReportText, values);
}

}  // namespace varno
