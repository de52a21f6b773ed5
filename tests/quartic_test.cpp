#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "solvers/characteristic_cubic.h"
#include "solvers/cubic_root_finder.h"
#include "solvers/quartic_polynomial.h"
#include "solvers/quartic_report.h"
#include "solvers/quartic_root_solver.h"
#include "tests/harness.h"

namespace varno::test {
namespace {

using Grid4 = double[4][4];

const Grid4 Identity = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

std::string Report(double a, double b, double c, double d) { return QuarticReportFor(a, b, c, d); }
std::string ComplexReport(const std::array<Eigenvalue, 4>& lambda) { return QuarticComplexReportFor(lambda); }

struct QuarticCase {
    const char* name;
    Grid4 k;
    Grid4 m;
    double c[5];  // c4 ... c0; NAN where the case does not pin them
    std::vector<std::string> messages;
};
void PrintTo(const QuarticCase& c, std::ostream* os) { *os << c.name; }

const double Root2 = std::sqrt(2.0);

const QuarticCase Cases[] = {
    {"diagonal_1234_case4", {{1, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 3, 0}, {0, 0, 0, 4}}, {}, {1, -10, 35, -50, 24},
     {Report(1, 2, 3, 4)}},
    {"tridiagonal", {{2, -1, 0, 0}, {0, 2, -1, 0}, {0, 0, 2, -1}, {0, 0, 0, 1}}, {}, {1, -7, 15, -10, 1},
     {Report(0.12061475842818, 1, 2.3472963553339, 3.5320888862380)}},
    {"diagonal_2_5_7_11_case5", {{2, 0, 0, 0}, {0, 5, 0, 0}, {0, 0, 7, 0}, {0, 0, 0, 11}}, {},
     {1, -25, 213, -719, 770}, {Report(2, 5, 7, 11)}},
    {"symmetric_about_zero_case4", {{-2, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 2}}, {},
     {NAN, NAN, NAN, NAN, NAN}, {Report(-2, -1, 1, 2)}},
    {"mean_is_an_eigenvalue_case3", {{1, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {0, 0, 0, 8}}, {},
     {NAN, NAN, NAN, NAN, NAN}, {Report(1, 3, 4, 8)}},
    {"two_double_roots_case4", {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 2}}, {},
     {NAN, NAN, NAN, NAN, NAN}, {Report(1, 1, 2, 2)}},
    {"identity_cases_3_and_4", {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}, {},
     {1, -4, 6, -4, 1}, {Report(1, 1, 1, 1), Report(1, 1, 1, 1)}},
    // Regression: the resolvent cubic's threefold root used to give NaN, four
    // "Complex division error." boxes and a report of four zeros.
    {"threefold_eigenvalue_case5", {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 2}}, {},
     {NAN, NAN, NAN, NAN, NAN}, {Report(1, 1, 1, 2)}},
    // M is positive definite in the next three, so the closed form's zeros
    // and refusals are wrong: the checked report replaces them.
    {"tiny_k_mended_not_three_zero_reports",
     {{1e-12, 0, 0, 0}, {0, 1e-12, 0, 0}, {0, 0, 1e-12, 0}, {0, 0, 0, 1e-12}}, {}, {NAN, NAN, NAN, NAN, NAN},
     {Report(1e-12, 1e-12, 1e-12, 1e-12)}},
    // K = diag(A, B), M = [[0, I], [I, 0]]: det(K - lM) = det(AB - l^2 I) = l^4 + 16.
    {"pure_quartic_plus_16", {{1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 0, 4}, {0, 0, 0, 0}},
     {{0, 0, 1, 0}, {0, 0, 0, 1}, {0, 0, 0, 0}, {0, 0, 0, 0}}, {1, 0, 0, 0, 16},
     // Neither matrix is definite: the closed form's two reports of real
     // parts give way to one of the four complex eigenvalues.
     {ComplexReport({{{-Root2, -Root2}, {-Root2, Root2}, {Root2, -Root2}, {Root2, Root2}}})}},
    // M the exchange matrix: det = (k1 k4 - l^2)(k2 k3 - l^2) = l^4 - 16.
    {"pure_quartic_minus_16", {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -4, 0}, {0, 0, 0, 4}},
     {{0, 0, 0, 1}, {0, 0, 1, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}, {1, 0, 0, 0, -16},
     {ComplexReport({{{-2, 0}, {0, -2}, {0, 2}, {2, 0}}})}},
    // The closed form refuses a singular M; the pencil is regular: 1 and
    // three infinite eigenvalues.
    {"singular_m_mended", {{1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}},
     {{1, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}, {0, 0, 0, 1, -1}, {Report(1, HUGE_VAL, HUGE_VAL, HUGE_VAL)}},
    // K definite: lambda = 1 / mu, and mu = 0 three times.
    {"singular_m_definite_k_mended", {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}},
     {{1, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}, {0, 0, 0, -1, 1}, {Report(1, HUGE_VAL, HUGE_VAL, HUGE_VAL)}},
    {"m_a_thousandth_of_identity_mended", {{1, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 3, 0}, {0, 0, 0, 4}},
     {{0.001, 0, 0, 0}, {0, 0.001, 0, 0}, {0, 0, 0.001, 0}, {0, 0, 0, 0.001}}, {NAN, NAN, NAN, NAN, NAN},
     {Report(1000, 2000, 3000, 4000)}},
    // |c4| == Tolerance: case 1 reports zeros, then the leading test refuses.
    {"c4_exactly_tolerance_mended", {{1e-12, 0, 0, 0}, {0, 1e-12, 0, 0}, {0, 0, 1e-12, 0}, {0, 0, 0, 1e-12}},
     {{1e-8, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}, {1e-8, NAN, NAN, NAN, NAN},
     {Report(1e-12, 1e-12, 1e-12, 1e-4)}},
    // Indefinite M but a definite K: counted all the same, not refused.
    {"indefinite_m_definite_k_mended", {{1, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 3, 0}, {0, 0, 0, 4}},
     {{0.001, 0, 0, 0}, {0, -0.001, 0, 0}, {0, 0, 0.001, 0}, {0, 0, 0, 0.001}}, {NAN, NAN, NAN, NAN, NAN},
     {Report(-2000, 1000, 3000, 4000)}},
};

class Quartic : public ::testing::TestWithParam<QuarticCase> {};

TEST_P(Quartic, CoefficientsAndReports)
{
    const QuarticCase& c = GetParam();
    Harness h;
    bool noM = true;  // rows that leave M out mean the identity
    for (const auto& row : c.m)
        for (const double x : row) noM = noM && x == 0.0;
    h.Load(c.k, noM ? Identity : c.m);
    h.Calculate();
    const QuarticCoefficients q = CharacteristicQuartic(h.state.store);
    const double got[5] = {q.c4, q.c3, q.c2, q.c1, q.c0};
    for (int i = 0; i < 5; ++i) {
        if (!std::isnan(c.c[i])) {
            EXPECT_EQ(got[i], c.c[i]) << "c" << 4 - i;
        }
    }
    EXPECT_EQ(h.channel.messages, c.messages);
}

INSTANTIATE_TEST_SUITE_P(Cases, Quartic, ::testing::ValuesIn(Cases),
                         [](const auto& row) { return std::string(row.param.name); });

// The solver's own refusal of a singular M, which the check replaces.
TEST(Quartic, SingularMRefusedBySolver)
{
    Harness h;
    const double k[4][4] = {{1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    const double m[4][4] = {{1, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    h.Load(k, m);
    Symmetrise(h.state.store);
    RecordingChannel solver;
    SolveFourByFour(h.state, solver);
    EXPECT_EQ(solver.messages, std::vector<std::string>{QuarticLeadingMessage});
}

TEST(Quartic, MinorsOfTheFirstColumnExpansion)
{
    const Matrix3 ks = {{2, 0, 0}, {0, 3, 0}, {0, 0, 4}};
    const Matrix3 ms = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const CubicCoefficients m1 = CharacteristicCubic(ks, ms);
    EXPECT_EQ(m1.a3, -1);
    EXPECT_EQ(m1.a2, 9);
    EXPECT_EQ(m1.a1, -26);
    EXPECT_EQ(m1.a0, 24);
}

TEST(Quartic, GeneralCaseResolventRoots)
{
    Harness h;
    const Grid4 k = {{2, 0, 0, 0}, {0, 5, 0, 0}, {0, 0, 7, 0}, {0, 0, 0, 11}};
    h.Load(k, Identity);
    h.Calculate();
    const RootRegisters& r = h.state.roots;
    EXPECT_NEAR(r.Root1Re, 121.0 / 16, 1e-13);
    EXPECT_NEAR(r.Root2Re, 1.0 / 16, 1e-13);
    EXPECT_NEAR(r.Root3Re, 49.0 / 16, 1e-13);
}

TEST(Quartic, NonSymmetricStoreExpandsAsStored)
{
    MatrixStore store;
    for (int i = 1; i <= 4; ++i) store.M[i][i] = 1;
    store.K[1][2] = 1;  // upper triangular K: det(K - lM) = (0 - l)^4
    const QuarticCoefficients q = CharacteristicQuartic(store);
    EXPECT_EQ(q.c4, 1);
    EXPECT_EQ(q.c3, 0);
    EXPECT_EQ(q.c0, 0);
}

TEST(QuarticReport, ExactTextForOneTwoThreeFour)
{
    EXPECT_EQ(Report(1, 2, 3, 4),
              "\n\n  Eigenvalues \n\n lambda1 =           1 \n lambda2 =           2 \n lambda3 =           3 \n "
              "lambda4 =           4 ");
}

TEST(QuarticReport, TidiesSortsAndFormats)
{
    struct Row {
        double re[4];
        double im[4];
        const char* fields[4];
    };
    const Row rows[] = {
        {{4, 1, 3, 2}, {0, 0, 0, 0}, {"          1", "          2", "          3", "          4"}},
        {{123.456, 0.25, -10.5, 0}, {}, {"      -10.5", "          0", "       0.25", "     123.46"}},
        {{-0.0, Tolerance / 2, -Tolerance / 2, NAN}, {NAN, -0.0, 1e-9, 5}, {"          0", "          0", "          0", "          0"}},
        {{Tolerance, 0, 3, 1}, {2, -2, 0, 0}, {"          0", "      1e-08", "          1", "          3"}},
    };
    for (const auto& row : rows) {
        ProgramState state;
        RecordingChannel channel;
        QuarticRootTable table{};
        for (std::size_t k = 0; k < 4; ++k) table[k + 1] = {row.re[k], row.im[k]};
        ReportQuarticRoots(table, state, channel);
        const std::string expected = "\n\n  Eigenvalues \n\n lambda1 = " + std::string(row.fields[0]) +
                                     " \n lambda2 = " + row.fields[1] + " \n lambda3 = " + row.fields[2] +
                                     " \n lambda4 = " + row.fields[3] + " ";
        EXPECT_EQ(state.text.QuarticReportText, expected);
        ASSERT_EQ(channel.messages.size(), 1u);
        for (std::size_t k = 1; k <= 4; ++k) {
            EXPECT_FALSE(std::isnan(table[k].Im));
            EXPECT_FALSE(std::signbit(table[k].Re) && table[k].Re == 0.0);
        }
    }
}

// The batch command's JSON pairs each real part with its own imaginary part.
TEST(QuarticReport, ValuesKeepTheirImaginaryParts)
{
    ProgramState state;
    RecordingChannel channel;
    QuarticRootTable table{};
    table[1] = {3, 0};
    table[2] = {0, 2};
    table[3] = {1, 0};
    table[4] = {0, -2};
    ReportQuarticRoots(table, state, channel);
    const auto& v = channel.reports.at(0).values;
    EXPECT_EQ(v[0].re, 0);
    EXPECT_EQ(v[0].im, 2);
    EXPECT_EQ(v[1].im, -2);
    EXPECT_EQ(v[2].re, 1);
    EXPECT_EQ(v[3].re, 3);
    EXPECT_EQ(state.text.QuarticReportText, Report(0, 0, 1, 3));
}

TEST(ComplexRoot, PrincipalRootsAndSignedZero)
{
    const QuarticRoot r = ComplexRoot({-4, +0.0}, 2);
    EXPECT_NEAR(r.Re, 0, 1e-15);
    EXPECT_EQ(r.Im, 2);
    const QuarticRoot s = ComplexRoot({-4, -0.0}, 2);
    EXPECT_EQ(s.Im, -2);
    const QuarticRoot z = ComplexRoot({0, 0}, 4);
    EXPECT_EQ(z.Re, 0);
    EXPECT_EQ(z.Im, 0);
}

}  // namespace
}  // namespace varno::test
