#include "solvers/cubic_root_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>

#include "core/memory_grid.h"
#include "tests/harness.h"

namespace varno::test {
namespace {

struct Root {
    double re, im;
};

struct CubicRun {
    RootRegisters roots;
    RecordingChannel channel;
};

CubicRun Solve(double a3, double a2, double a1, double a0)
{
    CubicRun run;
    const CoefficientRegisters coef{a3, a2, a1, a0, 0.0};
    SolveCubic(coef, run.roots, &run.channel);
    return run;
}

void ExpectRoots(const RootRegisters& r, Root r1, Root r2, Root r3, double tol)
{
    EXPECT_NEAR(r.Root1Re, r1.re, tol);
    EXPECT_NEAR(r.Root1Im, r1.im, tol);
    EXPECT_NEAR(r.Root2Re, r2.re, tol);
    EXPECT_NEAR(r.Root2Im, r2.im, tol);
    EXPECT_NEAR(r.Root3Re, r3.re, tol);
    EXPECT_NEAR(r.Root3Im, r3.im, tol);
}

const double S3 = std::sqrt(3.0);

TEST(SolveCubic, ThreeRealRootsComeLargestSmallestMiddle)
{
    const auto run = Solve(1, -6, 11, -6);
    ExpectRoots(run.roots, {3, 0}, {1, 0}, {2, 0}, 1e-14);
    EXPECT_TRUE(run.channel.messages.empty());
}

TEST(SolveCubic, PositiveWPutsTheRealRootFirst)
{
    const auto run = Solve(1, 0, 0, -1);
    ExpectRoots(run.roots, {1, 0}, {-0.5, S3 / 2}, {-0.5, -S3 / 2}, 1e-15);
    EXPECT_GT(run.roots.Root2Im, 0.0);
}

TEST(SolveCubic, NegativeWPutsTheRealRootSecond)
{
    const auto run = Solve(1, 0, -3, 3);
    EXPECT_NEAR(run.roots.Root2Re, -2.1038034027355366, 1e-14);
    EXPECT_NEAR(run.roots.Root2Im, 0.0, 1e-15);
    EXPECT_NEAR(run.roots.Root1Re, 1.0519017013677683, 1e-14);
    EXPECT_NEAR(run.roots.Root1Im, -0.5652358516771712, 1e-14);
    EXPECT_NEAR(run.roots.Root3Im, 0.5652358516771712, 1e-14);
    EXPECT_TRUE(run.channel.messages.empty());
}

// Regression: the principal branch W = ((-q) + sqrt D) / 2 vanishes for
// x^3 + q, q >= 0, and for triple roots; the roots used to come out NaN after
// three "Complex division error." boxes.
TEST(SolveCubic, VanishingPrincipalBranchTakesTheOther)
{
    const auto plusOne = Solve(1, 0, 0, 1);
    ExpectRoots(plusOne.roots, {0.5, S3 / 2}, {-1, 0}, {0.5, -S3 / 2}, 1e-15);
    EXPECT_TRUE(plusOne.channel.messages.empty());

    const auto triple = Solve(1, -6, 12, -8);
    EXPECT_EQ(triple.roots.Root1Re, 2.0);
    EXPECT_EQ(triple.roots.Root2Re, 2.0);
    EXPECT_EQ(triple.roots.Root3Re, 2.0);
    EXPECT_EQ(triple.roots.Root1Im, 0.0);
    EXPECT_TRUE(triple.channel.messages.empty());
}

TEST(SolveCubic, SmallRootsWarnButComeOutRight)
{
    const auto run = Solve(1, -6e-5, 11e-10, -6e-15);
    EXPECT_EQ(run.channel.messages, std::vector<std::string>(3, ComplexDivisionMessage));
    ExpectRoots(run.roots, {3e-5, 0}, {1e-5, 0}, {2e-5, 0}, 1e-15);
}

TEST(SolveCubic, LeavesTheCoefficientsAlone)
{
    const CoefficientRegisters coef{2, -3, 5, 7, 11};
    RootRegisters roots;
    SolveCubic(coef, roots, nullptr);
    EXPECT_EQ(coef.CoefA, 2);
    EXPECT_EQ(coef.CoefD, 7);
}

TEST(SolvePureCubic, CubeRootsOfPositiveAndNegative)
{
    CoefficientRegisters coef{1, 99, 98, -8, 0};
    RootRegisters roots;
    SolvePureCubic(coef, roots);
    EXPECT_EQ(coef.CoefD, 8.0);
    EXPECT_EQ(coef.CoefB, 99.0);
    ExpectRoots(roots, {2, 0}, {-1, S3}, {-1, -S3}, 1e-15);

    coef = {1, 0, 0, 8, 0};
    SolvePureCubic(coef, roots);
    EXPECT_EQ(coef.CoefD, -8.0);
    ExpectRoots(roots, {1, S3}, {-2, 0}, {1, -S3}, 1e-15);
}

// Cubics built from three known distinct real roots: the closed form must
// find each within a relative error governed by the root separation.
TEST(SolveCubic, FindsKnownDistinctRoots)
{
    const unsigned seed = 1234567;
    std::printf("cubic known-roots seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> uniform(-10.0, 10.0);
    int checked = 0;
    for (int k = 0; k < 5000; ++k) {
        double x[3] = {uniform(rng), uniform(rng), uniform(rng)};
        std::sort(x, x + 3);
        if (x[1] - x[0] < 0.1 || x[2] - x[1] < 0.1) continue;
        const double a3 = 1.0 + std::fabs(uniform(rng));
        const double a2 = -a3 * (x[0] + x[1] + x[2]);
        const double a1 = a3 * (x[0] * x[1] + x[0] * x[2] + x[1] * x[2]);
        const double a0 = -a3 * x[0] * x[1] * x[2];
        const auto run = Solve(a3, a2, a1, a0);
        double found[3] = {run.roots.Root1Re, run.roots.Root2Re, run.roots.Root3Re};
        std::sort(found, found + 3);
        // Rounding the coefficients moves a root by about eps * scale^3 /
        // |p'(x)|; with separations >= 0.1 and |x| <= 10 that stays well under
        // 1e-9 absolute.
        for (int i = 0; i < 3; ++i) ASSERT_NEAR(found[i], x[i], 1e-9) << "case " << k;
        ++checked;
    }
    EXPECT_GT(checked, 3000);
}

}  // namespace
}  // namespace varno::test
