#include "solvers/two_by_two.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/harness.h"

namespace varno::test {
namespace {

struct TwoCase {
    const char* name;
    double k[2][2];
    double m[2][2];
    double a, b, c;
    const char* report;
};
void PrintTo(const TwoCase& c, std::ostream* os) { *os << c.name; }

const TwoCase Cases[] = {
    {"diagonal", {{2, 0}, {0, 6}}, {{1, 0}, {0, 2}}, 2, -10, 12,
     "Eigenvalues \n\n lambda1=           2 \n lambda2=           3"},
    {"negative_det_m_not_sorted", {{2, 0}, {0, -3}}, {{1, 0}, {0, -1}}, -1, 5, -6,
     "Eigenvalues \n\n lambda1=           3 \n lambda2=           2"},
    {"identity_double_root", {{1, 0}, {0, 1}}, {{1, 0}, {0, 1}}, 1, -2, 1,
     "Eigenvalues \n\n lambda1=           1 \n lambda2=           1"},
    {"complex_pair", {{1, 0}, {0, -1}}, {{0, 1}, {0, 0}}, -1, 0, -1,
     "Eigenvalues \n\n lambda1=           0\t+j(           1)\n lambda2=           0 \t+j(          -1)"},
    // The closed form refuses a singular M; the pencil is regular, with 2 and
    // an infinite eigenvalue.
    {"singular_m_mended", {{1, 0}, {0, -2}}, {{1, 1}, {0, 1}}, 0, 1, -2,
     "Eigenvalues \n\n lambda1=           2 \n lambda2=         inf"},
    // With K definite, lambda = 1 / mu: one eigenvalue is 0.5, the other infinite.
    {"singular_m_definite_k", {{1, 0}, {0, 1}}, {{1, 1}, {0, 1}}, 0, -2, 1,
     "Eigenvalues \n\n lambda1=         0.5 \n lambda2=         inf"},
};

class TwoByTwo : public ::testing::TestWithParam<TwoCase> {};

TEST_P(TwoByTwo, CoefficientsAndReport)
{
    const TwoCase& c = GetParam();
    Harness h;
    h.Load(c.k, c.m);
    h.Calculate();
    EXPECT_EQ(h.state.coef.CoefA, c.a);
    EXPECT_EQ(h.state.coef.CoefB, c.b);
    EXPECT_EQ(h.state.coef.CoefC, c.c);
    ASSERT_EQ(h.channel.messages.size(), 1u);
    EXPECT_EQ(h.channel.messages[0], c.report);
}

INSTANTIATE_TEST_SUITE_P(Cases, TwoByTwo, ::testing::ValuesIn(Cases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(TwoByTwo, ComplexPairValues)
{
    Harness h;
    const double k[2][2] = {{1, 0}, {0, -1}};
    const double m[2][2] = {{0, 1}, {0, 0}};
    h.Load(k, m);
    h.Calculate();
    EXPECT_EQ(h.state.twoByTwo.d, -4.0);
    EXPECT_EQ(h.state.twoByTwo.s, 2.0);
    ASSERT_EQ(h.channel.reports.size(), 1u);
    const auto& v = h.channel.reports[0].values;
    EXPECT_EQ(v[0].re, 0.0);
    EXPECT_EQ(v[0].im, 1.0);
    EXPECT_EQ(v[1].im, -1.0);
}

// |det M| exactly 1e-200 passes; the next double below it is singular.
// Near 1e-200 the closed form refuses, or its b^2 and c underflow and it
// shows 0.5, 0.5. Shown, all of that is wrong: the pencil is diagonal, and
// its eigenvalues are the quotients, 2e-200 and +-1, whatever units the
// degrees of freedom are in.
TEST(TwoByTwo, LeadingCoefficientThreshold)
{
    const double below = std::nextafter(1e-200, 0.0);
    const struct {
        double detM;
        std::string closedForm;
        std::string shown;
    } rows[] = {
        {1e-200, "Eigenvalues \n\n lambda1=         0.5 \n lambda2=         0.5",
         "Eigenvalues \n\n lambda1=      2e-200 \n lambda2=           1"},
        {below, SingularMMessage, "Eigenvalues \n\n lambda1=      2e-200 \n lambda2=           1"},
        {-1e-200, "Eigenvalues \n\n lambda1=        -0.5 \n lambda2=        -0.5",
         "Eigenvalues \n\n lambda1=          -1 \n lambda2=      2e-200"},
        {-below, SingularMMessage, "Eigenvalues \n\n lambda1=          -1 \n lambda2=      2e-200"},
    };
    for (const auto& row : rows) {
        Harness h;
        const double k[2][2] = {{1e-200, 0}, {0, 2e-200}};
        const double m[2][2] = {{row.detM, 0}, {0, 1}};
        h.Load(k, m);
        RecordingChannel closedForm;
        ProgramState state = h.state;
        Symmetrise(state.store);
        SolveTwoByTwo(state, closedForm);
        EXPECT_EQ(closedForm.messages, std::vector<std::string>{row.closedForm}) << row.detM;
        const Outcome outcome = varno::Calculate(h.state, h.grid, h.channel);
        EXPECT_EQ(h.channel.messages, std::vector<std::string>{row.shown}) << row.detM;
        EXPECT_EQ(outcome, Outcome::Mended) << row.detM;
    }
}

TEST(TwoByTwo, SingularMKeepsThePreviousResults)
{
    Harness h;
    const double k[2][2] = {{2, 0}, {0, 6}};
    const double m[2][2] = {{1, 0}, {0, 2}};
    h.Load(k, m);
    h.Calculate();
    const double m2[2][2] = {{1, 1}, {0, 1}};
    h.Load(k, m2);
    h.Calculate();
    EXPECT_EQ(h.state.twoByTwo.Lambda1Re, 2.0);
    EXPECT_EQ(h.state.twoByTwo.Lambda2Re, 3.0);
    EXPECT_EQ(h.state.coef.CoefA, 0.0);
}

}  // namespace
}  // namespace varno::test
