// Prints every message and the exact bits of every reported value for a
// fixed set of problems. Built twice, optimised and unoptimised: the two
// outputs must be identical, or some result depends on the build type.
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/harness.h"
#include "tests/physical_problems.h"

namespace {

void Run(varno::test::Harness& h)
{
    h.Calculate();
    for (const auto& m : h.channel.messages) std::printf("%s\n", m.c_str());
    for (const auto& r : h.channel.reports)
        for (const auto& v : r.values)
            std::printf("%016" PRIx64 " %016" PRIx64 "\n", std::bit_cast<std::uint64_t>(v.re),
                        std::bit_cast<std::uint64_t>(v.im));
    std::printf("coef %a %a %a %a %a\n", h.state.coef.CoefA, h.state.coef.CoefB, h.state.coef.CoefC,
                h.state.coef.CoefD, h.state.coef.CoefE);
}

}  // namespace

// The checked report: physical problems in SI units and scaled random
// pencils, printed only where they are mended.
int Mended()
{
    int mended = 0;
    std::mt19937_64 rng(27182);
    std::uniform_int_distribution<int> power(-300, 300);
    for (int n = 2; n <= 4; ++n) {
        std::vector<varno::test::Problem> problems;
        for (const auto& physical : varno::test::PhysicalProblems(n, 40, 161803)) problems.push_back(physical.p);
        for (int k = 0; k < 200; ++k) {
            varno::test::Problem p = varno::test::RandomProblem(rng, n);
            const int a = power(rng), b = power(rng);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) p.k[i][j] = std::ldexp(p.k[i][j], a), p.m[i][j] = std::ldexp(p.m[i][j], b);
            problems.push_back(p);
        }
        for (const auto& p : problems) {
            varno::test::Harness h;
            h.LoadUpper(n, p.k, p.m);
            if (varno::Calculate(h.state, h.grid, h.channel) != varno::Outcome::Mended) continue;
            ++mended;
            for (const auto& m : h.channel.messages) std::printf("%s\n", m.c_str());
            for (const auto& v : h.channel.reports.at(0).values)
                std::printf("%016" PRIx64 "\n", std::bit_cast<std::uint64_t>(v.re));
        }
    }
    std::printf("%d mended\n", mended);
    return 0;
}

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--mended") return Mended();
    std::mt19937_64 rng(31415);
    std::uniform_real_distribution<double> u(-3.0, 3.0);
    for (int n = 2; n <= 4; ++n) {
        for (int k = 0; k < 400; ++k) {
            varno::test::Harness h;
            for (int i = 1; i <= n; ++i)
                for (int j = i; j <= n; ++j) {
                    // Every fourth problem uses small integers, which hit the
                    // special cases and exact zeros.
                    h.K(i, j) = k % 4 == 0 ? static_cast<double>(rng() % 5) - 2.0 : u(rng);
                    h.M(i, j) = k % 4 == 0 ? static_cast<double>(rng() % 3) : u(rng);
                }
            h.grid.SetListSelection(varno::id::DimensionList, n - 2);
            Run(h);
        }
    }
    return 0;
}
