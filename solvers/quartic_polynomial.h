// The characteristic quartic det(K - lambda M) = c4 l^4 + c3 l^3 + c2 l^2 +
// c1 l + c0 for n = 4, by expansion along the first column into four cubic
// minors (the same routine as the 3 x 3 characteristic cubic).
//
// Reads all 32 cells K(1..4, 1..4), M(1..4, 1..4) as stored; the result is
// exact expansion arithmetic for any two matrices, symmetric or not, with the
// grouping of every sum fixed. c4 = det M, c0 = det K.
#pragma once

#include <array>
#include <cmath>

#include "core/program_state.h"

namespace varno {

inline constexpr const char* QuarticLeadingMessage = "\n Error: the X^4 coefficient must be non-zero. \n";

struct QuarticRoot {
    double Re = 0.0;
    double Im = 0.0;
};

// Slots 1 ... 4 hold lambda1 ... lambda4; slot 0 is cleared and never used.
using QuarticRootTable = std::array<QuarticRoot, 5>;

struct QuarticCoefficients {
    double c4, c3, c2, c1, c0;
};

QuarticCoefficients CharacteristicQuartic(const MatrixStore& store);

// Stores c4 ... c0 in CoefA ... CoefE.
void StoreQuartic(const QuarticCoefficients& c, CoefficientRegisters& coef);

// The leading coefficient must exceed Tolerance before anything divides by it
// (a NaN never does).
inline bool LeadingCoefficientUsable(double c4) { return std::fabs(c4) > Tolerance; }

}  // namespace varno
