// Rayleigh damping from two modes: C = a0 M + a1 K with the damping ratios
// zeta_i and zeta_j asked for at modes i and j, and the ratio that follows
// for every mode, zeta_k = a0 / (2 omega_k) + a1 omega_k / 2. From the two
// equations at omega_i and omega_j:
//     a0 = 2 omega_i omega_j (zeta_i omega_j - zeta_j omega_i) / (omega_j^2 - omega_i^2)
//     a1 = 2 (zeta_j omega_j - zeta_i omega_i) / (omega_j^2 - omega_i^2)
// (for zeta_i = zeta_j = zeta: 2 zeta omega_i omega_j / (omega_i + omega_j)
// and 2 zeta / (omega_i + omega_j)).
//
// Refused, with the reason, where the modes are the same or not among the
// n, where either has no finite frequency (no mass, or an unstable mode),
// where the two frequencies lie within 1 % of each other (the system above
// is then nearly singular, and equal frequencies leave it singular), or
// where a ratio is negative or not finite. A rigid-body mode (omega = 0)
// beside one that vibrates is allowed: then a0 = 0 and a1 = 2 zeta_j /
// omega_j. zeta_k is NaN where omega_k is 0 or not defined.
#pragma once

#include <string>
#include <vector>

#include "certified/modes.h"

namespace varno {

struct RayleighRequest {
    int i = 1;  // the two modes, 1-based, in ascending lambda as ModesOf gives them
    int j = 2;
    double zetaI = 0.05;
    double zetaJ = 0.05;
};

struct RayleighDamping {
    double a0 = 0.0;  // 1/s, times M
    double a1 = 0.0;  // s, times K
    std::vector<double> zeta;  // one a mode
    std::string error;         // why it was refused; empty where a0 and a1 hold
    bool ok() const { return error.empty(); }
};

RayleighDamping RayleighFrom(const ModalResult& result, const RayleighRequest& request);

}  // namespace varno
