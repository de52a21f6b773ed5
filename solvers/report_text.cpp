#include "solvers/report_text.h"

#include <algorithm>
#include <string>

#include "core/number_text.h"

namespace varno {

namespace {

// Appends to text, whose buffer a report shown before may already have made
// large enough.
void AppendReportText(std::string& text, std::span<const Eigenvalue> values, ReportForm form)
{
    const std::size_t n = values.size();
    // The longest, the complex form, in one allocation.
    text.reserve(text.size() + std::max<std::size_t>(176, 16 + 40 * n));
    if (n >= 4) {
        text += "\n\n  Eigenvalues ";
        for (std::size_t k = 0; k < n; ++k) {
            text += k == 0 ? "\n\n lambda" : " \n lambda";
            // One digit up to 9, as the small forms have; beyond it the index in full.
            if (k < 9)
                text += static_cast<char>('1' + k);
            else
                text += std::to_string(k + 1);
            text += " = ";
            AppendG(text, values[k].re, 11, form.precision);
            if (form.complex) {
                text += " +j (";
                AppendG(text, values[k].im, 11, form.precision);
                text += ')';
            }
        }
        text += ' ';
        return;
    }
    // The 2 x 2 and 3 x 3 forms differ in a blank before "(" and in the
    // blank that every line but the first has before its tab.
    const char* open = n == 3 ? "+j (" : "+j(";
    text += "Eigenvalues ";
    for (std::size_t k = 0; k < n; ++k) {
        text += k == 0 ? "\n\n lambda" : form.complex ? "\n lambda" : " \n lambda";
        text += static_cast<char>('1' + k);
        text += '=';
        AppendG(text, values[k].re, 12, form.precision);
        if (form.complex) {
            text += k == 0 ? "\t" : " \t";
            text += open;
            AppendG(text, values[k].im, 12, form.precision);
            text += ')';
        }
    }
}

}  // namespace

std::string ReportTextFor(std::span<const Eigenvalue> values, ReportForm form)
{
    std::string text;
    AppendReportText(text, values, form);
    return text;
}

void ShowEigenvalueReport(ReportChannel& channel, std::string& buffer, std::span<const Eigenvalue> values,
                          ReportForm form)
{
    if (channel.DefersReportText()) {
        channel.ShowReport(std::string(), values, form);
        return;
    }
    buffer.clear();
    AppendReportText(buffer, values, form);
    channel.ShowReport(buffer, values, form);
}

}  // namespace varno
