// A positive definite M: whatever the units, Calculate shows the right
// eigenvalues, judged against LAPACK's dsygv by the program's own rule.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

#include "certified/proof.h"
#include "certified/symmetric_indefinite.h"
#include "driver/report_check.h"
#include "solvers/quartic_root_solver.h"
#include "solvers/report_text.h"
#include "solvers/three_by_three.h"
#include "solvers/two_by_two.h"
#include "tests/count_reference.h"
#include "tests/harness.h"
#include "tests/physical_problems.h"

namespace varno::test {
namespace {

struct Shown {
    Outcome outcome = Outcome::ClosedForm;
    double worst = 0.0;  // largest |shown - true| / max|true|
};

// Runs Calculate on p and checks every report against the ascending truth.
Shown ExpectShownRight(const Problem& p, const std::vector<double>& truth, const std::string& what)
{
    Harness h;
    h.LoadUpper(p.n, p.k, p.m);
    Shown shown;
    shown.outcome = varno::Calculate(h.state, h.grid, h.channel);
    EXPECT_FALSE(h.channel.reports.empty()) << what << ": " << h.channel.messages.front();
    double largest = 0.0;
    for (const double x : truth) largest = std::max(largest, std::fabs(x));
    for (const auto& report : h.channel.reports) {
        EXPECT_EQ(report.text.find("+j"), std::string::npos) << what;
        std::vector<double> x;
        for (const auto& v : report.values) x.push_back(v.re);
        std::sort(x.begin(), x.end());
        for (std::size_t k = 0; k < x.size() && k < truth.size(); ++k) {
            EXPECT_TRUE(RightByTheRule(x[k], truth[k], largest, p.n == 4 ? 5 : 4))
                << what << ": eigenvalue " << k + 1 << " shown " << x[k] << ", true " << truth[k];
            shown.worst = std::max(shown.worst, std::fabs(x[k] - truth[k]) / largest);
        }
    }
    return shown;
}

// Scaling K by 2^a and M by 2^b scales every eigenvalue by 2^(a - b) exactly,
// so the right answer for the scaled pencil is known from dsygv on the
// unscaled one, where it is accurate (kappa(M) <= about 160 here).
TEST(CheckedReport, ScaleInvariance)
{
    const unsigned seed = 20261208;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<int> power(-300, 300);
    for (int n = 2; n <= 4; ++n) {
        int mended = 0;
        for (int trial = 0; trial < 300; ++trial) {
            const Problem p = RandomProblem(rng, n);
            const int a = power(rng);
            const int b = power(rng);
            std::vector<double> truth = LapackEigenvalues(p);
            for (double& x : truth) x = std::ldexp(x, a - b);
            Problem scaled = p;
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    scaled.k[i][j] = std::ldexp(p.k[i][j], a);
                    scaled.m[i][j] = std::ldexp(p.m[i][j], b);
                }
            const std::string what = "n = " + std::to_string(n) + ", trial " + std::to_string(trial) +
                                     ", 2^" + std::to_string(a) + " K, 2^" + std::to_string(b) + " M";
            mended += ExpectShownRight(scaled, truth, what).outcome == Outcome::Mended ? 1 : 0;
        }
        std::printf("n = %d: 300 scaled pencils, %d mended\n", n, mended);
        EXPECT_GT(mended, n == 2 ? 0 : 100) << "the scales should defeat the closed form often";
    }
}

// Chains, bars, shear buildings and shafts in SI units; uniform chains against
// their formula, the rest against dsygv. Prints the figures the README quotes.
TEST(CheckedReport, PhysicalProblemsInSiUnits)
{
    for (int n = 2; n <= 4; ++n) {
        int total = 0;
        int mended = 0;
        double worst = 0.0;
        for (const PhysicalProblem& problem : PhysicalProblems(n, 60, 1000 + static_cast<unsigned>(n))) {
            const std::vector<double> truth = problem.exact.empty() ? LapackEigenvalues(problem.p) : problem.exact;
            const Shown shown = ExpectShownRight(problem.p, truth, problem.what);
            ++total;
            if (shown.outcome == Outcome::Mended) {
                ++mended;
                worst = std::max(worst, shown.worst);
            }
        }
        std::printf("n = %d: %d physical problems, %d keep the closed form's output, %d mended; "
                    "worst mended error %.2g of max|lambda|\n",
                    n, total, total - mended, mended, worst);
        EXPECT_LT(worst, 1e-14);
    }
}

// Bit for bit the closed form's output where it is right: K = M = I for
// n = 4 shows both reports of its cascade, and the check keeps them.
TEST(CheckedReport, RightOutputIsShownAsItStands)
{
    Harness h;
    const double identity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    h.Load(identity, identity);
    EXPECT_EQ(varno::Calculate(h.state, h.grid, h.channel), Outcome::ClosedForm);
    const std::string ones = "\n\n  Eigenvalues \n\n lambda1 =           1 \n lambda2 =           1 \n lambda3 =   "
                             "        1 \n lambda4 =           1 ";
    EXPECT_EQ(h.channel.messages, (std::vector<std::string>{ones, ones}));
}

// The mend replaces only what is shown: every register holds what the closed
// form's own path left there, bit for bit.
TEST(CheckedReport, MendKeepsTheClosedFormsRegisters)
{
    const double grams[4][4] = {{2e6, -1e6, 0, 0}, {0, 2e6, -1e6, 0}, {0, 0, 2e6, -1e6}, {0, 0, 0, 1e6}};
    const double gram[4][4] = {{1e-3, 0, 0, 0}, {0, 1e-3, 0, 0}, {0, 0, 1e-3, 0}, {0, 0, 0, 1e-3}};
    const double kDiag[3][3] = {{-2, 0, 0}, {0, -2, 0}, {0, 0, 0}};
    const double identity3[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const double k2[2][2] = {{1, 0}, {0, 1}};
    const double tiny2[2][2] = {{1e-150, 0}, {0, 1e-150}};
    Harness mended[3];
    Harness closedForm[3];
    for (Harness* h : {&mended[0], &closedForm[0]}) h->Load(k2, tiny2);
    for (Harness* h : {&mended[1], &closedForm[1]}) h->Load(kDiag, identity3);
    for (Harness* h : {&mended[2], &closedForm[2]}) h->Load(grams, gram);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(varno::Calculate(mended[c].state, mended[c].grid, mended[c].channel), Outcome::Mended);
        ProgramState& s = closedForm[c].state;
        ReadSelections(s.store, closedForm[c].grid);
        Symmetrise(s.store);
        const int n = s.store.Dimension;
        n == 2 ? SolveTwoByTwo(s, closedForm[c].channel)
               : n == 3 ? SolveThreeByThree(s, closedForm[c].channel) : SolveFourByFour(s, closedForm[c].channel);
        const ProgramState& m = mended[c].state;
        EXPECT_EQ(std::memcmp(&m.coef, &s.coef, sizeof s.coef), 0) << "n = " << n;
        EXPECT_EQ(std::memcmp(&m.roots, &s.roots, sizeof s.roots), 0) << "n = " << n;
        EXPECT_EQ(std::memcmp(&m.twoByTwo, &s.twoByTwo, sizeof s.twoByTwo), 0) << "n = " << n;
        EXPECT_EQ(Bits(m.SwapTemp), Bits(s.SwapTemp)) << "n = " << n;
        EXPECT_EQ(mended[c].channel.reports.size(), 1u);
    }
}

// Beyond the messages kept in place, the rest spill over; none is lost or
// reordered, reports keep their values and forms, and each is written on
// release exactly as the solver writes it, into its buffer.
TEST(HoldingChannel, ReleasesEveryMessageInOrder)
{
    HoldingChannel held;
    RecordingChannel expected;
    TextBuffers direct;
    for (int i = 0; i < 9; ++i) {
        const std::string text = "message " + std::to_string(i);
        const Eigenvalue values[4] = {{static_cast<double>(i), 0.5}, {-1.0, 0.0}, {2.5, 0.0}, {1e-9, 0.0}};
        const ReportForm form{i % 2 == 0, 4 + i % 2};
        const std::size_t n = 2 + static_cast<std::size_t>(i % 3);
        for (ReportChannel* channel : {static_cast<ReportChannel*>(&held), static_cast<ReportChannel*>(&expected)}) {
            if (i % 3 == 0)
                ShowEigenvalueReport(*channel, n == 4 ? direct.QuarticReportText : direct.ReportText,
                                     std::span(values, n), form);
            else if (i % 3 == 1)
                channel->ShowRefusal(text);
            else
                channel->ShowMessage(text);
        }
    }
    RecordingChannel released;
    TextBuffers buffers;
    held.ReleaseTo(released, buffers);
    EXPECT_EQ(released.messages, expected.messages);
    EXPECT_EQ(buffers.ReportText, direct.ReportText);
    ASSERT_EQ(released.reports.size(), expected.reports.size());
    for (std::size_t r = 0; r < released.reports.size(); ++r) {
        EXPECT_EQ(released.reports[r].values.at(0).re, expected.reports[r].values.at(0).re);
        EXPECT_EQ(released.reports[r].form.complex, expected.reports[r].form.complex);
        EXPECT_EQ(released.reports[r].form.precision, expected.reports[r].form.precision);
    }
}

using Grid3 = double[3][3];

const double Nan = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

MatrixStore Store3(const Grid3& k, const Grid3& m)
{
    MatrixStore store;
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j) store.K[i + 1][j + 1] = k[i][j], store.M[i + 1][j + 1] = m[i][j];
    return store;
}

// M, -M, K, -K in turn; the first safely definite decides, as typed, then
// in the units of its own diagonal, then in the units that balance the
// pair. One that is definite only to within rounding, or a non-finite
// entry, decides nothing.
TEST(Inertia, WhichMatrixIsDefinite)
{
    const struct {
        const char* name;
        Grid3 k;
        Grid3 m;
        Definiteness definiteness;
        DefiniteMatrix which;
    } cases[] = {
        {"m", {{2, -1, 0}, {-1, 2, -1}, {0, -1, 1}}, {{2, 1, 0}, {1, 2, 1}, {0, 1, 2}}, Definiteness::Safe, DefiniteMatrix::M},
        {"minus_m", {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {{-2, 1, 0}, {1, -2, 0}, {0, 0, -1}}, Definiteness::Safe, DefiniteMatrix::MinusM},
        {"k_buckling", {{4, -2, 0}, {-2, 4, -2}, {0, -2, 4}}, {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, Definiteness::Safe, DefiniteMatrix::K},
        {"minus_k", {{-4, 0, 0}, {0, -4, 0}, {0, 0, -4}}, {{1, 0, 0}, {0, 0, 0}, {0, 0, -1}}, Definiteness::Safe, DefiniteMatrix::MinusK},
        {"m_first", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, Definiteness::Safe, DefiniteMatrix::M},
        {"m_at_smallest_normal", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{1, 0, 0}, {0, 2.3e-308, 0}, {0, 0, 1}}, Definiteness::Safe, DefiniteMatrix::K},
        // A diagonal M with positive entries is definite whatever their spread.
        {"m_diagonal_beside_k_indefinite", {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {{1, 0, 0}, {0, 2.3e-308, 0}, {0, 0, 1}}, Definiteness::Safe, DefiniteMatrix::M},
        // Definite in the units that balance the pair, whatever they are typed in.
        {"subnormal_pivot", {{1, 0, 0}, {0, 2, 0}, {0, 0, 0}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1e-310}}, Definiteness::Safe, DefiniteMatrix::M},
        {"graded_m", {{1e-16, 0, 0}, {0, 1, 0}, {0, 0, 1e16}}, {{2e-16, 1e-16, 0}, {1e-16, 2, 1e8}, {0, 1e8, 2e16}}, Definiteness::Safe, DefiniteMatrix::M},
        // A mass at rounding level beside a stiffness that is not: in the
        // units of M's own diagonal it weighs as the others do.
        {"mass_at_rounding_level", {{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1e-17}}, Definiteness::Safe, DefiniteMatrix::M},
        {"graded_by_its_diagonal", {{-1, 0.5, 0}, {0.5, 2, -1}, {0, -1, 3}}, {{1, 1e-9, 0}, {1e-9, 1e-17, 0}, {0, 0, 1}}, Definiteness::Safe, DefiniteMatrix::M},
        {"semidefinite", {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {{1, 1, 0}, {1, 1, 0}, {0, 0, 1}}, Definiteness::RoundingLevel, DefiniteMatrix::M},
        {"m_within_rounding", {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {{1, 0, 0}, {0, 1e-16, 0}, {0, 0, 1}}, Definiteness::Safe, DefiniteMatrix::M},
        {"m_singular_by_its_diagonal", {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {{1, 1e-8, 0}, {1e-8, 1e-16, 0}, {0, 0, 1}}, Definiteness::RoundingLevel, DefiniteMatrix::M},
        {"indefinite", {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, Definiteness::None, DefiniteMatrix::M},
        {"nan_in_k", {{Nan, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, Definiteness::None, DefiniteMatrix::M},
        {"inf_in_m", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{Inf, 0, 0}, {0, 1, 0}, {0, 0, 1}}, Definiteness::None, DefiniteMatrix::M},
    };
    for (const auto& c : cases) {
        const MatrixStore store = Store3(c.k, c.m);
        const PencilClass got = ClassifyPencil(store.K, store.M, 3);
        EXPECT_EQ(got.definiteness, c.definiteness) << c.name;
        if (c.definiteness == Definiteness::Safe) {
            EXPECT_EQ(got.pencil.definite, c.which) << c.name;
        }
    }
}

// The counts at an interval's ends decide a claim exactly, also where an end
// is the eigenvalue itself: K = diag(0, 1, 2), M = I.
TEST(Inertia, ClaimsAtTheirBoundaries)
{
    const struct {
        EigenvalueClaim claim;
        bool holds;
    } rows[] = {
        {{1, 0.0, 0.0}, true},   {{1, -1e-300, 1e-300}, true}, {{1, 1e-300, 1.0}, false},
        {{2, 1.0, 1.0}, true},   {{2, 0.5, 0.999}, false},     {{3, 2.0, 5.0}, true},
        {{3, 1.5, 1.9999999}, false}, {{2, -Inf, Inf}, true},  {{2, Nan, 2.0}, false},
    };
    const Grid3 k = {{0, 0, 0}, {0, 1, 0}, {0, 0, 2}};
    const Grid3 m = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const MatrixStore store = Store3(k, m);
    const PencilClass c = ClassifyPencil(store.K, store.M, 3);
    ASSERT_EQ(c.definiteness, Definiteness::Safe);
    for (const auto& row : rows)
        EXPECT_EQ(ClaimsHold(c.pencil, std::span(&row.claim, 1)), row.holds)
            << "k = " << row.claim.k << " in [" << row.claim.lo << ", " << row.claim.hi << "]";
}

// Bunch-Kaufman's inertia against an independent long double count, on
// matrices that need its 2 x 2 pivots or are singular, and on random ones of
// every sign pattern; and its solve, by the residual.
TEST(Inertia, BunchKaufmanInertiaAndSolve)
{
    const unsigned seed = 2412;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> g;
    std::vector<std::pair<int, Square4>> cases = {
        {2, {{{0, 1, 0, 0}, {1, 0, 0, 0}}}},
        {2, {{{0, 0, 0, 0}, {0, 0, 0, 0}}}},
        {3, {{{1, 2, 0, 0}, {2, 1, 0, 0}, {0, 0, -1, 0}}}},
        {4, {{{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 2}, {0, 0, 2, 0}}}},
        {3, {{{1e-10, 1, 1, 0}, {1, 1, 1, 0}, {1, 1, 1 - 1e-8, 0}}}},
    };
    for (int k = 0; k < 300; ++k) {
        Square4 s{};
        const int n = 2 + k % 3;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j <= i; ++j) s[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] =
                s[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)] = g(rng) * std::pow(10.0, 3 * g(rng));
        cases.emplace_back(n, s);
    }
    for (const auto& [n, s] : cases) {
        LongSquare reference;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                reference[i][j] = static_cast<long double>(s[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
        const SymmetricFactor f = FactorBunchKaufman(s, n);
        EXPECT_EQ(f.negative, ReferenceNegatives(reference, n, false)) << "n = " << n << ", s11 = " << s[0][0];
        EXPECT_EQ(f.negative + f.zero, ReferenceNegatives(reference, n, true)) << "n = " << n << ", s11 = " << s[0][0];
        if (f.zero > 0) continue;
        Vector4 x{1.0, -2.0, 3.0, -4.0};
        const Vector4 b = x;
        SolveFactored(f, x);
        double residual = 0.0, scale = 0.0;
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
            double r = -b[i];
            for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j) {
                r += s[i][j] * x[j];
                scale = std::max(scale, std::fabs(s[i][j] * x[j]));
            }
            residual = std::max(residual, std::fabs(r));
        }
        EXPECT_LE(residual, 64 * DBL_EPSILON * std::max(scale, 1.0)) << "n = " << n << ", s11 = " << s[0][0];
    }
}

// A plain LDL^T of these, without pivoting, gets the count wrong: its tiny
// first pivot lets rounding decide the last one's sign. The growth that comes
// with it hands them to Bunch-Kaufman.
TEST(Inertia, CountsThatNeedPivoting)
{
    const struct {
        double delta, eta;
        int below;  // eigenvalues of [[delta, 1, 1], [1, 1, 1], [1, 1, 1 + eta]] below 0
    } rows[] = {{1e-8, 1e-10, 1}, {1e-10, -1e-8, 2}, {1e-6, 1e-8, 1}};
    for (const auto& row : rows) {
        const Grid3 k = {{row.delta, 1, 1}, {1, 1, 1}, {1, 1, 1 + row.eta}};
        const Grid3 m = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        const MatrixStore store = Store3(k, m);
        const PencilClass c = ClassifyPencil(store.K, store.M, 3);
        ASSERT_EQ(c.definiteness, Definiteness::Safe);
        EXPECT_EQ(CountBelow(c.pencil, 0.0, false), row.below) << row.delta << ", " << row.eta;
    }
}

// Known eigenvalues, by the full path and by bisection alone: repeated, zero,
// graded, beyond the double range, buckling with M of mixed signs, and an
// infinite one where M is singular.
TEST(Inertia, KnownEigenvaluesBothWays)
{
    const double s5 = std::sqrt(5.0);
    const struct {
        const char* name;
        int n;
        double k[4][4];
        double m[4][4];
        double lambda[4];
    } rows[] = {
        {"diagonal", 4, {{2, 0, 0, 0}, {0, 5, 0, 0}, {0, 0, 7, 0}, {0, 0, 0, 11}}, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}, {2, 5, 7, 11}},
        {"fourfold", 4, {{3, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 3, 0}, {0, 0, 0, 3}}, {{3, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 3, 0}, {0, 0, 0, 3}}, {1, 1, 1, 1}},
        {"free_free_chain", 3, {{1, -1, 0}, {-1, 2, -1}, {0, -1, 1}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 1, 3}},
        {"two_masses", 2, {{2, -1}, {-1, 1}}, {{1, 0}, {0, 1}}, {(3 - s5) / 2, (3 + s5) / 2}},
        {"graded", 2, {{1e-20, 0}, {0, 1}}, {{1, 0}, {0, 1}}, {1e-20, 1}},
        {"overflows", 2, {{1e300, 0}, {0, 1e300}}, {{1e-300, 0}, {0, 1e-300}}, {Inf, Inf}},
        {"underflows", 2, {{1e-300, 0}, {0, 2e-300}}, {{1e300, 0}, {0, 1e300}}, {0, 0}},
        {"buckling", 2, {{2, 0}, {0, 6}}, {{1, 0}, {0, -3}}, {-2, 2}},
        {"singular_m", 2, {{4e5, -2e5}, {-2e5, 4e5}}, {{1, 0}, {0, 0}}, {3e5, Inf}},
        {"minus_k", 3, {{-1, 0, 0}, {0, -2, 0}, {0, 0, -4}}, {{1, 0, 0}, {0, -1, 0}, {0, 0, 0}}, {-1, 2, Inf}},
    };
    for (const auto& row : rows) {
        MatrixStore store;
        for (int i = 0; i < row.n; ++i)
            for (int j = 0; j < row.n; ++j) {
                store.K[i + 1][j + 1] = row.k[i][j];
                store.M[i + 1][j + 1] = row.m[i][j];
            }
        const PencilClass c = ClassifyPencil(store.K, store.M, row.n);
        ASSERT_EQ(c.definiteness, Definiteness::Safe) << row.name;
        double largest = 0.0;
        for (int i = 0; i < row.n; ++i)
            if (std::isfinite(row.lambda[i])) largest = std::max(largest, std::fabs(row.lambda[i]));
        for (const auto& [how, proved] :
             {std::pair{"counting", PencilEigenvalues(c.pencil)}, {"bisection", BisectedEigenvalues(c.pencil)}}) {
            const std::array<double, MaxOrder> lambda = LambdaOf(c.pencil, proved);
            for (int i = 0; i < row.n; ++i) {
                const double got = lambda[static_cast<std::size_t>(i)];
                if (std::isinf(row.lambda[i]))
                    EXPECT_EQ(got, row.lambda[i]) << row.name << " by " << how;
                else  // a few units of rounding of the largest, as dsygv
                    EXPECT_NEAR(got, row.lambda[i], 8e-16 * largest) << row.name << " by " << how;
            }
        }
    }
}

}  // namespace
}  // namespace varno::test
