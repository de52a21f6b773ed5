#include "certified/general_pencil.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "certified/general_pencil_solve.h"

namespace varno {

GeneralEigenvalues GeneralPencilEigenvalues(const Matrix10& K, const Matrix10& M, int n)
{
    switch (n) {
    case 2: return pencil::SolveGeneralPencil<2>(K, M);
    case 3: return pencil::SolveGeneralPencil<3>(K, M);
    case 4: return pencil::SolveGeneralPencil<4>(K, M);
    case 5: return pencil::SolveGeneralPencil<5>(K, M);
    default: return pencil::SolveGeneralPencil<6>(K, M);
    }
}

std::array<Eigenvalue, MaxOrder> ShownEigenvalues(const GeneralEigenvalues& e)
{
    const std::size_t n = static_cast<std::size_t>(e.n);
    std::array<Eigenvalue, MaxOrder> shown = e.lambda;
    for (std::size_t k = 0; k < n; ++k) {
        // An infinite one, or one beyond the double range in either part,
        // stands as it is: no cluster takes it in, and no mean or radius of
        // its would be finite.
        if (!std::isfinite(e.lambda[k].re) || !std::isfinite(e.lambda[k].im)) continue;
        const std::size_t first = static_cast<std::size_t>(e.cluster[k]);
        long double re = 0.0L, im = 0.0L;
        int members = 0;
        for (std::size_t j = 0; j < n; ++j)
            if (e.cluster[j] == e.cluster[k])
                re += static_cast<long double>(e.lambda[j].re), im += static_cast<long double>(e.lambda[j].im), ++members;
        Eigenvalue mean{static_cast<double>(re / members), static_cast<double>(im / members)};
        double radius = 0.0;
        for (std::size_t j = 0; j < n; ++j)
            if (e.cluster[j] == e.cluster[k])
                radius = std::max(radius, std::hypot(e.lambda[j].re - mean.re, e.lambda[j].im - mean.im));
        if (members == 1) radius = 0.5 * ClusterNoise * e.scale[first];
        // An s that could not be told makes no imaginary part noise:
        // 8.99e307 +- 8.99e307 j is no real pair.
        if (std::isfinite(radius) && std::fabs(mean.im) <= radius) mean.im = 0.0;
        shown[k] = {mean.re + 0.0, mean.im + 0.0};
    }
    const auto before = [](const Eigenvalue& x, const Eigenvalue& y) { return x.re < y.re || (x.re == y.re && x.im < y.im); };
    for (std::size_t k = 1; k < n; ++k)
        for (std::size_t j = k; j > 0 && before(shown[j], shown[j - 1]); --j) std::swap(shown[j], shown[j - 1]);
    return shown;
}

}  // namespace varno
