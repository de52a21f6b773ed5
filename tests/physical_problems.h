// Small vibration problems as engineers type them, in SI units: spring-mass
// chains, bars with lumped and with consistent mass, shear buildings and
// torsion shafts, in real materials, from grams to tonnes. Shared by the
// accuracy tests and the benchmarks.
#pragma once

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "tests/reference_problems.h"

namespace varno::test {

struct PhysicalProblem {
    std::string what;
    Problem p;
    // Eigenvalues (omega^2) in ascending order where a formula gives them, else empty.
    std::vector<double> exact;
};

inline double LogUniform(std::mt19937_64& rng, double lo, double hi)
{
    std::uniform_real_distribution<double> u(std::log10(lo), std::log10(hi));
    return std::pow(10.0, u(rng));
}

// Fixed at the first end: stiffness k[i] joins dof i to dof i-1 (to ground for
// i = 0); a chain, a shear building (storey stiffness, floor mass) and a shaft
// in torsion (GJ/l, disk inertia) all take this form.
inline Problem FixedFreeChain(int n, const double* k, const double* m)
{
    Problem p{n, {}, {}};
    for (int i = 0; i < n; ++i) {
        p.k[i][i] = k[i] + (i + 1 < n ? k[i + 1] : 0.0);
        if (i + 1 < n) p.k[i][i + 1] = p.k[i + 1][i] = -k[i + 1];
        p.m[i][i] = m[i];
    }
    return p;
}

// A fixed-free bar of n elements: E (Pa), rho (kg/m^3), area (m^2), length (m).
inline Problem Bar(int n, double E, double rho, double area, double length, bool consistentMass)
{
    const double h = length / n;
    const double ke = E * area / h;
    const double me = rho * area * h;
    Problem p{n, {}, {}};
    // Node 0 is fixed; dof i is node i + 1.
    for (int e = 0; e < n; ++e) {
        const int a = e - 1;  // -1: the fixed node
        const int b = e;
        const double kk[2][2] = {{ke, -ke}, {-ke, ke}};
        const double mm[2][2] = {{consistentMass ? me / 3 : me / 2, consistentMass ? me / 6 : 0.0},
                                 {consistentMass ? me / 6 : 0.0, consistentMass ? me / 3 : me / 2}};
        const int dof[2] = {a, b};
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 2; ++c)
                if (dof[r] >= 0 && dof[c] >= 0) {
                    p.k[dof[r]][dof[c]] += kk[r][c];
                    p.m[dof[r]][dof[c]] += mm[r][c];
                }
    }
    return p;
}

struct Material {
    const char* name;
    double E;    // Pa
    double G;    // Pa
    double rho;  // kg/m^3
};

inline constexpr Material Materials[] = {
    {"steel", 210e9, 80e9, 7850}, {"aluminium", 70e9, 26e9, 2700}, {"rubber", 10e6, 3.4e6, 1100}};

// count problems of each kind for dimension n, seeded.
inline std::vector<PhysicalProblem> PhysicalProblems(int n, int count, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> spread(0.5, 2.0);
    std::vector<PhysicalProblem> out;
    const double pi = std::acos(-1.0);
    for (int c = 0; c < count; ++c) {
        const Material& mat = Materials[c % 3];
        double k[6], m[6];

        // A uniform spring-mass chain has eigenvalues (k/m) 4 sin^2((2j-1) pi / (2 (2n+1))).
        const double k0 = LogUniform(rng, 10.0, 1e8);  // N/m
        const double m0 = LogUniform(rng, 1e-3, 1e4);  // 1 g ... 10 t
        for (int i = 0; i < n; ++i) k[i] = k0, m[i] = m0;
        PhysicalProblem uniform{"uniform chain", FixedFreeChain(n, k, m), {}};
        for (int j = 1; j <= n; ++j) {
            const double s = std::sin((2 * j - 1) * pi / (2 * (2 * n + 1)));
            uniform.exact.push_back(k0 / m0 * 4 * s * s);
        }
        out.push_back(uniform);

        for (int i = 0; i < n; ++i) k[i] = k0 * spread(rng), m[i] = m0 * spread(rng);
        out.push_back({"spring-mass chain", FixedFreeChain(n, k, m), {}});

        const double storey = LogUniform(rng, 1e6, 1e9);  // N/m
        const double floor = LogUniform(rng, 1e3, 1e6);   // kg
        for (int i = 0; i < n; ++i) k[i] = storey * spread(rng), m[i] = floor * spread(rng);
        out.push_back({"shear building", FixedFreeChain(n, k, m), {}});

        const double diameter = LogUniform(rng, 0.005, 0.2);  // m
        const double J = pi * std::pow(diameter, 4) / 32;    // polar moment, m^4
        const double segment = LogUniform(rng, 0.05, 2.0);    // m
        const double disk = LogUniform(rng, 1e-5, 10.0);      // kg m^2
        for (int i = 0; i < n; ++i) k[i] = mat.G * J / segment * spread(rng), m[i] = disk * spread(rng);
        out.push_back({std::string(mat.name) + " shaft in torsion", FixedFreeChain(n, k, m), {}});

        const double area = LogUniform(rng, 1e-6, 1e-2);  // m^2
        const double length = LogUniform(rng, 0.05, 20.0);
        out.push_back({std::string(mat.name) + " bar, lumped mass", Bar(n, mat.E, mat.rho, area, length, false), {}});
        out.push_back(
            {std::string(mat.name) + " bar, consistent mass", Bar(n, mat.E, mat.rho, area, length, true), {}});

        // And a random definite pencil, as stiffness and mass in units anywhere.
        Problem random = RandomProblem(rng, n);
        const double ks = LogUniform(rng, 1e-9, 1e9);
        const double ms = LogUniform(rng, 1e-9, 1e9);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) random.k[i][j] *= ks, random.m[i][j] *= ms;
        out.push_back({"random definite pencil", random, {}});
    }
    return out;
}

}  // namespace varno::test
