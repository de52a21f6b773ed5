// The check counts on K - sigma M itself, for every pencil where M, -M, K or
// -K is safely definite: ill-conditioned M, buckling with a geometric
// stiffness of mixed signs, singular M. Judged against an independent long
// double reference, by the rule: each shown value prints as the true one, or
// lies within 1e-12 of its own scale s_k.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "certified/proof.h"
#include "cli/batch.h"
#include "driver/report_check.h"
#include "tests/count_reference.h"
#include "tests/harness.h"
#include "tests/physical_problems.h"
#include "tests/reference_problems.h"

namespace varno::test {
namespace {

const double Nan = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

struct Figures {
    int problems = 0;
    int mended = 0;
    int wrong = 0;
    int dsygvWrong = 0;  // LAPACK's doubles judged by the rule alone (to 17 digits), for comparison
    void Print(const char* what, int n) const
    {
        std::printf("%s, n = %d: %d problems, %d keep the closed form's output, %d mended, %d wrong "
                    "(dsygv: %d wrong)\n",
                    what, n, problems, problems - mended, mended, wrong, dsygvWrong);
    }
};

// Runs Calculate on p and judges every report against the reference.
void Judge(const Problem& p, bool mDefinite, const std::string& what, Figures& figures)
{
    Harness h;
    h.LoadUpper(p.n, p.k, p.m);
    const Outcome outcome = varno::Calculate(h.state, h.grid, h.channel);
    const std::vector<ReferenceEigenvalue> reference = ReferencePencil(p, mDefinite);
    for (const ReferenceEigenvalue& r : reference) EXPECT_TRUE(r.trusted) << what << ": the reference cannot judge";
    if (mDefinite) {
        const std::vector<double> dsygv = LapackEigenvalues(p);
        figures.dsygvWrong += dsygv.empty() || !ShownRightForReference(dsygv, reference, false, 17) ? 1 : 0;
    }
    ++figures.problems;
    figures.mended += outcome == Outcome::Mended ? 1 : 0;
    bool right = !h.channel.reports.empty();
    std::string why = right ? "" : "no report: " + h.channel.messages.front();
    for (const RecordedReport& report : h.channel.reports) {
        std::vector<double> x;
        for (const Eigenvalue& v : report.values) x.push_back(v.re);
        right = right && !report.form.complex &&
                ShownRightForReference(x, reference, !mDefinite, report.form.precision, &why);
    }
    figures.wrong += right ? 0 : 1;
    EXPECT_TRUE(right) << what << ": " << why << "\n" << h.channel.messages.front();
}

// Q diag(d) Q^T, rounded to doubles.
void Congruent(std::mt19937_64& rng, int n, const std::vector<double>& d, double (&out)[6][6])
{
    const auto q = RandomOrthogonal(rng, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = 0.0;
            for (int t = 0; t < n; ++t) s += q[static_cast<std::size_t>(t)][static_cast<std::size_t>(i)] *
                                             d[static_cast<std::size_t>(t)] *
                                             q[static_cast<std::size_t>(t)][static_cast<std::size_t>(j)];
            out[i][j] = s;
        }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < i; ++j) out[i][j] = out[j][i];
}

// Ill-conditioned positive definite M, kappa(M) from 1e6 to 1e14, with K
// random or of eigenvalues spread over ten decades.
TEST(Certificate, IllConditionedDefiniteM)
{
    const unsigned seed = 1412;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::uniform_real_distribution<double> decades(6.0, 14.0);
    for (int n = 2; n <= 4; ++n) {
        Figures figures;
        for (int trial = 0; trial < 150; ++trial) {
            Problem p{n, {}, {}};
            const double kappa = std::pow(10.0, decades(rng));
            std::vector<double> dm(static_cast<std::size_t>(n)), dk(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i) {
                dm[static_cast<std::size_t>(i)] = std::pow(kappa, -static_cast<double>(i) / (n - 1));
                dk[static_cast<std::size_t>(i)] = u(rng) * std::pow(10.0, 10.0 * u(rng));
            }
            Congruent(rng, n, dm, p.m);
            if (trial % 2 == 0) {
                Congruent(rng, n, dk, p.k);
            } else {
                for (int i = 0; i < n; ++i)
                    for (int j = i; j < n; ++j) p.k[i][j] = p.k[j][i] = u(rng);
            }
            Judge(p, true, "n = " + std::to_string(n) + ", trial " + std::to_string(trial), figures);
        }
        figures.Print("kappa(M) 1e6 ... 1e14", n);
    }
}

// Vibration problems in SI units: chains, bars, shear buildings, shafts,
// from grams to tonnes, and random definite pencils in any units.
TEST(Certificate, PhysicalProblemsInSiUnits)
{
    for (int n = 2; n <= 4; ++n) {
        Figures figures;
        for (const PhysicalProblem& physical : PhysicalProblems(n, 60, 1000 + static_cast<unsigned>(n)))
            Judge(physical.p, true, physical.what, figures);
        figures.Print("SI units", n);
    }
}

// Linear buckling in SI units: K a stiffness (N/m), M the geometric
// stiffness of axial forces in tension and compression (N/m), so of mixed
// signs, and singular where a force is zero.
TEST(Certificate, BucklingInSiUnits)
{
    const unsigned seed = 1512;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int n = 2; n <= 4; ++n) {
        Figures figures;
        int trial = 0;
        for (const PhysicalProblem& physical : PhysicalProblems(n, 25, 77 + static_cast<unsigned>(n))) {
            if (physical.what == "random definite pencil") continue;  // its K is not definite
            Problem p = physical.p;
            const double force = LogUniform(rng, 1e2, 1e7);   // N
            const double length = LogUniform(rng, 0.1, 10.0);  // m
            double g[4] = {};
            for (int e = 0; e < n; ++e) g[e] = force / length * u(rng);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) p.m[i][j] = 0.0;
            for (int e = 0; e < n; ++e) {  // element e joins dof e - 1 (ground for e = 0) and dof e
                p.m[e][e] += g[e];
                if (e > 0) p.m[e - 1][e - 1] += g[e], p.m[e - 1][e] -= g[e], p.m[e][e - 1] -= g[e];
            }
            if (trial % 7 == 6)
                for (int i = 0; i < n; ++i) p.m[i][i] = (i % 2 == 0 ? -1.0 : 1.0) * force / length;
            if (trial % 5 == 4)  // the last degree of freedom carries no axial force: an infinite eigenvalue
                for (int i = 0; i < n; ++i) p.m[n - 1][i] = p.m[i][n - 1] = 0.0;
            Judge(p, false, physical.what + " buckling, trial " + std::to_string(trial++), figures);
        }
        figures.Print("buckling", n);
    }
}

// The kinds of LAPACK's tests of the generalized symmetric solvers:
// eigenvalues of M spread evenly, geometrically, in a cluster or with one
// outlier, at conditions 10, 1/sqrt(eps) and 1e13, and both matrices scaled
// near the ends of the double range.
TEST(Certificate, LapackTestMatrixKinds)
{
    const unsigned seed = 1612;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const double conditions[] = {10.0, 6.7e7, 1e13};
    const double scales[] = {1.0, 1e150, 1e-150};
    for (int n = 2; n <= 4; ++n) {
        Figures figures;
        for (int kind = 0; kind < 4; ++kind)
            for (const double kappa : conditions)
                for (const double scale : scales) {
                    Problem p{n, {}, {}};
                    std::vector<double> dm(static_cast<std::size_t>(n)), dk(static_cast<std::size_t>(n));
                    for (int i = 0; i < n; ++i) {
                        const double t = static_cast<double>(i) / (n - 1);
                        const double spread[] = {1.0 - t * (1.0 - 1.0 / kappa), std::pow(kappa, -t),
                                                 i == 0 ? 1.0 : 1.0 / kappa, i == n - 1 ? 1.0 / kappa : 1.0};
                        dm[static_cast<std::size_t>(i)] = scale * spread[kind];
                        dk[static_cast<std::size_t>(i)] = u(rng) * spread[(kind + 1) % 4];
                    }
                    Congruent(rng, n, dm, p.m);
                    Congruent(rng, n, dk, p.k);
                    Judge(p, true,
                          "kind " + std::to_string(kind) + ", kappa " + std::to_string(kappa) + ", scale " +
                              std::to_string(scale),
                          figures);
                }
        figures.Print("LAPACK's kinds", n);
    }
}

// Regressions, named after what was wrong, each with the text it must show.
TEST(Certificate, ReportedFaults)
{
    const struct {
        const char* name;
        const char* k;
        const char* m;
        const char* text;
        bool mended;
    } rows[] = {
        {"small_eigenvalue_of_ill_conditioned_m", "3.2632027153831373 1.0181222204372395; 5.464985243476212",
         "0.8453097117122569 -0.3616091854435981; 0.15469028828784306",
         "Eigenvalues \n\n lambda1=       2.866 \n lambda2=    5.86e+13", true},
        // M = diag(1, 1, 1e-310) is definite in any units: 0, 1, 2.
        {"subnormal_pivot_counted", "1 0 0; 2 0; 0", "1 0 0; 1 0; 1e-310",
         "Eigenvalues \n\n lambda1=           0 \n lambda2=           1 \n lambda3=           2", true},
        {"m_indefinite_at_rounding_level", "2.7063438551331775 0.25420526362939694; 1.1791128647065108",
         "3.1913149061237327 3.5193530154628054; 3.881110455029135",
         "Eigenvalues \n\n lambda1=      0.2506 \n lambda2=         inf", true},
        {"buckling_complex_form", "4e5 -2e5 0; 4e5 -2e5; 4e5", "-0.1 0 0; 0.1 0; -0.1",
         "Eigenvalues \n\n lambda1=      -4e+06 \n lambda2=  -2.828e+06 \n lambda3=   2.828e+06", true},
        {"buckling_duplicated_values", "2e6 -1e6 0 0; 2e6 -1e6 0; 2e6 -1e6; 1e6", "1 0 0 0; -0.2 0 0; 1 0; -0.1",
         "\n\n  Eigenvalues \n\n lambda1 = -9.7507e+06 \n lambda2 = -8.3507e+06 \n lambda3 =  3.5074e+05 \n "
         "lambda4 =  1.7507e+06 ",
         true},
        {"buckling_refused_in_other_units", "2e6 -1e6 0 0; 2e6 -1e6 0; 2e6 -1e6; 1e6",
         "1e-3 0 0 0; -0.2e-3 0 0; 1e-3 0; -0.1e-3",
         "\n\n  Eigenvalues \n\n lambda1 = -9.7507e+09 \n lambda2 = -8.3507e+09 \n lambda3 =  3.5074e+08 \n "
         "lambda4 =  1.7507e+09 ",
         true},
        {"singular_m_with_definite_k", "4e5 -2e5; 4e5", "1 0; 0",
         "Eigenvalues \n\n lambda1=       3e+05 \n lambda2=         inf", true},
    };
    for (const auto& row : rows) {
        const BatchParse parsed = ParseRowsArguments(row.k, row.m);
        ASSERT_TRUE(parsed.ok()) << row.name;
        ProgramState state;
        const BatchRun run = RunBatch(parsed.problem, state);
        EXPECT_EQ(run.channel.messages, std::vector<std::string>{row.text}) << row.name;
        EXPECT_EQ(run.mended, row.mended) << row.name;
    }
}

// The check on its own: the values shown, in any order, against M = I,
// K = diag(1.2345 + 5e-13, 2) (printed "1.235", just above "1.234"), and
// against a buckling pencil with an infinite eigenvalue.
TEST(Certificate, ShownValuesJudgedByTheRule)
{
    MatrixStore definite;
    definite.K[1][1] = 1.2345 + 5e-13, definite.K[2][2] = 2, definite.M[1][1] = 1, definite.M[2][2] = 1;
    MatrixStore buckling;  // lambda = 3e5 and infinity
    buckling.K[1][1] = buckling.K[2][2] = 4e5, buckling.K[1][2] = -2e5, buckling.M[1][1] = 1;
    const DefinitePencil m = ClassifyPencil(definite.K, definite.M, 2).pencil;
    const DefinitePencil k = ClassifyPencil(buckling.K, buckling.M, 2).pencil;
    ASSERT_FALSE(m.Inverted());
    ASSERT_TRUE(k.Inverted());
    const struct {
        const char* name;
        const DefinitePencil* pencil;
        double x1, x2;
        bool right;
    } rows[] = {
        {"exact", &m, 1.2345 + 5e-13, 2, true},
        {"any_order", &m, 2, 1.2345 + 5e-13, true},
        {"prints_alike", &m, 1.23456, 2.0001, true},
        {"wrong_digit", &m, 1.2345, 2.001, false},
        {"within_noise", &m, 1.2345 - 2e-13, 2, true},
        {"beyond_noise", &m, 1.2345 - 5e-12, 2, false},
        {"nan", &m, 1.2345, Nan, false},
        {"infinity_for_finite", &m, 1.2345, Inf, false},
        {"infinity", &k, Inf, 3e5, true},
        {"huge_for_infinity", &k, 3e5, 1e30, true},
        {"moderate_for_infinity", &k, 3e5, 1e10, false},
        {"zero_with_definite_k", &k, 3e5, 0, false},
    };
    for (const auto& row : rows) {
        const Eigenvalue shown[2] = {{row.x1, 0.0}, {row.x2, 0.0}};
        EXPECT_EQ(ShownValuesRight(shown, 4, *row.pencil), row.right) << row.name;
    }
    EXPECT_FALSE(ShownValuesRight(std::span<const Eigenvalue>(), 4, m)) << "a value missing";
}

// What may be held: a refusal or a complex form is wrong for a definite
// pencil, and so is output without any report.
TEST(Certificate, HeldOutputJudged)
{
    MatrixStore store;
    store.K[1][1] = 1, store.K[2][2] = 2, store.M[1][1] = 1, store.M[2][2] = 1;
    const DefinitePencil pencil = ClassifyPencil(store.K, store.M, 2).pencil;
    const Eigenvalue right[2] = {{1, 0}, {2, 0}};
    const struct {
        const char* name;
        bool refusal, note, report, complex;
        bool right;
    } rows[] = {
        {"report", false, false, true, false, true},
        {"report_after_a_note", false, true, true, false, true},
        {"refusal", true, false, false, false, false},
        {"refusal_and_report", true, false, true, false, false},
        {"complex_form", false, false, true, true, false},
        {"note_alone", false, true, false, false, false},
        {"nothing", false, false, false, false, false},
    };
    for (const auto& row : rows) {
        HoldingChannel held;
        if (row.note) held.ShowMessage("Complex division error.");
        if (row.refusal) held.ShowRefusal("Error:  determinant of M matrix = 0 ");
        if (row.report) held.ShowReport("report", right, {row.complex, 4});
        EXPECT_EQ(HeldOutputRight(held, pencil), row.right) << row.name;
    }
}

// Bisection takes a hundred passes of counts where a proof takes one or two:
// the candidates must be proved as they are on everyday pencils, and on
// close eigenvalues, where the characteristic polynomial's candidates lose
// half their digits, with one more pass for those of dsygv's route. That
// pass is the exception: only a few everyday pencils need it.
TEST(Certificate, CandidatesProvedWithoutBisection)
{
    const auto passes = [](const Problem& p) {
        MatrixStore store;
        for (int i = 0; i < p.n; ++i)
            for (int j = 0; j < p.n; ++j) store.K[i + 1][j + 1] = p.k[i][j], store.M[i + 1][j + 1] = p.m[i][j];
        const PencilClass c = ClassifyPencil(store.K, store.M, p.n);
        EXPECT_EQ(c.definiteness, Definiteness::Safe);
        return PencilEigenvalues(c.pencil).passes;
    };
    for (int n = 2; n <= 4; ++n) {
        const int proof = n == 2 ? 1 : 2;
        int retried = 0;
        for (const PhysicalProblem& physical : PhysicalProblems(n, 60, 2000 + static_cast<unsigned>(n))) {
            const int spent = passes(physical.p);
            EXPECT_LE(spent, proof + (n <= 3 ? 1 : 0)) << physical.what;
            retried += spent > proof ? 1 : 0;
        }
        EXPECT_LE(retried, 3) << "n = " << n;
    }
    std::mt19937_64 rng(4242);
    for (int n = 2; n <= 3; ++n)
        for (const double gap : {1e-6, 1e-9, 1e-12}) {
            Problem p{n, {}, {}};
            Congruent(rng, n, {1.0, 1.0 + gap, 2.0}, p.k);
            for (int i = 0; i < n; ++i) p.m[i][i] = 1.0;
            EXPECT_LE(passes(p), n) << "n = " << n << ", eigenvalues 1 and 1 + " << gap;
        }
}

// A diagonal 2 x 2 pencil's eigenvalues are its two quotients, each
// correctly rounded: the value shown at full precision is the one the user
// can check by hand.
TEST(Certificate, DiagonalTwoByTwoExactly)
{
    std::mt19937_64 rng(5150);
    std::uniform_real_distribution<double> u(0.1, 10.0);
    for (int trial = 0; trial < 20; ++trial) {
        MatrixStore store;
        const double k[2] = {u(rng) * (trial % 2 == 0 ? 1.0 : -1e6), u(rng) * 1e6};
        const double m[2] = {u(rng), u(rng) * 1e-3};
        for (std::size_t i = 1; i <= 2; ++i) store.K[i][i] = k[i - 1], store.M[i][i] = m[i - 1];
        const ProvedEigenvalues e = PencilEigenvalues(ClassifyPencil(store.K, store.M, 2).pencil);
        EXPECT_EQ(e.nu[0], std::min(k[0] / m[0], k[1] / m[1])) << "trial " << trial;
        EXPECT_EQ(e.nu[1], std::max(k[0] / m[0], k[1] / m[1])) << "trial " << trial;
    }
}

// Candidates that are wrong, even all at the largest eigenvalue, are mended
// by refinement and bisection on the count.
TEST(Certificate, WrongCandidatesAreNotTrusted)
{
    MatrixStore store;
    const double k[4] = {-3, 0.5, 2, 7};
    for (std::size_t i = 1; i <= 4; ++i) store.K[i][i] = k[i - 1], store.M[i][i] = 1;
    store.K[1][2] = store.K[2][1] = 1e-3;
    const DefinitePencil p = ClassifyPencil(store.K, store.M, 4).pencil;
    const std::array<double, MaxOrder> truth = PencilEigenvalues(p).nu;
    for (const std::array<double, MaxOrder>& candidates :
         {std::array<double, MaxOrder>{7, 7, 7, 7}, {0, 0, 0, 0}, {-3, -3, 1e200, 1e200}, {Nan, Nan, Nan, Nan}}) {
        const ProvedEigenvalues got = ProveCandidates(p, candidates);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_NEAR(got.nu[i], truth[i], 1e-13) << "candidate " << candidates[0] << ", eigenvalue " << i + 1;
            EXPECT_LE(got.lo[i], truth[i]);
            EXPECT_GE(got.hi[i], truth[i]);
        }
    }
}

}  // namespace
}  // namespace varno::test
