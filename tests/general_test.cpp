// Pencils where neither M, -M, K nor -K is definite: the closed form's
// output is kept where it matches the QZ eigenvalues, else replaced. Judged
// against the roots of det(K - lambda M) in __float128
// (tests/general_reference.h), by the rule: every report matches the true
// eigenvalues one to one as it shows them, each within 1e-6 of max|lambda|.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <Eigen/Core>

#include "certified/pencil_vectors.h"
#include "certified/proof.h"
#include "cli/batch.h"
#include "driver/general_check.h"
#include "solvers/quartic_report.h"
#include "tests/general_reference.h"
#include "tests/harness.h"
#include "tests/reference_problems.h"

namespace varno::test {
namespace {

const double Inf = std::numeric_limits<double>::infinity();
const double Nan = std::numeric_limits<double>::quiet_NaN();

// The faults the check mends, each with the one text it must show.
TEST(GeneralPencil, WorkedExamples)
{
    const struct {
        const char* name;
        const char* k;
        const char* m;
        const char* text;
        bool mended;
        int exit;
    } rows[] = {
        {"small_complex_pair_not_a_double_real_one",
         "-0.0008657464026941334 0.0017490858133239694 0.002523771044571267; 0.004561587369172819 "
         "0.0029416117261060262; 0.003332606946176263",
         "5016088.374569815 -4063601.9799255114 3324120.687547054; 3682945.1326123956 2416569.264595306; "
         "-23778687.57536484",
         "Eigenvalues \n\n lambda1=  -6.657e-11\t+j (  -1.129e-10)\n lambda2=  -6.657e-11 \t+j (   1.129e-10)\n "
         "lambda3=   6.066e-09 \t+j (           0)",
         true, 0},
        {"quartic_refused_in_small_units",
         "-0.008854352712593449 0.002042498946401852 -0.004475601024312057 -0.0012137475571008445; "
         "0.008188010888289108 0.003291508465930656 -0.00024073742793785188; 0.0073954112830848595 "
         "-0.00792142351511871; -0.00788621877861658",
         "0.0013651687697362612 -0.003838544678365412 0.00493860431871317 -3.152604579855686e-05; "
         "0.005095558330931076 -0.0012868436987985288 -0.0011049932292932529; -0.005632943332437063 "
         "-0.0028527238580263034; -0.005239581667395615",
         "\n\n  Eigenvalues \n\n lambda1 =    -0.95414 +j (    -1.5778) \n lambda2 =    -0.95414 +j (     1.5778) \n "
         "lambda3 =      1.5199 +j (          0) \n lambda4 =        4.58 +j (          0) ",
         true, 0},
        {"quartic_imaginary_pairs_not_four_zeros", "0 1 0 0; 0 0 0; 0 2; 0", "1 0 0 0; -1 0 0; 1 0; -1",
         "\n\n  Eigenvalues \n\n lambda1 =           0 +j (         -2) \n lambda2 =           0 +j (         -1) \n "
         "lambda3 =           0 +j (          1) \n lambda4 =           0 +j (          2) ",
         true, 0},
        {"infinite_entry_not_computed_with", "3000 -1000; 1000", "1 0; 1e999", " M(2,2) is not a finite number.",
         false, 1},
        {"infinite_entry_of_a_definite_looking_pencil", "1 -1e999; 1", "1 0; 1", " K(1,2) is not a finite number.",
         false, 1},
        {"singular_pencil_has_no_eigenvalues", "1 0 0; -1 0; 0", "0 1 0; 0 0; 0", SingularPencilMessage, true, 1},
        // Rows summing to zero in decimal, not quite in binary: regular, with
        // two eigenvalues as determined as any and a third that may be inf.
        {"nearly_singular_pencil_is_regular", "0.1 -0.3 0.2; 0.5 -0.2; 0", "0.7 0.1 -0.8; -0.4 0.3; 0.5",
         "Eigenvalues \n\n lambda1=      -1.157 \n lambda2=     -0.1193 \n lambda3=         inf", true, 0},
        // A degree of freedom in other units: balanced, not taken for noise.
        {"badly_scaled_dof_not_taken_for_singular", "1 0 0; -2 0; 1e-13", "1 0 0; 1 0; -1e-13",
         "Eigenvalues \n\n lambda1=          -2 \n lambda2=          -1 \n lambda3=           1", false, 0},
        // M singular, the pencil regular: no refusal, but its eigenvalues.
        {"refusal_of_a_regular_pencil_mended", "1 0 0; -1 0; 1", "0 1 0; 0 0; 0",
         "Eigenvalues \n\n lambda1=           0\t+j (          -1)\n lambda2=           0 \t+j (           1)\n "
         "lambda3=         inf \t+j (           0)",
         true, 0},
        // A tiny mass gives its quotient, not inf.
        {"tiny_mass_gives_its_quotient", "1 0 0; 2 0; -1", "1 0 0; -1 0; 1e-17",
         "Eigenvalues \n\n lambda1=      -1e+17 \n lambda2=          -2 \n lambda3=           1", true, 0},
        {"right_closed_form_kept", "2 0; -3", "1 0; -1", "Eigenvalues \n\n lambda1=           3 \n lambda2=           2",
         false, 0},
    };
    for (const auto& row : rows) {
        const BatchParse parsed = ParseRowsArguments(row.k, row.m);
        ASSERT_TRUE(parsed.ok()) << row.name;
        ProgramState state;
        const BatchRun run = RunBatch(parsed.problem, state);
        EXPECT_EQ(run.channel.messages, std::vector<std::string>{row.text}) << row.name;
        EXPECT_EQ(run.mended, row.mended) << row.name;
        EXPECT_EQ(ExitStatusOf(run), row.exit) << row.name;
    }
}

// An infinite or NaN entry is refused after the validation, at its first
// position (K before M, row by row), and only inside the leading n x n block.
TEST(GeneralPencil, NonFiniteEntriesNamed)
{
    const struct {
        const char* name;
        int n;
        bool inK;
        int i, j;
        double value;
        std::vector<std::string> messages;
    } rows[] = {
        {"nan_in_k", 2, true, 1, 2, Nan, {" K(1,2) is not a finite number."}},
        {"minus_infinity_in_m", 3, false, 3, 3, -Inf, {" M(3,3) is not a finite number."}},
        {"outside_the_block", 2, true, 3, 3, Inf, {"Eigenvalues \n\n lambda1=           1 \n lambda2=           2"}},
    };
    for (const auto& row : rows) {
        Harness h;
        for (int i = 1; i <= row.n; ++i) h.K(i, i) = i, h.M(i, i) = 1;
        (row.inK ? h.K(row.i, row.j) : h.M(row.i, row.j)) = row.value;
        h.grid.SetListSelection(id::DimensionList, row.n - 2);
        const Outcome outcome = Calculate(h.state, h.grid, h.channel);
        EXPECT_EQ(h.channel.messages, row.messages) << row.name;
        EXPECT_EQ(outcome == Outcome::Refused, row.messages[0].find("finite") != std::string::npos) << row.name;
    }
    Harness h;  // the validation first: an empty K is refused as ever
    h.M(1, 1) = Inf;
    h.grid.SetListSelection(id::DimensionList, 0);
    h.Calculate();
    EXPECT_EQ(h.channel.messages, std::vector<std::string>{PleaseEnterK});
}

// The check on its own: one to one, as the report shows the values, each
// within half of 1e-12 of its own s, or printing as it does.
TEST(GeneralPencil, ShownValuesMatchedOneToOne)
{
    GeneralEigenvalues pair;  // -1 +- 2j and 3
    pair.n = 3;
    pair.lambda = {{{-1, -2}, {-1, 2}, {3, 0}, {}}};
    pair.scale = {2, 2, 2e6, 0};
    pair.cluster = {0, 1, 2, 3};
    pair.unitScale = 1;
    const struct {
        const char* name;
        std::vector<Eigenvalue> shown;
        bool complex;
        bool match;
    } rows[] = {
        {"exact", {{-1, 2}, {-1, -2}, {3, 0}}, true, true},
        {"within_its_own_s", {{-1 + 9e-13, -2}, {-1, 2 - 9e-13}, {3 + 9e-7, 0}}, true, true},
        {"beyond_its_own_s", {{-1, 2}, {-1, -2}, {3 + 1.1e-3, 0}}, true, false},
        {"real_shown_with_zero_imaginary_part", {{-1, 2}, {-1, -2}, {3 + 1.1e-6, 0}}, true, true},
        {"printing_the_same", {{-1.00045, -2}, {-1, 2.00045}, {3, 0}}, true, true},  // 4.5e-4 apart
        {"printing_otherwise", {{-1.001, -2}, {-1, 2}, {3, 0}}, true, false},
        {"pair_shown_real", {{-1, -2}, {-1, 2}, {3, 0}}, false, false},
        {"one_value_for_both", {{-1, 2}, {-1, 2}, {3, 0}}, true, false},
        {"nan", {{-1, 2}, {-1, -2}, {Nan, 0}}, true, false},
        {"a_value_missing", {{-1, 2}, {-1, -2}}, true, false},
    };
    for (const auto& row : rows) EXPECT_EQ(ShownValuesMatch(row.shown, row.complex, 4, pair), row.match) << row.name;
    GeneralEigenvalues infinite = pair;
    infinite.infinite = 1;
    infinite.lambda[2] = {Inf, 0};
    EXPECT_FALSE(ShownValuesMatch(rows[0].shown, true, 4, infinite)) << "numbers for an infinite eigenvalue";
    // A cluster is judged by its mean, within 1e-12 of |K| / |M| + |mean|.
    GeneralEigenvalues triple;
    triple.n = 3;
    triple.lambda = {{{4.99999, -1e-5}, {4.99999, 1e-5}, {5.00002, 3e-6}, {}}};  // a mean 1e-6 off the real axis
    triple.scale = {1e9, 1e9, 1e9, 0};
    triple.cluster = {0, 0, 0, 3};
    triple.unitScale = 1;
    const std::vector<Eigenvalue> exact{{5, 0}, {5, 0}, {5, 0}};
    EXPECT_TRUE(ShownValuesMatch(exact, false, 5, triple));
    EXPECT_FALSE(ShownValuesMatch(std::vector<Eigenvalue>{{4.99999, -1e-5}, {4.99999, 1e-5}, {5.00002, 0}}, true, 5, triple))
        << "split values of a cluster";
    for (std::size_t k = 0; k < 3; ++k) {  // shown as the real mean, three times
        EXPECT_EQ(ShownEigenvalues(triple)[k].im, 0.0);
        EXPECT_NEAR(ShownEigenvalues(triple)[k].re, 5.0, 1e-12);
    }
    // Where a value's conditioning could not be told, only QZ's own value is
    // right, however vast its s came out.
    GeneralEigenvalues vast = pair;
    vast.scale = {2, 2, HUGE_VAL, 0};
    EXPECT_FALSE(ShownValuesMatch(std::vector<Eigenvalue>{{-1, 2}, {-1, -2}, {4, 0}}, true, 4, vast));

    HoldingChannel refused;  // a refusal is never right for a regular pencil
    refused.ShowRefusal("Error:  determinant of M matrix = 0 ");
    refused.ShowReport("report", rows[0].shown, {true, 4});
    EXPECT_FALSE(HeldOutputMatches(refused, pair));
    EXPECT_TRUE(HeldRefusal(refused));
    HoldingChannel note;
    note.ShowMessage("Complex division error.");
    EXPECT_FALSE(HeldOutputMatches(note, pair)) << "no report at all";
    note.ShowReport("report", rows[0].shown, {true, 4});
    EXPECT_TRUE(HeldOutputMatches(note, pair));
    EXPECT_FALSE(HeldRefusal(note));
}

// Both matrices indefinite, M well conditioned (eigenvalues of both signs,
// magnitudes in [0.5, 2]), K with entries in [-1, 1] and diagonal entries of
// both signs; in units from 1e-6 to 1e9, each matrix its own, and every
// fourth at unit scale.
TEST(GeneralPencil, SeededPencilsAtManyScales)
{
    const unsigned seed = 1515;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0), size(0.5, 2.0), decades(-6.0, 9.0);
    for (int n = 2; n <= 4; ++n) {
        int problems = 0, mended = 0, complex = 0, wrong = 0;
        for (int trial = 0; trial < 400; ++trial) {
            const double kUnit = trial % 4 == 0 ? 1.0 : std::pow(10.0, decades(rng));
            const double mUnit = trial % 4 == 0 ? 1.0 : std::pow(10.0, decades(rng));
            double k[4][4] = {}, m[4][4] = {};
            const auto q = RandomOrthogonal(rng, n);
            double d[4];
            for (int i = 0; i < n; ++i) d[i] = (i % 2 == 0 ? 1.0 : -1.0) * size(rng);
            for (int i = 0; i < n; ++i)
                for (int j = i; j < n; ++j) {
                    double s = 0.0;
                    for (int t = 0; t < n; ++t)
                        s += q[static_cast<std::size_t>(t)][static_cast<std::size_t>(i)] * d[t] *
                             q[static_cast<std::size_t>(t)][static_cast<std::size_t>(j)];
                    m[i][j] = m[j][i] = s * mUnit;
                    k[i][j] = k[j][i] = u(rng) * kUnit;
                }
            k[0][0] = std::fabs(k[0][0]), k[1][1] = -std::fabs(k[1][1]);
            Harness h;
            h.LoadUpper(n, k, m);
            ASSERT_EQ(ClassifyPencil(h.state.store.K, h.state.store.M, n).definiteness, Definiteness::None);
            const GeneralReference reference = ReferenceRoots(n, k, m);
            ASSERT_LE(reference.bound, Quad(1e-12) * reference.largest) << "the reference itself is in doubt";
            const Outcome outcome = Calculate(h.state, h.grid, h.channel);
            ++problems;
            mended += outcome == Outcome::Mended ? 1 : 0;
            bool right = !h.channel.reports.empty();
            std::string why = right ? "" : "no report";
            for (const RecordedReport& report : h.channel.reports) {
                complex += report.form.complex ? 1 : 0;
                right = right && ShownRightForRoots(report.values, report.form.complex, reference, &why);
            }
            wrong += right ? 0 : 1;
            EXPECT_TRUE(right) << "n = " << n << ", trial " << trial << ": " << why << "\n"
                               << h.channel.messages.front();
        }
        std::printf("n = %d: %d problems, %d keep the closed form's output, %d mended, %d reports complex, %d wrong\n",
                    n, problems, problems - mended, mended, complex, wrong);
    }
}

// QZ took a pencil for singular, or gave up (the refusal then stood), where
// entries far below the norm sat beside entries near it; and a pencil in
// units some 2^505 apart keeps its eigenvalues under that change of units.
TEST(GeneralPencil, EntriesFarBelowTheNorm)
{
    struct Case {
        int n;
        double k[4][4], m[4][4];
    };
    const double e = 1.3599969691677753e+248;
    std::vector<Case> cases = {
        {3,
         {{-2.0001994547831363, 1.3701024798229493e+248, 5.468341515090247e-304},
          {1.3701024798229493e+248, 1.359997323406042e+248, 1.7600034121431682e-70},
          {5.468341515090247e-304, 1.7600034121431682e-70, 5.26254956163e-312}},
         {{-2.0058898159889002e+52, 6.27165402815572e-310, 1.3598737965592082e+248},
          {6.27165402815572e-310, 1.35753943306152e+248, 4.556953037429244e-305},
          {1.3598737965592082e+248, 4.556953037429244e-305, e}}},
        {3,
         {{4.667261458395893e-62, 6.2716633759979e-310, 7.564549089016045e-61}, {6.2716633759979e-310, e, e},
          {7.564549089016045e-61, e, 0.0}},
         {{1.3432712006409198e+248, 0.0, e}, {0.0, e, 1.1543631377198186e-65}, {e, 1.1543631377198186e-65, 0.0}}},
    };
    // D K D and D M D, D = diag(1, 2^-505, 1, 1): the same eigenvalues.
    Case units{4, {{2, 1, 0, -1}, {1, -3, 1, 0.5}, {0, 1, 1, 2}, {-1, 0.5, 2, -1}},
               {{1, 0.5, 0, 0}, {0.5, -1, 0.25, 0}, {0, 0.25, 2, 1}, {0, 0, 1, -0.5}}};
    const GeneralReference plain = ReferenceRoots(4, units.k, units.m);
    const double d[4] = {1.0, 0x1p-505, 1.0, 1.0};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) units.k[i][j] *= d[i] * d[j], units.m[i][j] *= d[i] * d[j];
    cases.push_back(units);
    for (std::size_t c = 0; c < cases.size(); ++c) {
        const Case& x = cases[c];
        const GeneralReference reference = c + 1 == cases.size() ? plain : ReferenceRoots(x.n, x.k, x.m);
        ASSERT_FALSE(reference.lambda.empty());
        Harness h;
        h.LoadUpper(x.n, x.k, x.m);
        Calculate(h.state, h.grid, h.channel);
        ASSERT_EQ(h.channel.reports.size(), 1u) << "case " << c << ": " << h.channel.messages.front();
        std::string why;
        EXPECT_TRUE(ShownRightForRoots(h.channel.reports[0].values, h.channel.reports[0].form.complex, reference, &why))
            << "case " << c << ": " << why;
    }
}

// With n = 3, entries typed earlier at n = 4 stay in the store and pass the
// all-zero check while K's shown block is zero: QZ looped for ever where M's
// is zero or singular too, and gave up elsewhere.
TEST(GeneralPencil, ShownBlockOfKZero)
{
    const struct {
        const char* name;
        double m11, m12, m22, m33;
        bool singular;
    } cases[] = {
        {"m_zero_too", 0, 0, 0, 0, true},
        {"m_singular", 0, 1, 0, 0, true},
        {"m_indefinite", 0, 1, 0, 2, false},
    };
    for (const auto& c : cases) {
        Harness h;
        h.SelectDimension(4);
        h.K(1, 4) = 5.0;
        h.M(1, 4) = 7.0;
        h.SelectDimension(3);
        h.M(1, 1) = c.m11, h.M(1, 2) = c.m12, h.M(2, 2) = c.m22, h.M(3, 3) = c.m33;
        h.Calculate();
        ASSERT_EQ(h.channel.messages.size(), 1u) << c.name;
        if (c.singular) {
            EXPECT_EQ(h.channel.messages[0], SingularPencilMessage) << c.name;
            continue;
        }
        ASSERT_EQ(h.channel.reports.size(), 1u) << c.name << ": " << h.channel.messages[0];
        for (const Eigenvalue& x : h.channel.reports[0].values) EXPECT_TRUE(x.re == 0.0 && x.im == 0.0) << c.name;
    }
}

// The n = 4 complex form, byte for byte.
TEST(GeneralPencil, QuarticComplexText)
{
    EXPECT_EQ(QuarticComplexReportFor({{{-10.5, -1e-7}, {0, 0}, {0.25, 3}, {123.456, Inf}}}),
              "\n\n  Eigenvalues \n\n lambda1 =       -10.5 +j (     -1e-07) \n lambda2 =           0 +j (          0) \n "
              "lambda3 =        0.25 +j (          3) \n lambda4 =      123.46 +j (        inf) ");
}

// The same bits whatever the process did before, as -j N needs, on two
// pencils that QZ's fixed shifts do not bring home: det(K - lambda M) =
// lambda^3, a defective triple zero, and two fuzzers' with eigenvalues
// +-x +-iy, which stall QZ in every order; on the second, balanced to a
// pattern of equal entries among zeros, the real Schur form of M^-1 K stalls
// too. Under these states of rand, Eigen's random shifts would give other
// bits.
TEST(GeneralPencil, SameBitsWhateverTheStateOfRand)
{
    const struct {
        int n;
        double k[4][4], m[4][4];
        double modulus;  // of every eigenvalue
    } cases[] = {
        {3, {{0, -2e5, 0}, {0, 0, -2e5}, {0, 0, 0}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, 0.0},
        {4,
         {{1.156e-321, 5.43230922487e-312, -3.105036184601461e+231, 9.563454668117583e-308},
          {0, 0.0, 0.0, -3.105036184601461e+231},
          {0, 0, 9.44e-322, 0.0},
          {0, 0, 0, -3.12929427979366e+231}},
         {{0.0, 6.578238974576366e+272, 5.681078060596834e+195, 1.156e-321},
          {0, 0.0, 1.003759609146086e+268, 5.681078058013379e+195},
          {0, 0, 0.0, 6.578239385664898e+272},
          {0, 0, 0, 5.681078057947784e+195}},
         4.7201631e-42},
        {4,
         {{1.156e-321, 0.0, 5.027510013424e-312, -4.985717045666698e+216},
          {0, 3.44794137728047e-310, -4.985717045666698e+216, -4.985717045666698e+216},
          {0, 0, 2.0551328e-317, 3.4477287885388e-310},
          {0, 0, 0, 4.4727188662214333e-305}},
         {{5.9218536538468e-310, 4.457475806054539e+303, -4.985717045666554e+216, -4.985717045666698e+216},
          {0, 3.0789971991791616e+255, -4.985717045666698e+216, -4.985717045666698e+216},
          {0, 0, 8.882096112883602e+298, 2.4806253708434664e+303},
          {0, 0, 0, 1.613178547417721e-307}},
         1.4993483e-87},
    };
    for (const auto& c : cases) {
        Matrix10 k{}, m{};
        for (int i = 0; i < c.n; ++i)
            for (int j = i; j < c.n; ++j) {
                k[static_cast<std::size_t>(i + 1)][static_cast<std::size_t>(j + 1)] = c.k[i][j];
                m[static_cast<std::size_t>(i + 1)][static_cast<std::size_t>(j + 1)] = c.m[i][j];
            }
        std::srand(1);
        const GeneralEigenvalues first = GeneralPencilEigenvalues(k, m, c.n);
        ASSERT_TRUE(first.converged) << c.n;
        for (std::size_t i = 0; i < static_cast<std::size_t>(c.n); ++i)
            EXPECT_NEAR(std::hypot(first.lambda[i].re, first.lambda[i].im), c.modulus, 1e-6 * c.modulus) << c.n;
        for (const unsigned seed : {490u, 785u, 1460u, 2151u}) {
            std::srand(seed);
            const GeneralEigenvalues again = GeneralPencilEigenvalues(k, m, c.n);
            EXPECT_EQ(again.converged, first.converged) << seed;
            for (std::size_t i = 0; i < static_cast<std::size_t>(c.n); ++i) {
                EXPECT_EQ(std::bit_cast<std::uint64_t>(again.lambda[i].re), std::bit_cast<std::uint64_t>(first.lambda[i].re));
                EXPECT_EQ(std::bit_cast<std::uint64_t>(again.lambda[i].im), std::bit_cast<std::uint64_t>(first.lambda[i].im));
            }
        }
    }
}

}  // namespace
}  // namespace varno::test

// The real forms of the null vector and its polish are the complex forms'
// bits for a real lambda wherever RealSafe lets them stand in, which the
// check's speed relies on: seeded random pairs, lambda anywhere, entries up
// to the edge of the double range, where the complex forms overflow into
// NaNs the real ones do not have (so RealSafe must refuse some there).
TEST(GeneralPencil, RealFormsAreTheComplexBits)
{
    using Mat = Eigen::Matrix<double, 4, 4>;
    using varno::pencil::Complex;
    std::mt19937_64 rng(2026);
    std::printf("seed 2026\n");
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const auto same = [](double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); };
    int refused = 0;
    for (int trial = 0; trial < 4000; ++trial) {
        const int scale = trial % 2 ? 0 : 880 + trial % 143;  // up to 2^1022
        Mat A, B;
        for (int i = 0; i < 4; ++i)
            for (int j = i; j < 4; ++j)
                A(i, j) = A(j, i) = std::ldexp(u(rng), scale), B(i, j) = B(j, i) = u(rng);
        const Complex lambda(trial % 3 ? u(rng) : std::ldexp(u(rng), trial % 7 * 40 - 120 + scale), 0.0);
        const double big = varno::pencil::LargestOf<4>(A, B, lambda);
        bool realExact = false, complexExact = false;
        const auto real = varno::pencil::EliminatedNullVector<4, double>(A, B, lambda, big, &realExact);
        const auto complex = varno::pencil::EliminatedNullVector<4, Complex>(A, B, lambda, big, &complexExact);
        const Complex quotient = varno::pencil::RayleighQuotient<4, Complex>(A, B, complex);
        bool equal = realExact == complexExact && same(varno::pencil::RayleighQuotient<4, double>(A, B, real), quotient.real()) &&
                     quotient.imag() == 0.0;
        for (std::size_t i = 0; i < 4; ++i) equal = equal && same(real[i], complex[i].real()) && complex[i].imag() == 0.0;
        if (varno::pencil::RealSafe(big, lambda))
            ASSERT_TRUE(equal) << trial;
        else
            refused += !equal;
    }
    EXPECT_GT(refused, 0);  // the family reaches where the forms part
}
