// The program-wide state. Each struct exists once in the running program
// (app/ and cli/ own that instance) and is handed to the operations by
// reference, so a test can always start from a fresh, all-zero one.
#pragma once

#include <string>

#include "core/matrix_store.h"

namespace varno {

// The small-value threshold of the cubic root finder and the quartic solver.
inline constexpr double Tolerance = 1e-8;

// Polynomial coefficients, highest power first. Every solver stores its own
// polynomial here before it reads it; the cubic root finder takes its input
// from CoefA (x^3) ... CoefD (x^0).
struct CoefficientRegisters {
    double CoefA = 0.0;
    double CoefB = 0.0;
    double CoefC = 0.0;
    double CoefD = 0.0;
    double CoefE = 0.0;
};

// The three complex roots the cubic root finder leaves behind.
struct RootRegisters {
    double Root1Re = 0.0;
    double Root1Im = 0.0;
    double Root2Re = 0.0;
    double Root2Im = 0.0;
    double Root3Re = 0.0;
    double Root3Im = 0.0;
};

// The 2 x 2 solver's discriminant and results. Nothing else reads them, but
// a refused calculation must leave the previous results in place.
struct TwoByTwoRegisters {
    double d = 0.0;
    double s = 0.0;
    double Lambda1Re = 0.0;
    double Lambda1Im = 0.0;
    double Lambda2Re = 0.0;
    double Lambda2Im = 0.0;
};

// ReportText holds the 2 x 2 and 3 x 3 reports and is the grid's scratch
// text; QuarticReportText holds only the last 4 x 4 report.
struct TextBuffers {
    std::string ReportText;
    std::string QuarticReportText;
};

struct ProgramState {
    MatrixStore store;
    CoefficientRegisters coef;
    RootRegisters roots;
    TwoByTwoRegisters twoByTwo;
    TextBuffers text;
    double SwapTemp = 0.0;  // the 4 x 4 report's exchange sort goes through it
};

}  // namespace varno
