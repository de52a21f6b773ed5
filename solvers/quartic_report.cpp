#include "solvers/quartic_report.h"

#include <array>
#include <cmath>
#include <utility>

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
    std::string text;
    text.reserve(96);  // one allocation for the whole report
    text += "\n\n  Eigenvalues \n\n lambda1 = ";
    text += FormatG(re1, 11, 5);
    text += " \n lambda2 = ";
    text += FormatG(re2, 11, 5);
    text += " \n lambda3 = ";
    text += FormatG(re3, 11, 5);
    text += " \n lambda4 = ";
    text += FormatG(re4, 11, 5);
    text += " ";
    return text;
}

std::string QuarticComplexReportFor(const std::array<Eigenvalue, 4>& lambda)
{
    std::string text = "\n\n  Eigenvalues \n";
    const char* const names[] = {"\n lambda1 = ", " \n lambda2 = ", " \n lambda3 = ", " \n lambda4 = "};
    for (std::size_t k = 0; k < 4; ++k) {
        text += names[k];
        text += FormatG(lambda[k].re, 11, 5);
        text += " +j (";
        text += FormatG(lambda[k].im, 11, 5);
        text += ")";
    }
    text += " ";
    return text;
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

    state.text.QuarticReportText = QuarticReportFor(table[1].Re, table[2].Re, table[3].Re, table[4].Re);
    channel.ShowReport(state.text.QuarticReportText, values, QuarticForm);
}

}  // namespace varno
