#include "solvers/two_by_two.h"

#include <array>
#include <cmath>

#include "core/arithmetic.h"
#include "solvers/report_text.h"

namespace varno {

bool ComputeTwoByTwo(ProgramState& state)
{
    const Matrix10& K = state.store.K;
    const Matrix10& M = state.store.M;
    CoefficientRegisters& coef = state.coef;
    TwoByTwoRegisters& r = state.twoByTwo;

    const double a = M[1][1] * M[2][2] - M[1][2] * M[2][1];
    const double b = (-M[1][1]) * K[2][2] - M[2][2] * K[1][1] + M[1][2] * K[2][1] + M[2][1] * K[1][2];
    const double c = K[1][1] * K[2][2] - K[1][2] * K[2][1];
    coef.CoefA = a;
    coef.CoefB = b;
    coef.CoefC = c;
    r.d = Square(b) - (4.0 * a) * c;

    if (!(std::fabs(a) >= LeadingCoefficientFloor)) return false;

    if (r.d >= 0.0) {
        r.s = std::sqrt(r.d);
        r.Lambda1Re = ((-b) - r.s) / (2.0 * a);
        r.Lambda2Re = ((-b) + r.s) / (2.0 * a);
    } else {
        r.s = std::sqrt(std::fabs(r.d));
        r.Lambda1Re = (-b) / (2.0 * a);
        r.Lambda2Re = (-b) / (2.0 * a);
        r.Lambda1Im = (-r.s) / (2.0 * a);
        r.Lambda2Im = r.s / (2.0 * a);
    }
    return true;
}

std::string TwoByTwoReportFor(double lambda1, double lambda2)
{
    const Eigenvalue values[2] = {{lambda1, 0.0}, {lambda2, 0.0}};
    return ReportTextFor(values, LowOrderRealForm);
}

std::string TwoByTwoComplexReportFor(Eigenvalue lambda1, Eigenvalue lambda2)
{
    const Eigenvalue values[2] = {lambda1, lambda2};
    return ReportTextFor(values, LowOrderComplexForm);
}

void SolveTwoByTwo(ProgramState& state, ReportChannel& channel)
{
    if (!ComputeTwoByTwo(state)) {
        channel.ShowRefusal(SingularMMessage);
        return;
    }
    const TwoByTwoRegisters& r = state.twoByTwo;
    if (r.d >= 0.0) {
        const std::array<Eigenvalue, 2> values{{{r.Lambda1Re, 0.0}, {r.Lambda2Re, 0.0}}};
        ShowEigenvalueReport(channel, state.text.ReportText, values, LowOrderRealForm);
    } else {
        const std::array<Eigenvalue, 2> values{{{r.Lambda1Re, r.Lambda1Im}, {r.Lambda2Re, r.Lambda2Im}}};
        ShowEigenvalueReport(channel, state.text.ReportText, values, LowOrderComplexForm);
    }
}

}  // namespace varno
