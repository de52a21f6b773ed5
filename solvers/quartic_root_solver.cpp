#include "solvers/quartic_root_solver.h"

#include <cmath>

#include "core/arithmetic.h"
#include "solvers/cubic_root_finder.h"
#include "solvers/quartic_report.h"

namespace varno {
namespace {

// The comparisons are written so that a NaN is negligible and never above.
bool Negligible(double x) { return !(std::fabs(x) >= Tolerance); }
bool NotNegligible(double x) { return std::fabs(x) >= Tolerance; }
bool Above(double x) { return std::fabs(x) > Tolerance; }

// Solves the cubic just stored in CoefA ... CoefD into the root registers.
void CubicDispatch(ProgramState& state, ReportChannel& channel)
{
    CoefficientRegisters& c = state.coef;
    if (Above(c.CoefB) || Above(c.CoefC)) {
        SolveCubic(c, state.roots, &channel);
    } else if (Negligible(c.CoefB) && Negligible(c.CoefC) && Above(c.CoefD) && Above(c.CoefA)) {
        SolvePureCubic(c, state.roots);
    } else {
        // Neither finder applies; without this the registers would still hold
        // the roots of some earlier, unrelated cubic.
        SolveCubic(c, state.roots, nullptr);
    }
}

void StoreCubic(CoefficientRegisters& c, double a3, double a2, double a1, double a0)
{
    c.CoefA = a3;
    c.CoefB = a2;
    c.CoefC = a1;
    c.CoefD = a0;
}

}  // namespace

QuarticRoot ComplexRoot(QuarticRoot z, int N)
{
    const double rho = std::pow(Square(z.Re) + Square(z.Im), 1.0 / (2.0 * N));
    const double phi = std::atan2(z.Im, z.Re) * (1.0 / N);
    return {std::cos(phi) * rho, std::sin(phi) * rho};
}

void RunQuarticCascade(ProgramState& state, ReportChannel& channel, const QuarticTail& tail)
{
    const QuarticCoefficients c = CharacteristicQuartic(state.store);
    StoreQuartic(c, state.coef);
    int HandledFlag = 0;
    QuarticRootTable roots{};  // all +0.0: case 1 reports it as it is

    const bool lowerNegligible = Negligible(c.c3) && Negligible(c.c2) && Negligible(c.c1);
    if (NotNegligible(c.c4) && lowerNegligible && Negligible(c.c0)) {
        tail(roots);
        HandledFlag = 9;
    }
    if (NotNegligible(c.c4) && lowerNegligible && NotNegligible(c.c0)) {
        const double e0 = c.c0 / c.c4;
        roots[1] = ComplexRoot({-e0, +0.0}, 4);
        for (std::size_t k = 1; k <= 3; ++k) {
            const QuarticRoot l = roots[k];
            roots[k + 1] = {l.Re * 0.0 - l.Im * 1.0, l.Re * 1.0 + l.Im * 0.0};
        }
        tail(roots);
        HandledFlag = 9;
    }

    if (!LeadingCoefficientUsable(c.c4)) {
        channel.ShowRefusal(QuarticLeadingMessage);
        return;
    }

    const double e0 = c.c0 / c.c4;
    const double e1 = c.c1 / c.c4;
    const double e2 = c.c2 / c.c4;
    const double e3 = c.c3 / c.c4;
    const double p = e2 - (Square(e3) * 3.0) / 8.0;
    const double q = (std::pow(e3, 3.0) / 8.0 + e1) - (e3 * e2) / 2.0;
    const double r = ((Square(e3) * e2) / 16.0 + (e0 - (std::pow(e3, 4.0) / 256.0) * 3.0)) - (e3 * e1) / 4.0;

    if (Negligible(r)) {
        HandledFlag = 9;
        StoreCubic(state.coef, 1.0, 0.0, p, q);
        CubicDispatch(state, channel);
        const RootRegisters& z = state.roots;
        roots[1] = {0.0 - e3 / 4.0, +0.0};
        roots[2] = {z.Root1Re - e3 / 4.0, z.Root1Im};
        roots[3] = {z.Root2Re - e3 / 4.0, z.Root2Im};
        roots[4] = {z.Root3Re - e3 / 4.0, z.Root3Im};
        tail(roots);
    }

    if (Negligible(q)) {
        HandledFlag = 9;
        double D = Square(p) - 4.0 * r;
        QuarticRoot z1;
        QuarticRoot z2;
        if (D >= 0.0) {
            z1 = {((-p) - std::sqrt(D)) / 2.0, +0.0};
            z2 = {(std::sqrt(D) + (-p)) / 2.0, +0.0};
        } else {
            D = std::fabs(D);
            z1 = {(-p) / 2.0, (-std::sqrt(D)) / 2.0};
            z2 = {(-p) / 2.0, std::sqrt(D) / 2.0};
        }
        const QuarticRoot w1 = ComplexRoot(z1, 2);
        const QuarticRoot w3 = ComplexRoot(z2, 2);
        const QuarticRoot w[4] = {w1, {-w1.Re, -w1.Im}, w3, {-w3.Re, -w3.Im}};
        for (std::size_t k = 0; k < 4; ++k) roots[k + 1] = {w[k].Re - e3 / 4.0, w[k].Im};
        tail(roots);
    }

    if (HandledFlag != 0) return;

    StoreCubic(state.coef, 1.0, p / 2.0, (Square(p) - 4.0 * r) / 16.0, -Square(q) / 64.0);
    CubicDispatch(state, channel);
    const RootRegisters& z = state.roots;
    const QuarticRoot u = ComplexRoot({z.Root1Re, z.Root1Im}, 2);
    const QuarticRoot v = ComplexRoot({z.Root2Re, z.Root2Im}, 2);
    QuarticRoot P{u.Re * v.Re - u.Im * v.Im, u.Re * v.Im + u.Im * v.Re};
    P.Re = P.Re * 8.0;
    P.Im = P.Im * 8.0;
    const double N = Square(P.Im) + Square(P.Re);
    const QuarticRoot t{(q * P.Re + 0.0 * P.Im) / N, (0.0 * P.Re - q * P.Im) / N};
    if (!(std::fabs(N) >= Tolerance)) channel.ShowMessage(ComplexDivisionMessage);
    const QuarticRoot w{t.Re * -1.0, t.Im * -1.0};

    roots[1] = {((u.Re + v.Re) + w.Re) - e3 / 4.0, (u.Im + v.Im) + w.Im};
    roots[2] = {((u.Re - v.Re) - w.Re) - e3 / 4.0, (u.Im - v.Im) - w.Im};
    roots[3] = {(((-u.Re) + v.Re) - w.Re) - e3 / 4.0, ((-u.Im) + v.Im) - w.Im};
    roots[4] = {(((-u.Re) - v.Re) + w.Re) - e3 / 4.0, ((-u.Im) - v.Im) + w.Im};
    tail(roots);
}

void SolveFourByFour(ProgramState& state, ReportChannel& channel)
{
    RunQuarticCascade(state, channel, [&](QuarticRootTable& roots) { ReportQuarticRoots(roots, state, channel); });
}

}  // namespace varno
