#include "solvers/three_by_three.h"

#include <array>
#include <cmath>
#include <utility>

#include "solvers/report_text.h"
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
    const Eigenvalue values[3] = {{lambda1, 0.0}, {lambda2, 0.0}, {lambda3, 0.0}};
    return ReportTextFor(values, LowOrderRealForm);
}

std::string ThreeByThreeComplexReportFor(Eigenvalue lambda1, Eigenvalue lambda2, Eigenvalue lambda3)
{
    const Eigenvalue values[3] = {lambda1, lambda2, lambda3};
    return ReportTextFor(values, LowOrderComplexForm);
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
    // The real form shows the real parts only; the small imaginary parts
    // still go with the values, as the roots are.
    const std::array<Eigenvalue, 3> values{
        {{r.Root1Re, r.Root1Im}, {r.Root2Re, r.Root2Im}, {r.Root3Re, r.Root3Im}}};
    ShowEigenvalueReport(channel, state.text.ReportText, values, complex ? LowOrderComplexForm : LowOrderRealForm);
}

}  // namespace varno
