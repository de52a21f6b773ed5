#include "solvers/three_by_three.h"

#include <gtest/gtest.h>

#include <cmath>

#include "solvers/cubic_root_finder.h"
#include "solvers/two_by_two.h"
#include "tests/harness.h"

namespace varno::test {
namespace {

using Grid3 = double[3][3];

struct Run3 {
    std::vector<std::string> messages;
    RootRegisters roots;
    CoefficientRegisters coef;
};

Run3 Solve(const Grid3& k, const Grid3& m)
{
    Harness h;
    h.Load(k, m);
    h.Calculate();
    return {h.channel.messages, h.state.roots, h.state.coef};
}

TEST(ThreeByThree, DiagonalRealReport)
{
    const Grid3 k = {{1, 0, 0}, {0, 2, 0}, {0, 0, 3}};
    const Grid3 m = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const auto run = Solve(k, m);
    EXPECT_EQ(run.coef.CoefA, -1);
    EXPECT_EQ(run.coef.CoefB, 6);
    EXPECT_EQ(run.coef.CoefC, -11);
    EXPECT_EQ(run.coef.CoefD, 6);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0], "Eigenvalues \n\n lambda1=           1 \n lambda2=           2 \n lambda3=           3");
}

TEST(ThreeByThree, TridiagonalAscending)
{
    const Grid3 k = {{2, -1, 0}, {0, 2, -1}, {0, 0, 1}};
    const Grid3 m = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const auto run = Solve(k, m);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0], "Eigenvalues \n\n lambda1=      0.1981 \n lambda2=       1.555 \n lambda3=       3.247");
}

TEST(ThreeByThree, ComplexPairUsesTheComplexForm)
{
    const Grid3 k = {{1, 0, 0}, {0, -1, 0}, {0, 0, 2}};
    const Grid3 m = {{0, 1, 0}, {0, 0, 0}, {0, 0, 1}};
    const auto run = Solve(k, m);
    EXPECT_EQ(run.coef.CoefA, 1);
    EXPECT_EQ(run.coef.CoefB, -2);
    EXPECT_EQ(run.coef.CoefC, 1);
    EXPECT_EQ(run.coef.CoefD, -2);
    ASSERT_EQ(run.messages.size(), 1u);
    const std::string& text = run.messages[0];
    EXPECT_EQ(text.rfind("Eigenvalues \n\n lambda1=", 0), 0u);
    EXPECT_NE(text.find("\t+j (           1)\n lambda2="), std::string::npos) << text;
    EXPECT_NE(text.find(" \t+j (          -1)\n lambda3=           2 \t+j ("), std::string::npos) << text;
    EXPECT_NEAR(run.roots.Root3Re, 2.0, 1e-15);
    EXPECT_NEAR(std::fabs(run.roots.Root1Im), 1.0, 1e-15);
}

// The solver refuses a singular M; the pencil is regular, and its
// eigenvalues 2, 3 and infinity are shown instead.
TEST(ThreeByThree, SingularMRefusedBySolverAndMended)
{
    const Grid3 k = {{1, 0, 0}, {0, -2, 0}, {0, 0, 3}};  // not definite either: nothing to count
    const Grid3 m = {{1, 1, 0}, {0, 1, 0}, {0, 0, 1}};
    Harness h;
    h.Load(k, m);
    ProgramState state = h.state;
    state.store.Dimension = 3;
    Symmetrise(state.store);
    RecordingChannel solver;
    SolveThreeByThree(state, solver);
    EXPECT_EQ(solver.messages, std::vector<std::string>{SingularMMessage});
    EXPECT_EQ(state.roots.Root1Re, 0.0);  // root registers keep what they had
    const auto run = Solve(k, m);
    EXPECT_EQ(run.messages,
              std::vector<std::string>{"Eigenvalues \n\n lambda1=           2 \n lambda2=           3 \n lambda3=         inf"});
}

TEST(ThreeByThree, SmallEigenvaluesWarnThenReportCorrectly)
{
    const Grid3 k = {{1e-5, 0, 0}, {0, 2e-5, 0}, {0, 0, 3e-5}};
    const Grid3 m = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const auto run = Solve(k, m);
    ASSERT_EQ(run.messages.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(run.messages[static_cast<std::size_t>(i)], ComplexDivisionMessage);
    EXPECT_EQ(run.messages[3], "Eigenvalues \n\n lambda1=       1e-05 \n lambda2=       2e-05 \n lambda3=       3e-05");
}

// Regression: K = M = identity used to show three division errors and NaN.
TEST(ThreeByThree, IdentityPencilGivesOneOneOne)
{
    const Grid3 i3 = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const auto run = Solve(i3, i3);
    EXPECT_EQ(run.messages, std::vector<std::string>{
                                "Eigenvalues \n\n lambda1=           1 \n lambda2=           1 \n lambda3=           1"});
}

// The three compare-and-exchange steps, seen on the root registers directly.
TEST(ThreeByThree, OrderingIsNotStable)
{
    struct Row {
        double in[3];
        double out[3];
        double outIm[3];
    };
    // Imaginary parts tag the roots: 1, 2, 3 for root registers 1, 2, 3.
    const Row rows[] = {
        {{1, 1, 0}, {0, 1, 1}, {3, 2, 1}},
        {{3, 1, 2}, {1, 2, 3}, {2, 3, 1}},
        {{NAN, 1, 0}, {NAN, 0, 1}, {1, 3, 2}},
    };
    for (const auto& row : rows) {
        RootRegisters r{row.in[0], 1e-12, row.in[1], 2e-12, row.in[2], 3e-12};
        SortRootsByRealPart(r);
        const double re[3] = {r.Root1Re, r.Root2Re, r.Root3Re};
        const double im[3] = {r.Root1Im, r.Root2Im, r.Root3Im};
        for (int i = 0; i < 3; ++i) {
            if (std::isnan(row.out[i]))
                EXPECT_TRUE(std::isnan(re[i]));
            else
                EXPECT_EQ(re[i], row.out[i]);
            EXPECT_EQ(im[i], row.outIm[i] * 1e-12);
        }
    }
}

}  // namespace
}  // namespace varno::test
