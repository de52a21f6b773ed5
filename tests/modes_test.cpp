// Eigenpairs, bounds and modal quantities: worked examples, and properties
// over seeded pencils against the independent long double reference.
#include "certified/inverse_iteration.h"
#include "certified/modes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>

#include "tests/count_reference.h"
#include "tests/physical_problems.h"

namespace varno::test {
namespace {

MatrixStore StoreOf(const Problem& p)
{
    MatrixStore s;
    for (int i = 0; i < p.n; ++i)
        for (int j = 0; j < p.n; ++j) {
            s.K[static_cast<std::size_t>(i + 1)][static_cast<std::size_t>(j + 1)] = p.k[i][j];
            s.M[static_cast<std::size_t>(i + 1)][static_cast<std::size_t>(j + 1)] = p.m[i][j];
        }
    return s;
}

// Worked by hand: a chain fixed at one end, k1 = 2000 and k2 = 1000 N/m,
// masses 10 and 5 kg: lambda = 100 and 400, shapes (1, 2) / sqrt(30) and
// (1, -1) / sqrt(15) (its sign by the tie rule), effective masses 40/3 and
// 5/3 kg of 15.
TEST(Modes, TwoMassChainByHand)
{
    const Problem chain{2, {{3000, -1000}, {-1000, 1000}}, {{10, 0}, {0, 5}}};
    const MatrixStore s = StoreOf(chain);
    const auto modes = ModesOf(s.K, s.M, 2);
    ASSERT_TRUE(modes);
    EXPECT_TRUE(modes->massDefinite);
    EXPECT_EQ(modes->totalMass, 15.0);
    const struct {
        double lambda, hertz, x1, x2, mass;
    } expected[] = {{100, 10 / (2 * std::numbers::pi), 1 / std::sqrt(30.0), 2 / std::sqrt(30.0), 40.0 / 3},
                    {400, 20 / (2 * std::numbers::pi), 1 / std::sqrt(15.0), -1 / std::sqrt(15.0), 5.0 / 3}};
    for (std::size_t k = 0; k < 2; ++k) {
        const Mode& m = modes->modes[k];
        EXPECT_NEAR(m.lambda, expected[k].lambda, 1e-12) << k;
        EXPECT_LE(std::fabs(m.lambda - expected[k].lambda), m.bound) << k;
        EXPECT_NEAR(m.hertz, expected[k].hertz, 1e-14) << k;
        EXPECT_NEAR(m.period, 1 / expected[k].hertz, 1e-14) << k;
        EXPECT_NEAR(m.vector[0], expected[k].x1, 1e-15) << k;
        EXPECT_NEAR(m.vector[1], expected[k].x2, 1e-15) << k;
        EXPECT_NEAR(m.effectiveMass, expected[k].mass, 1e-12) << k;
    }
}

// What each kind of pencil defines: frequencies only where M is definite
// (or semidefinite beside a definite K), a
// rigid-body mode without a period, an unstable one without a frequency,
// and an infinite eigenvalue without a bound.
TEST(Modes, WhatIsDefined)
{
    const struct {
        const char* name;
        Problem p;
        double lambda;  // the mode looked at (the first)
        bool massDefinite, hertz, period;
    } rows[] = {
        {"free_free", {3, {{1, -1, 0}, {-1, 2, -1}, {0, -1, 1}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, 0.0, true, true, false},
        {"unstable", {2, {{-4, 0}, {0, 9}}, {{1, 0}, {0, 1}}}, -4.0, true, false, false},
        // M semidefinite beside a definite K: the second degree of freedom
        // has no mass, and the finite mode is a vibration mode
        {"massless_dof", {2, {{4e5, -2e5}, {-2e5, 4e5}}, {{1, 0}, {0, 0}}}, 3e5, true, true, true},
        // M of both signs beside a definite K: a buckling pencil, no masses
        {"buckling", {2, {{4e5, -2e5}, {-2e5, 4e5}}, {{1, 0}, {0, -0.5}}}, -2e5 - std::sqrt(2.8e11), false, false, false},
        // mu = 0 to within rounding: an infinite lambda, not 1 / rounding
        {"rank_one_geometric", {2, {{4e5, -2e5}, {-2e5, 4e5}}, {{0.3, 0.21}, {0.21, 0.147}}}, 1 / 2.19e-6, false, false, false},
        // lambda = 0 and 2e600: a speck of rounding times 2^1993 is still 0
        {"beyond_range", {2, {{1e300, 1e300}, {1e300, 1e300}}, {{1e-300, 0}, {0, 1e-300}}}, 0.0, true, true, false},
        // lambda = +-1e600 with an infinite bound: beyond the range, not a rigid-body mode
        {"beyond_range_up", {2, {{1e300, 0}, {0, 1e300}}, {{1e-300, 0}, {0, 1e-300}}}, HUGE_VAL, true, true, true},
        {"beyond_range_down", {2, {{-1e300, 0}, {0, -1e300}}, {{1e-300, 0}, {0, 1e-300}}}, -HUGE_VAL, true, false, false},
        // M all but singular (condition about 1e18): no vector can be
        // bounded, and the first one's quotient is another eigenvalue's; the
        // count's lambda, right to its own conditioning, is shown instead;
        // without a bound it is no rigid-body mode, and being negative has
        // no frequency
        {"m_all_but_singular",
         {4, {{5.9132988832800015e-18, -1.1974573875348793e-17, 2.0911253928440762e-17, 6.475494656821224e-18}, {-1.1974573875348793e-17, 5.1991429729658486e-18, -1.8055609309727417e-17, 1.7300421661914652e-17}, {2.0911253928440762e-17, -1.8055609309727417e-17, 1.360164943036343e-17, -1.2611013023636008e-18}, {6.475494656821224e-18, 1.7300421661914652e-17, -1.2611013023636008e-18, -4.058992908770195e-18}},
          {{0.11730018065939966, -0.10656888058620839, 0.11180621330719916, 0.08004786331037922}, {-0.10656888058620839, 0.09682371584764626, -0.10165714976937607, -0.07274957563380512}, {0.11180621330719916, -0.10165714976937607, 0.10801882066054012, 0.07676014276915674}, {0.08004786331037922, -0.07274957563380512, 0.07676014276915674, 0.1503804623892626}}},
         -0.005523733051537768, true, false, false},
    };
    for (const auto& row : rows) {
        const MatrixStore s = StoreOf(row.p);
        const auto modes = ModesOf(s.K, s.M, row.p.n);
        ASSERT_TRUE(modes) << row.name;
        const Mode& m = modes->modes[0];
        if (std::isinf(row.lambda)) {
            EXPECT_EQ(m.lambda, row.lambda) << row.name;
        } else {
            EXPECT_NEAR(m.lambda, row.lambda, 1e-9 * std::max(1.0, std::fabs(row.lambda))) << row.name;
        }
        EXPECT_EQ(modes->massDefinite, row.massDefinite) << row.name;
        EXPECT_EQ(!std::isnan(m.hertz), row.hertz) << row.name;
        EXPECT_EQ(!std::isnan(m.period), row.period) << row.name;
        if (row.hertz && !row.period) {
            EXPECT_EQ(m.hertz, 0.0) << row.name;
        }
    }
    for (const auto& row : {rows[2], rows[4], rows[5]}) {  // an infinite eigenvalue each
        const MatrixStore s = StoreOf(row.p);
        const auto modes = ModesOf(s.K, s.M, 2);
        EXPECT_EQ(modes->modes[1].lambda, HUGE_VAL) << row.name;
        EXPECT_TRUE(std::isinf(modes->modes[1].bound)) << row.name;
    }
}

// A repeated eigenvalue gets an M-orthonormal basis of its eigenspace.
TEST(Modes, RepeatedEigenvalueGetsAnOrthonormalBasis)
{
    const Problem p{3, {{3, 1, 0}, {1, 3, 0}, {0, 0, 2}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};  // 2, 2, 4
    const MatrixStore s = StoreOf(p);
    const auto modes = ModesOf(s.K, s.M, 3);
    ASSERT_TRUE(modes);
    for (std::size_t a = 0; a < 2; ++a) {
        EXPECT_LE(std::fabs(modes->modes[a].lambda - 2.0), modes->modes[a].bound);
        for (std::size_t b = 0; b < 2; ++b) {
            double dot = 0.0;
            for (std::size_t i = 0; i < 3; ++i) dot += modes->modes[a].vector[i] * modes->modes[b].vector[i];
            EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, 1e-14) << a << ", " << b;
        }
    }
}

// Every mode's lambda lies within its bound of the truth (ascending; the
// truth's own rounding to long double allowed for), and where scales s_k are
// given, every bound is within 1e-8 of its s_k.
void ExpectBoundsHold(const char* name, const Problem& p, const long double* truth, const double* scale)
{
    const MatrixStore s = StoreOf(p);
    const auto modes = ModesOf(s.K, s.M, p.n);
    ASSERT_TRUE(modes) << name;
    for (int k = 0; k < p.n; ++k) {
        const Mode& m = modes->modes[static_cast<std::size_t>(k)];
        EXPECT_LE(std::fabs(static_cast<long double>(m.lambda) - truth[k]),
                  static_cast<long double>(m.bound) * (1.0L + 1e-15L) + 1e-19L * std::fabs(truth[k]))
            << name << ", mode " << k + 1 << ": lambda " << m.lambda << ", bound " << m.bound;
        if (scale) {
            EXPECT_LE(m.bound, 1e-8 * scale[k]) << name << ", mode " << k + 1 << ": lambda " << m.lambda;
        }
    }
}

// Diagonal pencils whose entries span a huge range: the small entries'
// rounding errors, squared in double, fall below its range, and must not
// shrink the small eigenvalue's bound to nothing. 1/3, 2/7 and 0.1/3 are
// no doubles, so a bound of 0 cannot hold.
TEST(Modes, BoundsHoldWhereEntriesSpanAHugeRange)
{
    const struct {
        const char* name;
        Problem p;
        long double truth[3];  // ascending
    } rows[] = {
        {"n2_1e100", {2, {{1e100, 0}, {0, 1}}, {{1, 0}, {0, 3}}}, {1.0L / 3, static_cast<long double>(1e100)}},
        {"n2_1e150", {2, {{1e150, 0}, {0, 1}}, {{1, 0}, {0, 3}}}, {1.0L / 3, static_cast<long double>(1e150)}},
        {"n2_1e300", {2, {{1e300, 0}, {0, 1}}, {{1, 0}, {0, 3}}}, {1.0L / 3, static_cast<long double>(1e300)}},
        // rounding terms deep in the subnormal range
        {"n2_1e308", {2, {{1e308, 0}, {0, 0.1}}, {{1, 0}, {0, 3}}},
         {static_cast<long double>(0.1) / 3, static_cast<long double>(1e308)}},
        // coupled: the residual itself falls below the double range when squared
        {"n2_coupled_1e308", {2, {{1e308, 1}, {1, 1}}, {{1, 0.5}, {0.5, 3}}}, {1.0L / 3, 1.0909090909090909211e308L}},
        {"n3_1e200", {3, {{1e200, 0, 0}, {0, 1, 0}, {0, 0, 2}}, {{1, 0, 0}, {0, 3, 0}, {0, 0, 7}}},
         {2.0L / 7, 1.0L / 3, static_cast<long double>(1e200)}},
    };
    for (const auto& row : rows) ExpectBoundsHold(row.name, row.p, row.truth, nullptr);
}

// Groups of eigenvalues close at the pencil's scale that differ by many
// orders of magnitude below it (found by a random search over wide ranges):
// taking each vector found out of the next one after the solve magnified
// its rounding error until it swamped the next vector, and the bounds,
// though they held, were 0.68 on a scale of 1.9 and 3e205 on one of 1e206.
TEST(Modes, GroupSpanningManyOrdersBelowItsScaleStaysTight)
{
    const struct {
        const char* name;
        Problem p;
        long double truth[4];  // ascending, from 420-digit arithmetic
        double scale[4];       // s_k from the same, with max |entry| for the norms, rounded down
    } rows[] = {
        {"n4_1e-292_to_1",
         {4,
          {{-1.9615396415577426e-42, 0.0, -4.560351974776584e-22, 4.466968669162388e-22},
           {0.0, -7.169934269469571e-292, 0.0, -0.0},
           {-4.560351974776584e-22, 0.0, -7.169934269470288e-292, -0.0},
           {4.466968669162388e-22, -0.0, -0.0, 1.8698209753670034}},
          {{1.2827524810271427, -0.16650532229473916, 0.06650554990596502, 0.20155012766571995},
           {-0.16650532229473916, 0.8893623363151943, -0.1550555438131406, 0.1101380240306501},
           {0.06650554990596502, -0.1550555438131406, 1.2163324140460219, -0.15222152536530062},
           {0.20155012766571995, 0.1101380240306501, -0.15222152536530062, 0.6224363147479457}}},
         {-3.62646956776661829458e-22L, -8.06188206617343370749e-292L, 3.8563196857998534187e-22L,
          3.38159553410313563821L},
         {1.5, 2.0, 1.5, 11.0}},
        {"n3_1e-95_to_1e206",
         {3,
          {{1.8563117431418045e-95, -4.1828190946220906e-48, 0.0},
           {-4.1828190946220906e-48, -1.070957268819177, 0.3206913486167433},
           {0.0, 0.3206913486167433, -1.2296265645971222e+206}},
          {{1.5199151508722901, -0.25343133534724166, 0.25707521050212984},
           {-0.25343133534724166, 0.7950753564457019, -0.12514798424812984},
           {0.25707521050212984, -0.12514798424812984, 1.9703458323082328}}},
         {-6.41141395753675231403e+205L, -1.42259765860240670028L, 2.29617297209871108118e-95L},
         {1.3e206, 1.6e206, 8e205}},
        // M of condition 3e13: here moving the vectors found disturbs the
        // next one more than taking them out, and is kept for where that fails
        {"n3_ill_conditioned_m",
         {3,
          {{1.2208212977683475e+168, 0.0, 0.0}, {0.0, -0.6850571655500216, -0.0}, {0.0, -0.0, 0.9707485383152432}},
          {{1.0, 0.9999999999999, 0.9999999999999},
           {0.9999999999999, 1.0, 0.9999999999999},
           {0.9999999999999, 0.9999999999999, 1.0}}},
         {-2.32775052211845601974L, 1428012830111.63058291L, 8.13627871508040987728e+180L},
         {2.1e169, 1.2e181, 8.1e193}},
    };
    for (const auto& row : rows) ExpectBoundsHold(row.name, row.p, row.truth, row.scale);
}

// A start with no part along the eigenvector cannot find it; the next one
// does. K = diag(1, 2, 3), M = I, at the eigenvalue 2: (1, 0, 0) misses e2.
TEST(Modes, StartThatMissesTheEigenvector)
{
    MatrixStore s;
    for (std::size_t i = 1; i <= 3; ++i) s.K[i][i] = static_cast<double>(i), s.M[i][i] = 1.0;
    const DefinitePencil p = ClassifyPencil(s.K, s.M, 3).pencil;
    const Vector4 starts[2] = {{1, 0, 0, 0}, {0.3, 0.5, 0.7, 0}};
    const Vector4 x = InverseIteration(p, ScaledNu(p, 2.0), starts, {});
    EXPECT_NEAR(std::fabs(x[1]), 1.0, 1e-15);
    EXPECT_NEAR(x[0], 0.0, 1e-15);
}

// Over seeded pencils: the reference lies within every bound, every bound is
// below 1e-8 of the eigenvalue's own scale and every value within 1e-12 of
// it, every residual within a few units of rounding, and the normalisation,
// signs and masses as promised.
TEST(Modes, PropertiesAgainstTheReference)
{
    const unsigned seed = 1616;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    struct Case {
        Problem p;
        bool mDefinite;
        bool physical = true;  // well conditioned: the effective masses add up to rounding
    };
    std::vector<Case> cases;
    for (int n = 2; n <= 4; ++n) {
        for (const PhysicalProblem& physical : PhysicalProblems(n, 30, 900 + static_cast<unsigned>(n))) {
            cases.push_back({physical.p, true});
            if (physical.what == "random definite pencil") continue;
            Problem buckling = physical.p;  // the same stiffness with a geometric one of mixed signs
            for (int i = 0; i < n; ++i)
                for (int j = 0; j <= i; ++j) buckling.m[i][j] = buckling.m[j][i] = i == j ? u(rng) * 1e4 : u(rng) * 1e3;
            cases.push_back({buckling, false});
        }
    }
    for (int t = 0; t < 150; ++t) {  // and M of condition up to 1e13, close eigenvalues among them
        const int n = 2 + t % 3;
        Problem p{n, {}, {}};
        for (int i = 0; i < n; ++i) {
            p.m[i][i] = std::pow(10.0, -13.0 * (0.5 + 0.5 * u(rng)) * i / (n - 1));
            for (int j = i; j < n; ++j) p.k[i][j] = p.k[j][i] = u(rng) * p.m[i][i];
        }
        if (t % 3 == 0) p.k[n - 1][n - 1] = p.k[0][0] * p.m[n - 1][n - 1] / p.m[0][0] * (1 + 1e-9 * u(rng));
        cases.push_back({p, true, false});
    }
    for (int t = 0; t < 150; ++t) {  // M = L L^T, not diagonal, of condition up to about 1e13
        const int n = 2 + t % 3;
        Problem p{n, {}, {}};
        double l[4][4] = {};
        for (int i = 0; i < n; ++i)
            for (int j = 0; j <= i; ++j) l[i][j] = i == j ? std::pow(10.0, -(1.0 + 3.0 * (0.5 + 0.5 * u(rng))) * i / (n - 1)) : u(rng);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                for (int k = 0; k < n; ++k) p.m[i][j] += l[i][k] * l[j][k];
                p.k[i][j] = i <= j ? u(rng) : p.k[j][i];
            }
        cases.push_back({p, true, false});
    }
    // K = L diag(1, 1 + gap, 3) L^T, M = L L^T: a close pair where M is well
    // conditioned, beside a direction where it is not, which widens bounds
    // that measure residuals in M^-1 by M's smallest eigenvalue.
    for (const double d : {1e-4, 1e-5, 1e-6})
        for (const double gap : {1e-9, 1e-10}) {
            const double l[3][3] = {{1, 0, 0}, {0.3, 1, 0}, {0.5, 0.4, d}};
            const double lambda[3] = {1, 1 + gap, 3};
            Problem p{3, {}, {}};
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    for (int k = 0; k < 3; ++k) {
                        p.k[i][j] += l[i][k] * lambda[k] * l[j][k];
                        p.m[i][j] += l[i][k] * l[j][k];
                    }
            cases.push_back({p, true, false});
        }
    double worstBound = 0.0;  // largest bound / s_k
    for (const Case& c : cases) {
        const int n = c.p.n;
        const MatrixStore s = StoreOf(c.p);
        const auto modes = ModesOf(s.K, s.M, n);
        ASSERT_TRUE(modes);
        const auto reference = ReferencePencil(c.p, c.mDefinite);
        double kNorm = 0.0, mNorm = 0.0, massSum = 0.0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) kNorm += c.p.k[i][j] * c.p.k[i][j], mNorm += c.p.m[i][j] * c.p.m[i][j];
        kNorm = std::sqrt(kNorm);
        mNorm = std::sqrt(mNorm);
        for (int k = 0; k < n; ++k) {
            const Mode& m = modes->modes[static_cast<std::size_t>(k)];
            // The reference's k-th lambda: nu itself, or 1 / mu in the order of lambda.
            std::vector<long double> lambdas;
            for (const auto& r : reference) lambdas.push_back(c.mDefinite ? r.nu : 1.0L / r.nu);
            std::sort(lambdas.begin(), lambdas.end());
            const long double truth = lambdas[static_cast<std::size_t>(k)];
            const std::string what = "n = " + std::to_string(n) + (c.mDefinite ? "" : " buckling") + ", mode " +
                                     std::to_string(k + 1) + ": lambda " + std::to_string(m.lambda);
            if (std::isinf(m.bound)) {
                ADD_FAILURE() << what << ": no bound";
                continue;
            }
            // The reference itself is right to about 1e-18 of its s.
            const long double slack = 4e-18L * reference[static_cast<std::size_t>(k)].s;
            EXPECT_LE(std::fabs(static_cast<long double>(m.lambda) - truth), static_cast<long double>(m.bound) + slack)
                << what << ", bound " << m.bound << ", true " << static_cast<double>(truth);
            // s_k in lambda's terms, from this mode's own vector.
            double xx = 0.0, xmx = 0.0, xmxSize = 0.0, big = 0.0;
            std::array<double, 4> r{};
            for (int i = 0; i < n; ++i) {
                xx += m.vector[static_cast<std::size_t>(i)] * m.vector[static_cast<std::size_t>(i)];
                big = std::max(big, std::fabs(m.vector[static_cast<std::size_t>(i)]));
                for (int j = 0; j < n; ++j) {
                    xmx += m.vector[static_cast<std::size_t>(i)] * c.p.m[i][j] * m.vector[static_cast<std::size_t>(j)];
                    xmxSize += std::fabs(m.vector[static_cast<std::size_t>(i)] * c.p.m[i][j] * m.vector[static_cast<std::size_t>(j)]);
                    r[static_cast<std::size_t>(i)] += (c.p.k[i][j] - m.lambda * c.p.m[i][j]) * m.vector[static_cast<std::size_t>(j)];
                }
            }
            const double scale = (kNorm + std::fabs(m.lambda) * mNorm);
            const double sk = scale * xx / std::fabs(xmx);
            EXPECT_LE(m.bound, 1e-8 * sk) << what;
            // right to its own conditioning, as a counted value is
            EXPECT_LE(std::fabs(static_cast<long double>(m.lambda) - truth), 1e-12L * sk + slack) << what;
            worstBound = std::max(worstBound, m.bound / sk);
            double residual = 0.0;
            for (const double ri : r) residual += ri * ri;
            EXPECT_LE(std::sqrt(residual), 64 * DBL_EPSILON * scale * std::sqrt(xx)) << what;
            if (modes->massDefinite) {
                // x^T (+-M) x = 1, to the rounding of forming it here
                EXPECT_NEAR(std::fabs(xmx), 1.0, 1e-12 + 4 * n * n * DBL_EPSILON * xmxSize) << what;
                massSum += m.effectiveMass;
            } else {
                EXPECT_EQ(big, 1.0) << what;
            }
            for (int i = 0; i < n; ++i)  // the first component of the largest magnitude is positive
                if (std::fabs(m.vector[static_cast<std::size_t>(i)]) >= big * (1 - 1e-9)) {
                    EXPECT_GT(m.vector[static_cast<std::size_t>(i)], 0.0) << what;
                    break;
                }
        }
        if (modes->massDefinite && c.physical) {
            EXPECT_NEAR(massSum, modes->totalMass, 1e-12 * std::fabs(modes->totalMass));
        }
    }
    std::printf("%zu pencils: worst bound %.2g of s_k\n", cases.size(), worstBound);
}

}  // namespace
}  // namespace varno::test
