// n = 5 and 6, where no closed form comes first: the certified path where M,
// -M, K or -K is definite, QZ elsewhere, judged against the long double and
// __float128 references; two structures as engineers type them; and the
// report texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "certified/modes.h"
#include "tests/count_reference.h"
#include "tests/general_reference.h"
#include "tests/harness.h"
#include "tests/physical_problems.h"

namespace varno::test {
namespace {

// The real parts of the one report Calculate shows for p.
std::vector<double> Shown(Harness& h, const Problem& p, Outcome* outcome = nullptr)
{
    h.LoadUpper(p.n, p.k, p.m);
    const Outcome o = Calculate(h.state, h.grid, h.channel);
    if (outcome != nullptr) *outcome = o;
    std::vector<double> x;
    if (h.channel.reports.size() != 1) return x;
    for (const Eigenvalue& v : h.channel.reports[0].values) x.push_back(v.re);
    return x;
}

// Three Euler-Bernoulli elements of a steel cantilever 3 m long (EI = 1e5
// N m^2, rho A = 21 kg/m), with consistent mass: the deflection and rotation
// of the three free nodes. The user guide's example.
Problem Cantilever()
{
    const double EI = 1e5;    // N m^2
    const double rhoA = 21.0;  // kg/m
    const double l = 1.0;      // m, each element
    const double ke[4][4] = {{12, 6 * l, -12, 6 * l},
                             {6 * l, 4 * l * l, -6 * l, 2 * l * l},
                             {-12, -6 * l, 12, -6 * l},
                             {6 * l, 2 * l * l, -6 * l, 4 * l * l}};
    const double me[4][4] = {{156, 22 * l, 54, -13 * l},
                             {22 * l, 4 * l * l, 13 * l, -3 * l * l},
                             {54, 13 * l, 156, -22 * l},
                             {-13 * l, -3 * l * l, -22 * l, 4 * l * l}};
    Problem p{6, {}, {}};
    for (int e = 0; e < 3; ++e)
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b < 4; ++b) {
                const int i = 2 * e + a - 2, j = 2 * e + b - 2;  // the clamped node's two are dropped
                if (i < 0 || j < 0) continue;
                p.k[i][j] += EI / (l * l * l) * ke[a][b];
                p.m[i][j] += rhoA * l / 420.0 * me[a][b];
            }
    return p;
}

// Five storeys, floors of 20 to 12 t on storeys of 40 to 24 MN/m.
Problem ShearBuilding()
{
    const double k[5] = {40e6, 36e6, 32e6, 28e6, 24e6};
    const double m[5] = {20e3, 18e3, 16e3, 14e3, 12e3};
    return FixedFreeChain(5, k, m);
}

// Every eigenvalue right by the rule against the reference, every bound
// holding it, and the effective masses adding up to the total.
void ExpectStructure(const Problem& p, const std::string& what)
{
    const std::vector<ReferenceEigenvalue> reference = ReferenceDefinite(p);
    Harness h;
    std::string why;
    EXPECT_TRUE(ShownRightForReference(Shown(h, p), reference, false, 5, &why)) << what << ": " << why;
    const std::optional<ModalResult> modes = ModesOf(h.state.store.K, h.state.store.M, p.n);
    ASSERT_TRUE(modes) << what;
    ASSERT_EQ(modes->n, p.n);
    double effective = 0.0;
    for (int k = 0; k < p.n; ++k) {
        const Mode& m = modes->modes[static_cast<std::size_t>(k)];
        const long double truth = reference[static_cast<std::size_t>(k)].nu;
        EXPECT_LE(std::fabs(static_cast<long double>(m.lambda) - truth), static_cast<long double>(m.bound))
            << what << ", mode " << k + 1;
        EXPECT_LE(m.bound, 1e-12 * static_cast<double>(reference[static_cast<std::size_t>(k)].s)) << what;
        effective += m.effectiveMass;
    }
    EXPECT_NEAR(effective, modes->totalMass, 1e-12 * modes->totalMass) << what;
}

TEST(LargeOrder, Structures)
{
    const Problem beam = Cantilever();
    ExpectStructure(beam, "cantilever");
    // The first two frequencies of the continuous beam, 1.8751^2 and 4.6941^2
    // times sqrt(EI / (rho A L^4)), which three elements come within 0.5 % of.
    Harness h;
    const std::vector<double> lambda = Shown(h, beam);
    ASSERT_EQ(lambda.size(), 6u);
    const double unit = std::sqrt(1e5 / 21.0 / 81.0);
    EXPECT_NEAR(std::sqrt(lambda[0]) / (1.8751 * 1.8751 * unit), 1.0, 5e-4);
    EXPECT_NEAR(std::sqrt(lambda[1]) / (4.6941 * 4.6941 * unit), 1.0, 5e-3);
    ExpectStructure(ShearBuilding(), "shear building");
}

// Five equal eigenvalues and one apart, in no pattern of the degrees of
// freedom: one group of five vectors, bounded together, each bound holding
// its eigenvalue.
TEST(LargeOrder, FiveFoldEigenvalue)
{
    std::mt19937_64 rng(6);
    const auto q = RandomOrthogonal(rng, 6);
    const double d[6] = {1, 1, 1, 1, 1, 2};
    Problem p{6, {}, {}};
    for (std::size_t i = 0; i < 6; ++i) {
        p.m[i][i] = 1.0;
        for (std::size_t j = 0; j < 6; ++j)
            for (std::size_t t = 0; t < 6; ++t) p.k[i][j] += q[t][i] * d[t] * q[t][j];
    }
    const std::optional<ModalResult> modes = [&] {
        Harness h;
        h.LoadUpper(6, p.k, p.m);
        Symmetrise(h.state.store);
        return ModesOf(h.state.store.K, h.state.store.M, 6);
    }();
    ASSERT_TRUE(modes);
    const std::vector<ReferenceEigenvalue> reference = ReferenceDefinite(p);  // of the matrix as rounded
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_LE(std::fabs(static_cast<long double>(modes->modes[k].lambda) - reference[k].nu),
                  static_cast<long double>(modes->modes[k].bound) + 4e-18L * reference[k].s)
            << "mode " << k + 1;
}

// The same rule for seeded problems of each kind the closed forms are
// tested on: SI structures, M ill conditioned, buckling pencils (K definite,
// M of both signs), and pencils that are not definite, against __float128.
TEST(LargeOrder, SeededProperties)
{
    const unsigned seed = 20261209;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0), decades(0.0, 10.0), size(0.5, 2.0);
    for (int n = 5; n <= 6; ++n) {
        int complex = 0;
        for (const PhysicalProblem& problem : PhysicalProblems(n, 10, 2000 + static_cast<unsigned>(n))) {
            Harness h;
            std::string why;
            EXPECT_TRUE(ShownRightForReference(Shown(h, problem.p), ReferenceDefinite(problem.p), false, 5, &why))
                << problem.what << ": " << why;
        }
        for (int trial = 0; trial < 60; ++trial) {
            const std::string what = "n = " + std::to_string(n) + ", trial " + std::to_string(trial);
            // A matrix Q diag(d) Q^T with the eigenvalues d.
            const auto spectral = [&](double (&x)[6][6], const std::vector<double>& d) {
                const auto q = RandomOrthogonal(rng, n);
                for (int i = 0; i < n; ++i)
                    for (int j = 0; j < n; ++j) {
                        x[i][j] = 0.0;
                        for (std::size_t t = 0; t < d.size(); ++t)
                            x[i][j] += q[t][static_cast<std::size_t>(i)] * d[t] * q[t][static_cast<std::size_t>(j)];
                    }
                for (int i = 0; i < n; ++i)
                    for (int j = 0; j < i; ++j) x[i][j] = x[j][i];
            };
            std::vector<double> d(static_cast<std::size_t>(n));
            Problem p{n, {}, {}};
            for (int i = 0; i < n; ++i)
                for (int j = i; j < n; ++j) p.k[i][j] = p.k[j][i] = u(rng);
            switch (trial % 3) {
            case 0:  // M definite, its condition up to 1e10
                for (double& x : d) x = std::pow(10.0, -decades(rng));
                spectral(p.m, d);
                break;
            case 1:  // buckling: K definite, M of both signs
                for (std::size_t i = 0; i < d.size(); ++i) d[i] = (i % 2 == 0 ? 1.0 : -1.0) * size(rng);
                spectral(p.m, d);
                for (double& x : d) x = size(rng);
                spectral(p.k, d);
                break;
            default:  // neither: M well conditioned, K with diagonal entries of both signs
                for (std::size_t i = 0; i < d.size(); ++i) d[i] = (i % 2 == 0 ? 1.0 : -1.0) * size(rng);
                spectral(p.m, d);
                p.k[0][0] = std::fabs(p.k[0][0]), p.k[1][1] = -std::fabs(p.k[1][1]);
            }
            Harness h;
            h.LoadUpper(n, p.k, p.m);
            const Definiteness kind = ClassifyPencil(h.state.store.K, h.state.store.M, n).definiteness;
            std::string why;
            if (trial % 3 != 2) {
                ASSERT_EQ(kind, Definiteness::Safe) << what;
                const bool buckling = trial % 3 == 1;
                EXPECT_TRUE(ShownRightForReference(Shown(h, p), ReferencePencil(p, !buckling), buckling, 5, &why))
                    << what << ": " << why;
                continue;
            }
            ASSERT_EQ(kind, Definiteness::None) << what;
            const GeneralReference reference = ReferenceRoots(n, p.k, p.m);
            ASSERT_LE(reference.bound, Quad(1e-12) * reference.largest) << "the reference itself is in doubt";
            Outcome outcome = Outcome::Refused;
            Shown(h, p, &outcome);
            EXPECT_EQ(outcome, Outcome::Numeric) << what;
            ASSERT_EQ(h.channel.reports.size(), 1u) << what << ": " << h.channel.messages.front();
            const RecordedReport& report = h.channel.reports[0];
            complex += report.form.complex ? 1 : 0;
            EXPECT_TRUE(ShownRightForRoots(report.values, report.form.complex, reference, &why)) << what << ": " << why;
        }
        std::printf("n = %d: 20 pencils not definite, %d with complex eigenvalues\n", n, complex);
        EXPECT_GT(complex, 5) << "the complex form should be met";
    }
}

struct TextCase {
    const char* name;
    int n;
    double k[6][6];
    double m[6][6];
    const char* text;
};

// The 4 x 4 report's forms with lines for lambda5 and lambda6: the uniform
// chain's (4 sin^2((2j - 1) pi / 22)), the cantilever as the user guide
// types it, a pair of complex ones, an infinite one (a degree of freedom
// without mass beside a definite K), the singular pencil's message, and the
// refusals as for n <= 4.
const TextCase TextCases[] = {
    {"chain",
     5,
     {{2, -1}, {-1, 2, -1}, {0, -1, 2, -1}, {0, 0, -1, 2, -1}, {0, 0, 0, -1, 1}},
     {{1}, {0, 1}, {0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 0, 1}},
     "\n\n  Eigenvalues \n\n lambda1 =    0.081014 \n lambda2 =     0.69028 \n lambda3 =      1.7154 \n lambda4 =      2.8308 "
     "\n lambda5 =      3.6825 "},
    {"cantilever",
     6,
     {{2.4e6, 0, -1.2e6, 6e5},
      {0, 8e5, -6e5, 2e5},
      {0, 0, 2.4e6, 0, -1.2e6, 6e5},
      {0, 0, 0, 8e5, -6e5, 2e5},
      {0, 0, 0, 0, 1.2e6, -6e5},
      {0, 0, 0, 0, 0, 4e5}},
     {{15.6, 0, 2.7, -0.65},
      {0, 0.4, 0.65, -0.15},
      {0, 0, 15.6, 0, 2.7, -0.65},
      {0, 0, 0, 0.4, 0.65, -0.15},
      {0, 0, 0, 0, 7.8, -1.1},
      {0, 0, 0, 0, 0, 0.2}},
     "\n\n  Eigenvalues \n\n lambda1 =      726.92 \n lambda2 =       28731 \n lambda3 =  2.2939e+05 \n lambda4 =  1.1633e+06 "
     "\n lambda5 =  4.1205e+06 \n lambda6 =  1.6377e+07 "},
    {"complex",
     6,
     {{0, 1}, {1, 0}, {0, 0, 2}, {0, 0, 0, 3}, {0, 0, 0, 0, 4}, {0, 0, 0, 0, 0, 5}},
     {{1}, {0, -1}, {0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, -1}},
     "\n\n  Eigenvalues \n\n lambda1 =          -5 +j (          0) \n lambda2 =           0 +j (         -1) \n lambda3 =  "
     "         0 +j (          1) \n lambda4 =           2 +j (          0) \n lambda5 =           3 +j (          0) \n "
     "lambda6 =           4 +j (          0) "},
    {"massless",
     5,
     {{2, -1}, {-1, 2, -1}, {0, -1, 2, -1}, {0, 0, -1, 2, -1}, {0, 0, 0, -1, 1}},
     {{1}, {0, 1}, {0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 0, 0}},
     "\n\n  Eigenvalues \n\n lambda1 =     0.12061 \n lambda2 =           1 \n lambda3 =      2.3473 \n lambda4 =      3.5321 "
     "\n lambda5 =         inf "},
    {"singular",
     6,
     {{1, 1}, {1, 1}, {0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 1}},
     {{1, 1}, {1, 1}, {0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 1}},
     " The problem is singular: det(K - lambda M) = 0 for every lambda."},
    {"not_finite",
     6,
     {{1}, {0, 1}, {0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 0, 1, HUGE_VAL}, {0, 0, 0, 0, 0, 1}},
     {{1}, {0, 1}, {0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 1}},
     " K(5,6) is not a finite number."},
    {"empty_m", 5, {{1}, {0, 1}, {0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 0, 1}}, {}, " Please enter M matrix coefficients."},
};

class LargeOrderText : public ::testing::TestWithParam<TextCase> {};

TEST_P(LargeOrderText, ByteExact)
{
    const TextCase& c = GetParam();
    Harness h;
    h.LoadUpper(c.n, c.k, c.m);
    Calculate(h.state, h.grid, h.channel);
    ASSERT_EQ(h.channel.messages.size(), 1u);
    EXPECT_EQ(h.channel.messages[0], c.text);
}

INSTANTIATE_TEST_SUITE_P(Reports, LargeOrderText, ::testing::ValuesIn(TextCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace varno::test
