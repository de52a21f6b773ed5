#include "solvers/cubic_root_finder.h"

#include <cmath>

#include "core/arithmetic.h"

namespace varno {
namespace {

constexpr double OneSixth = 1.0 / 6.0;
constexpr double OneThird = 1.0 / 3.0;

struct Complex {
    double re;
    double im;
};

// U1 * w with w = (wRe, wIm), the two products written out part by part.
Complex TimesOmega(Complex u, double wRe, double wIm)
{
    return {u.re * wRe - u.im * wIm, u.re * wIm + u.im * wRe};
}

}  // namespace

void SolveCubic(const CoefficientRegisters& coef, RootRegisters& roots, ReportChannel* channel)
{
    const double a3 = coef.CoefA;
    const double a2 = coef.CoefB;
    const double a1 = coef.CoefC;
    const double a0 = coef.CoefD;

    const double r = 1.0 / a3;
    const double p = (a1 - Square(a2) / (3.0 * a3)) * r;
    // pow(1, y) is exactly 1; the quartic solver's cubics are all monic.
    const double a3Cubed = a3 == 1.0 ? 1.0 : std::pow(a3, 3.0);
    const double r27 = 1.0 / (a3Cubed * 27.0);
    const double a2Cubed = std::pow(a2, 3.0);  // the same value twice: one call
    const double T = (a2Cubed + a2Cubed) - ((9.0 * a3) * a2) * a1;
    const double q = ((Square(a3) * 27.0) * a0 + T) * r27;
    const double D = Square(q) + (std::pow(p, 3.0) * 4.0) / 27.0;

    Complex S{0.0, 0.0};
    if (D >= 0.0)
        S = {std::sqrt(D), 0.0};
    else
        S = {0.0, std::sqrt(-D)};

    Complex W{((-q) + S.re) / 2.0, S.im / 2.0};
    double R = std::pow(Square(W.re) + Square(W.im), OneSixth);
    if (R == 0.0) {
        // The principal branch vanished; the conjugate branch of Cardano's
        // formula gives the same roots without dividing by zero.
        W = {((-q) - S.re) / 2.0, S.im / 2.0};
        R = std::pow(Square(W.re) + Square(W.im), OneSixth);
    }

    Complex X[3] = {{0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}};
    if (R != 0.0) {
        const double phi = std::atan2(W.im, W.re) * OneThird;
        Complex U[3];
        U[0] = {std::cos(phi) * R, std::sin(phi) * R};
        const double omegaRe = -0.5;
        double omegaIm = std::sqrt(3.0) / 2.0;
        U[1] = TimesOmega(U[0], omegaRe, omegaIm);
        omegaIm = omegaIm * -1.0;
        U[2] = TimesOmega(U[0], omegaRe, omegaIm);

        for (int k = 0; k < 3; ++k) {
            const Complex u = U[k];
            const double N = Square(u.re) + Square(u.im);
            const Complex V{(p * u.re + 0.0 * u.im) / N, (0.0 * u.re - p * u.im) / N};
            if (!(std::fabs(N) >= Tolerance) && channel != nullptr) channel->ShowMessage(ComplexDivisionMessage);
            X[k] = {u.re - V.re / 3.0, u.im - V.im / 3.0};
        }
    }
    // else p = q = 0: a triple root, and the reduced roots are exactly zero.

    roots.Root1Re = X[0].re - a2 / (3.0 * a3);
    roots.Root2Re = X[1].re - a2 / (3.0 * a3);
    roots.Root3Re = X[2].re - a2 / (3.0 * a3);
    roots.Root1Im = X[0].im;
    roots.Root2Im = X[1].im;
    roots.Root3Im = X[2].im;
}

void SolvePureCubic(CoefficientRegisters& coef, RootRegisters& roots)
{
    const double v = coef.CoefD / (-coef.CoefA);
    coef.CoefD = v;
    const double R = std::pow(Square(v) + Square(0.0), OneSixth);
    const double phi = std::atan2(0.0, v) / 3.0;
    const Complex root1{std::cos(phi) * R, std::sin(phi) * R};
    const double omegaRe = -0.5;
    double omegaIm = std::sqrt(3.0) / 2.0;
    const Complex root2 = TimesOmega(root1, omegaRe, omegaIm);
    omegaIm = omegaIm * -1.0;
    const Complex root3 = TimesOmega(root1, omegaRe, omegaIm);
    roots.Root1Re = root1.re;
    roots.Root1Im = root1.im;
    roots.Root2Re = root2.re;
    roots.Root2Im = root2.im;
    roots.Root3Re = root3.re;
    roots.Root3Im = root3.im;
}

}  // namespace varno
