#include "solvers/three_by_three.h"

#include <array>
#include <cmath>
#include <utility>

#include "core/number_text.h"
#include "solvers/characteristic_cubic.h"
#include "solvers/cubic_root_finder.h"
#include "solvers/two_by_two.h"

namespace varno {
namespace {

void CompareExchange(double& re1, double& im1, double& re2, double& im2)
{
    if (re1 > re2) {
        std::swap(re1, re2);
        std::swap(im1, im2);
    }
}

}  // namespace

void SortRootsByRealPart(RootRegisters& r)
{
    CompareExchange(r.Root1Re, r.Root1Im, r.Root2Re, r.Root2Im);
    CompareExchange(r.Root1Re, r.Root1Im, r.Root3Re, r.Root3Im);
    CompareExchange(r.Root2Re, r.Root2Im, r.Root3Re, r.Root3Im);
}

bool ComputeThreeByThree(ProgramState& state, ReportChannel* channel)
{
    Matrix3 k{};
    Matrix3 m{};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j) {
            k[i][j] = state.store.K[i + 1][j + 1];
            m[i][j] = state.store.M[i + 1][j + 1];
        }
    const CubicCoefficients c = CharacteristicCubic(k, m);
    CoefficientRegisters& coef = state.coef;
    coef.CoefA = c.a3;
    coef.CoefB = c.a2;
    coef.CoefC = c.a1;
    coef.CoefD = c.a0;

    if (!(std::fabs(c.a3) >= LeadingCoefficientFloor)) return false;
    SolveCubic(coef, state.roots, channel);
    SortRootsByRealPart(state.roots);
    return true;
}

std::string ThreeByThreeReportFor(double lambda1, double lambda2, double lambda3)
{
    return "Eigenvalues \n\n lambda1=" + FormatG(lambda1, 12, 4) + " \n lambda2=" + FormatG(lambda2, 12, 4) +
           " \n lambda3=" + FormatG(lambda3, 12, 4);
}

std::string ThreeByThreeComplexReportFor(Eigenvalue lambda1, Eigenvalue lambda2, Eigenvalue lambda3)
{
    return "Eigenvalues \n\n lambda1=" + FormatG(lambda1.re, 12, 4) + "\t+j (" + FormatG(lambda1.im, 12, 4) +
           ")\n lambda2=" + FormatG(lambda2.re, 12, 4) + " \t+j (" + FormatG(lambda2.im, 12, 4) +
           ")\n lambda3=" + FormatG(lambda3.re, 12, 4) + " \t+j (" + FormatG(lambda3.im, 12, 4) + ")";
}

void SolveThreeByThree(ProgramState& state, ReportChannel& channel)
{
    if (!ComputeThreeByThree(state, &channel)) {
        channel.ShowRefusal(SingularMMessage);
        return;
    }
    const RootRegisters& r = state.roots;

    const bool complex = std::fabs(r.Root1Im) >= ComplexReportThreshold ||
                         std::fabs(r.Root2Im) >= ComplexReportThreshold ||
                         std::fabs(r.Root3Im) >= ComplexReportThreshold;
    const std::array<Eigenvalue, 3> values{
        {{r.Root1Re, r.Root1Im}, {r.Root2Re, r.Root2Im}, {r.Root3Re, r.Root3Im}}};
    std::string& text = state.text.ReportText;
    text = complex ? ThreeByThreeComplexReportFor(values[0], values[1], values[2])
                   : ThreeByThreeReportFor(r.Root1Re, r.Root2Re, r.Root3Re);
    channel.ShowReport(text, values, complex ? LowOrderComplexForm : LowOrderRealForm);
}

}  // namespace varno
