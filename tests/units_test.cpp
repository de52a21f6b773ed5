// The units a degree of freedom is typed in never change an answer. Each
// value is judged by the smallest s_k of the pencil as typed and
// congruence-scaled by the diagonal of M and of K: a diagonal congruence
// changes no eigenvalue, so the accuracy asked must not loosen with the
// units. The reference counts in long double (tests/count_reference.h) on
// each scaling, and keeps each eigenvalue's smallest s.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "tests/count_reference.h"
#include "tests/general_reference.h"

namespace varno::test {
namespace {

// "a b c; d e; f": the upper triangle, row by row.
Problem Rows(const std::string& k, const std::string& m)
{
    Problem p{0, {}, {}};
    for (const auto& [text, x] : {std::pair{k, &p.k}, std::pair{m, &p.m}}) {
        std::stringstream rows(text);
        std::string row;
        int i = 0;
        while (std::getline(rows, row, ';')) {
            std::stringstream entries(row);
            double v = 0.0;
            for (int j = i; entries >> v; ++j) (*x)[i][j] = (*x)[j][i] = v;
            ++i;
        }
        p.n = i;
    }
    return p;
}

std::string Text(const Problem& p, bool k)
{
    std::string out;
    for (int i = 0; i < p.n; ++i) {
        for (int j = i; j < p.n; ++j) out += FormatShortest(k ? p.k[i][j] : p.m[i][j]) + " ";
        if (i + 1 < p.n) out += "; ";
    }
    return out;
}

// The exponents bringing x's diagonal near 1; none where it has a zero.
bool OwnDiagonal(const double (&x)[6][6], int n, std::array<int, 6>& e)
{
    for (int i = 0; i < n; ++i) {
        if (x[i][i] == 0.0) return false;
        e[static_cast<std::size_t>(i)] = -std::ilogb(std::fabs(x[i][i])) / 2;
    }
    return true;
}

Problem Scaled(const Problem& p, const std::array<int, 6>& e)
{
    Problem q = p;
    for (int i = 0; i < p.n; ++i)
        for (int j = 0; j < p.n; ++j) {
            const int power = e[static_cast<std::size_t>(i)] + e[static_cast<std::size_t>(j)];
            q.k[i][j] = std::ldexp(p.k[i][j], power);
            q.m[i][j] = std::ldexp(p.m[i][j], power);
        }
    return q;
}

struct Sharp {
    bool inverted = false;  // K, not M, is the definite matrix: nu = 1 / lambda
    std::vector<ReferenceEigenvalue> nu;
};

// M is definite where it is so in the units of its own diagonal; K where M
// is not.
Sharp SharpReference(const Problem& p)
{
    std::array<int, 6> e{};
    const bool mUnits = OwnDiagonal(p.m, p.n, e);
    Sharp out;
    out.inverted = !(mUnits && ReferenceDefiniteWithMargin(Scaled(p, e).m, p.n, 1.0, 1e-17L));
    out.nu = ReferencePencil(p, !out.inverted);
    std::vector<std::array<int, 6>> scalings;
    if (mUnits) scalings.push_back(e);
    if (OwnDiagonal(p.k, p.n, e)) scalings.push_back(e);
    for (const auto& scaling : scalings) {
        const Problem q = Scaled(p, scaling);
        bool finite = true;
        for (int i = 0; i < p.n; ++i)
            for (int j = 0; j < p.n; ++j) finite = finite && std::isfinite(q.k[i][j]) && std::isfinite(q.m[i][j]);
        if (!finite) continue;
        const std::vector<ReferenceEigenvalue> r = ReferencePencil(q, !out.inverted);
        for (std::size_t k = 0; k < r.size(); ++k) out.nu[k].s = std::min(out.nu[k].s, r[k].s);
    }
    return out;
}

BatchRun Solve(const Problem& p)
{
    const BatchParse parsed = ParseRowsArguments(Text(p, true), Text(p, false));
    EXPECT_TRUE(parsed.ok()) << parsed.Message();
    ProgramState state;
    return RunBatch(parsed.problem, state, {.eigenvalues = true, .modes = true});
}

std::vector<double> Real(const std::vector<Eigenvalue>& values)
{
    std::vector<double> out;
    for (const Eigenvalue& v : values) out.push_back(v.re);
    return out;
}

// Whether everything shown for a definite pencil is right by the sharpened
// rule: the full-precision eigenvalues, every report's values, and, for a
// mass matrix, effective masses that add up to the total and a bound that
// holds the truth for every eigenvalue the pencil determines. why says what
// is not.
bool RightByTheSharpRule(const Problem& p, std::string& why)
{
    const Sharp ref = SharpReference(p);
    const BatchRun run = Solve(p);
    if (!ShownRightForReference(Real(run.eigenvalues), ref.nu, ref.inverted, 17, &why)) return false;
    for (const RecordedReport& report : run.channel.reports)
        if (report.form.complex || !ShownRightForReference(Real(report.values), ref.nu, ref.inverted, report.form.precision, &why)) {
            why = "report: " + why;
            return false;
        }
    if (!run.modes) return why = "no modes", false;
    const ModalResult& modes = *run.modes;
    long double mass = 0.0L;
    for (int k = 0; k < p.n; ++k) {
        const Mode& mode = modes.modes[static_cast<std::size_t>(k)];
        if (modes.massDefinite && std::isfinite(mode.effectiveMass)) mass += mode.effectiveMass;
        if (ref.inverted) continue;  // the bounds are judged in lambda, ascending as nu is
        const ReferenceEigenvalue& truth = ref.nu[static_cast<std::size_t>(k)];
        const bool determined = std::fabs(truth.nu) > 1e-6L * truth.s && std::isfinite(mode.lambda);
        // The reference's own bisection stops 1e-19 short of the truth.
        const long double slack = 1e-18L * std::fabs(truth.nu);
        if (determined && !(std::fabs(static_cast<long double>(mode.lambda) - truth.nu) <= mode.bound + slack)) {
            why = "mode " + std::to_string(k + 1) + ": bound " + FormatShortest(mode.bound) + " misses " +
                  FormatShortest(static_cast<double>(truth.nu));
            return false;
        }
    }
    if (modes.massDefinite && !(std::fabs(mass - modes.totalMass) <= 1e-9L * modes.totalMass)) {
        why = "effective masses add up to " + FormatShortest(static_cast<double>(mass)) + " of " +
              FormatShortest(modes.totalMass);
        return false;
    }
    return true;
}

// Each pencil of the fault reports, definite in some units.
TEST(Units, ReportedDefinitePencils)
{
    const struct {
        const char* name;
        const char* k;
        const char* m;
    } rows[] = {
        {"diagonal_m_positive", "-1 0; 1", "1 0; 1e16"},
        {"diagonal_spread_both_ways", "-1 0 0; 2 0; 3", "1 0 0; 1e16 0; 1e-16"},
        {"tiny_lumped_mass", "-1 0.5; 2", "1 0; 1e-16"},
        {"tiny_rotational_mass", "-1 0.5 0; 2 -1; 3", "1 0 0; 1e-17 0; 1"},
        {"k_definite_lumped_m",
         "3.253590059389998 0.39456973984979726 0.7398856251131682 -0.262784298753724; 3.6326087392334707 "
         "0.07306124911696454 -0.4953374616747561; 4.9829584692598745 -0.4521233371385772; 3.2617555850894364",
         "0.9334957691731014 0 0 0; 8.375731807473425e-17 0 0; 0.3590079859496194 0; 0.42940830882635117"},
        {"k_is_100_m", "900 -400 200 700 -200; 800 500 100 -500; 1500 400 -1100; 1500 -700; 1400",
         "9 -4 2 7 -2; 8 5 1 -5; 15 4 -11; 15 -7; 14"},
        {"k_is_minus_3_m", "-1.8030447772563933 -1.766056052900808; -4.356686131770834",
         "0.6010149257521311 0.588685350966936; 1.452228710590278"},
        {"m_near_the_margin_n6",
         "0.5935613734148794 1.9188011387317363 1.422462221902752 0.460879263593768 0.46568516375910923 "
         "-0.706123245451839; -0.03885369554002294 0.5687560844195484 0.7457797952295943 -0.4497838478098715 "
         "-2.304550128135211; 0.7891863229227675 2.1021948696131885 0.14314951231980938 -1.8619811821916785; "
         "2.663490255871311 1.5415149710141023 -0.8460047046319366; -0.5668534771109777 -1.339727295024583; "
         "0.9055781866999464",
         "0.7898423877199792 -0.00867850636138865 0.044417702607111934 0.11062026531168562 0.08113037779937352 "
         "-0.368630496671564; 1.2333073594033137 0.14344421756956863 -0.30667390253646554 -0.1626350362207917 "
         "-0.2105887681575176; 1.2470631617019488 0.007491354780760916 0.06010410345790905 -0.13198866408262916; "
         "1.0063741116313474 0.4256671540987129 0.05851589205198021; 0.1970052761432798 0.11277011554323364; "
         "1.1455687684092852"},
        {"massless_beside_tiny_mass", "2 -1 0; 2 -1; 1", "1e-10 0 0; 0 0; 1"},
        {"sign_of_a_vast_eigenvalue", "-1 0; 1", "1e-20 0; 1"},
        {"beyond_the_range", "-1 0.5; 1", "1e-320 0; 1"},
        // Eigenvalues 1e329 apart: no one scaling holds both.
        {"subnormal_beside_a_subnormal_mass", "2.716154612436e-312 0; 2.3e-322", "2.35254e-319 7.203676659861446e-307; 2"},
        {"the_same_typed_with_m_identity", "-1e20 0; 1", "1 0; 1"},
        {"smaller_m_near_the_margin", "1.9185187876668561 -0.054483072327848214; 1.8026011948851766",
         "0.9937532042648853 -0.6478691970311763; 0.422372974155408"},
    };
    for (const auto& row : rows) {
        std::string why;
        EXPECT_TRUE(RightByTheSharpRule(Rows(row.k, row.m), why)) << row.name << ": " << why;
    }
}

// The same pencil takes the same path in any units, and the massless and
// high modes keep their shapes: a massless degree of freedom follows its
// neighbours statically, and the infinite mode moves it alone.
TEST(Units, ShapesAndPathsOfReportedPencils)
{
    const BatchRun a = Solve(Rows("-1 0; 1", "1e-20 0; 1"));
    const BatchRun b = Solve(Rows("-1e20 0; 1", "1 0; 1"));
    ASSERT_TRUE(a.modes && b.modes);
    EXPECT_EQ(a.modes->massDefinite, b.modes->massDefinite);
    EXPECT_EQ(a.eigenvalues.size(), b.eigenvalues.size());
    for (std::size_t k = 0; k < a.eigenvalues.size(); ++k) EXPECT_EQ(a.eigenvalues[k].re, b.eigenvalues[k].re) << k;

    const BatchRun c = Solve(Rows("2 -1 0; 2 -1; 1", "1e-10 0 0; 0 0; 1"));
    ASSERT_TRUE(c.modes);
    const Mode& high = c.modes->modes[1];
    EXPECT_NEAR(high.vector[1] / high.vector[0], 0.5, 1e-6);  // -x1 + 2 x2 - x3 = 0, x3 tiny
    const Mode& massless = c.modes->modes[2];
    EXPECT_EQ(massless.vector[0], 0.0);
    EXPECT_EQ(massless.vector[2], 0.0);
    // The vast mode of a unit lumped mass is a vibration mode like any other.
    const BatchRun d = Solve(Rows("-1 0.5; 2", "1 0; 1e-16"));
    ASSERT_TRUE(d.modes);
    EXPECT_GT(d.modes->modes[1].omega, 1e8);
    EXPECT_LT(d.modes->modes[1].bound, 1e-6 * d.modes->modes[1].lambda);
    // One the pencil does not determine has no bound, but a frequency.
    const BatchRun e = Solve(Rows("1.9185187876668561 -0.054483072327848214; 1.8026011948851766",
                                  "0.9937532042648853 -0.6478691970311763; 0.422372974155408"));
    ASSERT_TRUE(e.modes);
    EXPECT_EQ(e.modes->modes[1].bound, HUGE_VAL);
    EXPECT_EQ(e.modes->modes[1].omega, std::sqrt(e.modes->modes[1].lambda));
}

// Pencils neither definite nor semidefinite: blocks at infinity, and closed
// forms that were right.
TEST(Units, ReportedGeneralPencils)
{
    const double inf = HUGE_VAL;
    const struct {
        const char* name;
        const char* k;
        const char* m;
        std::vector<double> lambda;  // exactly, in order
        bool mended;
    } rows[] = {
        // det(K - lambda M) = 1: every eigenvalue infinite, a block of three.
        {"jordan_block_at_infinity", "-4 -1 -3; 1 1; 0", "0 -2 -4; 2 3; 4", {inf, inf, inf}, true},
        // det(K - lambda M) = lambda - 1.
        {"one_finite_beside_a_block", "-1 3 1; -8 -2; 1", "2 -5 1; 13 -2; 1", {1, inf, inf}, true},
        {"diagonal_of_both_signs", "-1 0 0; 2 0; 3", "-1 0 0; 1e300 0; -1e-300", {-3e300, 2e-300, 1}, true},
        {"diagonal_beyond_the_range", "-1 0; 1", "1e-320 0; -1", {-inf, -1}, true},
        // A block at infinity beside a large eigenvalue the pencil determines.
        {"block_beside_a_large_one", "-4 -1 -3 0; 1 1 0; 0 0; 1", "0 -2 -4 0; 2 3 0; 4 0; 1e-5", {1 / 1e-5, inf, inf, inf}, true},
    };
    for (const auto& row : rows) {
        const BatchRun run = Solve(Rows(row.k, row.m));
        ASSERT_EQ(run.eigenvalues.size(), row.lambda.size()) << row.name;
        for (std::size_t k = 0; k < row.lambda.size(); ++k) {
            EXPECT_EQ(run.eigenvalues[k].re, row.lambda[k]) << row.name << " " << k;
            EXPECT_EQ(run.eigenvalues[k].im, 0.0) << row.name << " " << k;
        }
        EXPECT_EQ(run.mended, row.mended) << row.name;
    }
    // The closed form prints the truth to every digit it shows, the real
    // eigenvalue's imaginary part as 0 ...
    EXPECT_FALSE(Solve(Rows("-1 1 -3; 0 2; 3", "-2 1 -1; -1 -2; -1")).mended);
    // ... but here as -5.047e-17, which the truth's 0 does not print as.
    EXPECT_TRUE(Solve(Rows("0 2 4; 0 -5; -5", "-2 3 2; 0 3; -3")).mended);
}

// Seeded families, each pencil judged by the sharpened rule.
TEST(Units, LumpedMassFamilies)
{
    const unsigned seed = 4040;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int wrong = 0, run = 0;
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 2 + trial % 5;
        const bool kDefinite = trial % 2 == 0;
        Problem p{n, {}, {}};
        double g[6][6];
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) g[i][j] = unit(rng);
        for (int i = 0; i < n; ++i)
            for (int j = i; j < n; ++j) {
                double v = 0.0;
                if (kDefinite) {
                    for (int q = 0; q < n; ++q) v += g[i][q] * g[j][q];
                    if (i == j) v += 0.1;
                } else {
                    v = unit(rng);
                }
                p.k[i][j] = p.k[j][i] = v;
            }
        for (int i = 0; i < n; ++i) p.m[i][i] = 1.5 + 0.5 * unit(rng);
        const int tiny = 1 + trial % 2;
        for (int t = 0; t < tiny; ++t) {
            const int i = static_cast<int>(rng() % static_cast<unsigned>(n));
            p.m[i][i] *= std::pow(10.0, -10.0 - 10.0 * (0.5 + 0.5 * unit(rng)));
        }
        std::string why;
        ++run;
        if (!RightByTheSharpRule(p, why)) {
            ++wrong;
            ADD_FAILURE() << "trial " << trial << ": -k \"" << Text(p, true) << "\" -m \"" << Text(p, false) << "\": " << why;
        }
    }
    std::printf("%d lumped-mass pencils, %d wrong\n", run, wrong);
}

// Diagonal pencils of every sign pattern, entries spread to 1e+-300: the
// eigenvalues are the quotients, correctly rounded, and the infinities
// where M_ii is 0, whatever path the pencil takes.
TEST(Units, DiagonalFamilies)
{
    const unsigned seed = 4041;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int wrong = 0, run = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 2 + trial % 5;
        Problem p{n, {}, {}};
        std::vector<double> expected;
        for (int i = 0; i < n; ++i) {
            const auto entry = [&] { return std::copysign(std::pow(10.0, 300.0 * unit(rng)) * (1.0 + 0.5 * unit(rng)), unit(rng)); };
            p.k[i][i] = entry();
            p.m[i][i] = rng() % 7 == 0 ? 0.0 : entry();
            expected.push_back(p.m[i][i] == 0.0 ? HUGE_VAL : p.k[i][i] / p.m[i][i] + 0.0);
        }
        if (std::all_of(expected.begin(), expected.end(), [](double x) { return x == HUGE_VAL; })) continue;  // M = 0
        std::sort(expected.begin(), expected.end());
        const std::vector<double> got = Real(Solve(p).eigenvalues);
        if (got != expected) {
            ++wrong;
            ADD_FAILURE() << "trial " << trial << ": -k \"" << Text(p, true) << "\" -m \"" << Text(p, false) << "\"";
        }
        ++run;
    }
    std::printf("%d diagonal pencils, %d wrong\n", run, wrong);
}

// A tiny mass in an M of both signs: finite, whatever QZ's test for an
// infinite eigenvalue makes of M's norm. The quad-precision roots are right
// to 1e-6 of the largest, the tiny mass's.
TEST(Units, TinyMassInAnIndefiniteM)
{
    const unsigned seed = 4043;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int wrong = 0;
    for (int trial = 0; trial < 100; ++trial) {
        const int n = 2 + trial % 5;
        Problem p{n, {}, {}};
        for (int i = 0; i < n; ++i) {
            for (int j = i; j < n; ++j) p.k[i][j] = p.k[j][i] = unit(rng);
            p.m[i][i] = (i % 2 == 0 ? -1.0 : 1.0) * (1.5 + 0.5 * unit(rng));
        }
        const int i = 1 + static_cast<int>(rng() % static_cast<unsigned>(n - 1));
        p.m[i][i] *= std::pow(10.0, -12.0 - 6.0 * (0.5 + 0.5 * unit(rng)));
        std::string why;
        if (!ShownRightForRoots(Solve(p).eigenvalues, true, ReferenceRoots(n, p.k, p.m), &why)) {
            ++wrong;
            ADD_FAILURE() << "trial " << trial << ": -k \"" << Text(p, true) << "\" -m \"" << Text(p, false) << "\": " << why;
        }
    }
    std::printf("100 pencils, %d wrong\n", wrong);
    // Where M's own units give a value no better s than the units typed,
    // the value typed stands: there the solve in M's units is off by all
    // its digits.
    const char* const rows[][2] = {
        {"-0.012343335511380577 9.182369517536045e-06; 7761790.869480121",
         "-1.1591414175557999e-09 0.04860307076227646; -5.793036050609695e-18"},
        {"-20751724.20985289 -1.2881344903153991e-05 -76.26801484053429; -0.015461838847193326 4.018157042162778e-08; "
         "12721.217706323254",
         "-3.3398219219011093e-18 2.6932243333448967e-09 -0.0011474335808130392; -3.335232891343047e-05 "
         "5.218858412302873e-09; 9.301797921332331e-09"},
    };
    for (const auto& row : rows) {
        const Problem p = Rows(row[0], row[1]);
        std::string why;
        EXPECT_TRUE(ShownRightForRoots(Solve(p).eigenvalues, true, ReferenceRoots(p.n, p.k, p.m), &why)) << row[0] << ": " << why;
    }
}

// Pencils neither definite, congruence-scaled by D spanning 1e+-8: the same
// eigenvalues as the pencil before scaling, by its quad-precision roots.
TEST(Units, GradedGeneralFamilies)
{
    const unsigned seed = 4042;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int wrong = 0, run = 0;
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 2 + trial % 5;
        Problem p0{n, {}, {}};
        for (int i = 0; i < n; ++i)
            for (int j = i; j < n; ++j) {
                p0.k[i][j] = p0.k[j][i] = unit(rng);
                p0.m[i][j] = p0.m[j][i] = unit(rng);
            }
        if (ReferenceDefiniteWithMargin(p0.m, n, 1.0, 0.0L) || ReferenceDefiniteWithMargin(p0.m, n, -1.0, 0.0L) ||
            ReferenceDefiniteWithMargin(p0.k, n, 1.0, 0.0L) || ReferenceDefiniteWithMargin(p0.k, n, -1.0, 0.0L))
            continue;
        std::array<int, 6> e{};
        for (int i = 0; i < n; ++i) e[static_cast<std::size_t>(i)] = static_cast<int>(std::lround(13.3 * unit(rng)));
        const Problem p = Scaled(p0, e);
        const GeneralReference roots = ReferenceRoots(n, p0.k, p0.m);
        if (roots.lambda.empty() || roots.bound > Quad(1e-9) * roots.largest) continue;  // ill-posed to the reference
        ++run;
        std::string why;
        if (!ShownRightForRoots(Solve(p).eigenvalues, true, roots, &why)) {
            ++wrong;
            ADD_FAILURE() << "trial " << trial << ": -k \"" << Text(p, true) << "\" -m \"" << Text(p, false) << "\": " << why;
        }
    }
    std::printf("%d graded general pencils, %d wrong\n", run, wrong);
}

}  // namespace
}  // namespace varno::test
