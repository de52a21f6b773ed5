#include "certified/shape_normalisation.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>

namespace varno {

NormalisedShapes NormaliseShapes(const ModalResult& result, const Normalisation& how)
{
    NormalisedShapes out;
    const int n = result.n;
    if (how.kind == NormalisationKind::Dof && (how.dof < 1 || how.dof > n)) {
        out.error = "degree of freedom " + std::to_string(how.dof) + ": there are 1 to " + std::to_string(n) + " only";
        return out;
    }
    for (int k = 0; k < n; ++k) {
        const auto& x = result.modes[static_cast<std::size_t>(k)].vector;
        double big = 0.0;
        for (int i = 0; i < n; ++i) big = std::max(big, std::fabs(x[static_cast<std::size_t>(i)]));
        double divisor = 1.0;
        if (how.kind == NormalisationKind::Largest) {
            // The first component as large as any, to rounding: ModesOf made
            // it positive, and dividing by it itself makes it +1 exactly
            // (by the largest magnitude, it could come out as 0.9999999999999996).
            for (int i = 0; i < n; ++i)
                if (std::fabs(x[static_cast<std::size_t>(i)]) >= big * (1.0 - 1e-9)) {
                    divisor = x[static_cast<std::size_t>(i)];
                    break;
                }
        } else if (how.kind == NormalisationKind::Dof) {
            divisor = x[static_cast<std::size_t>(how.dof - 1)];
            if (std::fabs(divisor) <= 64.0 * n * DBL_EPSILON * big) {
                out.divisor.clear();
                out.error = "mode " + std::to_string(k + 1) + " is 0 at degree of freedom " + std::to_string(how.dof) +
                            ", so it cannot be scaled to 1 there";
                return out;
            }
        }
        out.divisor.push_back(divisor);
    }
    return out;
}

ModalFactors ModalFactorsOf(double participation, double effectiveMass, double divisor)
{
    return {participation / divisor, 1.0 / (divisor * divisor), participation * divisor, effectiveMass};
}

double ShapeComponent(const ModalResult& result, const NormalisedShapes& shapes, int k, int i)
{
    const double x = result.modes[static_cast<std::size_t>(k)].vector[static_cast<std::size_t>(i)];
    return x / shapes.divisor[static_cast<std::size_t>(k)] + 0.0;  // never "-0"
}

}  // namespace varno
