#include "certified/rayleigh_damping.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <utility>

namespace varno {

RayleighDamping RayleighFrom(const ModalResult& result, const RayleighRequest& request)
{
    RayleighDamping out;
    const int n = result.n;
    const std::string i = std::to_string(request.i);
    const std::string j = std::to_string(request.j);
    if (request.i < 1 || request.i > n || request.j < 1 || request.j > n) {
        out.error = "modes " + i + " and " + j + ": there are modes 1 to " + std::to_string(n) + " only";
        return out;
    }
    if (request.i == request.j) {
        out.error = "two different modes are needed, not mode " + i + " twice";
        return out;
    }
    for (const double zeta : {request.zetaI, request.zetaJ})
        if (!(zeta >= 0.0) || !std::isfinite(zeta)) {
            out.error = "a damping ratio must be a number, 0 or more";
            return out;
        }
    const double wi = result.modes[static_cast<std::size_t>(request.i - 1)].omega;
    const double wj = result.modes[static_cast<std::size_t>(request.j - 1)].omega;
    for (const auto& [w, k] : {std::pair{wi, i}, std::pair{wj, j}})
        if (!std::isfinite(w)) {
            out.error = "mode " + k + " has no finite frequency";
            return out;
        }
    // Within 1 %: the two equations are nearly the same one, and a0 and a1
    // would be large numbers of opposite sign that damp nothing as asked.
    if (std::fabs(wi - wj) <= 0.01 * std::fmax(wi, wj)) {
        out.error = "modes " + i + " and " + j + " have frequencies within 1 % of each other";
        return out;
    }
    const double denominator = wj * wj - wi * wi;
    out.a0 = 2.0 * wi * wj * (request.zetaI * wj - request.zetaJ * wi) / denominator;
    out.a1 = 2.0 * (request.zetaJ * wj - request.zetaI * wi) / denominator;
    for (int k = 0; k < n; ++k) {
        const double w = result.modes[static_cast<std::size_t>(k)].omega;
        out.zeta.push_back(w > 0.0 && std::isfinite(w) ? out.a0 / (2.0 * w) + out.a1 * w / 2.0
                                                       : std::numeric_limits<double>::quiet_NaN());
    }
    return out;
}

}  // namespace varno
