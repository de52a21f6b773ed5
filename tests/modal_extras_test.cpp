// Participation per direction, Rayleigh damping and the normalisations of
// the shapes: worked by hand, against a long double reference, and every
// refusal; and the batch command's words for them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "certified/modal_directions.h"
#include "certified/rayleigh_damping.h"
#include "certified/shape_normalisation.h"
#include "cli/batch.h"
#include "tests/count_reference.h"

namespace varno::test {
namespace {

constexpr double Nan = std::numeric_limits<double>::quiet_NaN();

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

// A two-storey plane frame, x and y at each floor (x1, y1, x2, y2), with a
// brace that couples them: floors of 10 and 5 kg.
const Problem Frame{4,
                    {{3000, 300, -1000, -100}, {300, 5000, -100, -2000}, {-1000, -100, 1000, 150}, {-100, -2000, 150, 2000}},
                    {{10, 0, 0, 0}, {0, 10, 0, 0}, {0, 0, 5, 0}, {0, 0, 0, 5}}};
const std::vector<Direction> FrameLabels = {Direction::X, Direction::Y, Direction::X, Direction::Y};

// The chain worked by hand: k1 = 2000, k2 = 1000 N/m, 10 and 5 kg; omega 10 and 20.
const Problem Chain{2, {{3000, -1000}, {-1000, 1000}}, {{10, 0}, {0, 5}}};

// Effective masses of direction labels d in long double: each eigenvector
// by inverse iteration at the reference eigenvalue, M-normalised.
std::vector<long double> ReferenceEffectiveMasses(const Problem& p, const std::vector<Direction>& labels, Direction d)
{
    std::vector<long double> masses;
    const int n = p.n;
    for (const ReferenceEigenvalue& r : ReferenceDefinite(p)) {
        long double x[4] = {1, 1, 1, 1};
        for (int step = 0; step < 4; ++step) {
            long double a[4][4], y[4];
            for (int i = 0; i < n; ++i) {
                y[i] = 0;
                for (int j = 0; j < n; ++j) {
                    a[i][j] = static_cast<long double>(p.k[i][j]) - r.nu * static_cast<long double>(p.m[i][j]);
                    y[i] += static_cast<long double>(p.m[i][j]) * x[j];
                }
            }
            for (int c = 0; c < n; ++c) {
                int pivot = c;
                for (int i = c + 1; i < n; ++i)
                    if (std::fabs(a[i][c]) > std::fabs(a[pivot][c])) pivot = i;
                std::swap(a[c], a[pivot]);
                std::swap(y[c], y[pivot]);
                if (a[c][c] == 0) a[c][c] = 1e-30L;
                for (int i = c + 1; i < n; ++i) {
                    const long double f = a[i][c] / a[c][c];
                    for (int j = c; j < n; ++j) a[i][j] -= f * a[c][j];
                    y[i] -= f * y[c];
                }
            }
            for (int i = n - 1; i >= 0; --i) {
                for (int j = i + 1; j < n; ++j) y[i] -= a[i][j] * y[j];
                y[i] /= a[i][i];
            }
            for (int i = 0; i < n; ++i) x[i] = y[i];
            long double q = 0;
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) q += x[i] * static_cast<long double>(p.m[i][j]) * x[j];
            for (int i = 0; i < n; ++i) x[i] /= std::sqrt(q);
        }
        long double gamma = 0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (labels[static_cast<std::size_t>(j)] == d) gamma += x[i] * static_cast<long double>(p.m[i][j]);
        masses.push_back(gamma * gamma);
    }
    return masses;
}

TEST(ModalDirections, FrameAgainstTheReference)
{
    const MatrixStore s = StoreOf(Frame);
    const auto modes = ModesOf(s.K, s.M, 4);
    ASSERT_TRUE(modes.has_value());
    const auto byDirection = ParticipationByDirection(*modes, s.M, FrameLabels);
    ASSERT_EQ(byDirection.size(), 2u);
    for (const DirectionParticipation& d : byDirection) {
        SCOPED_TRACE(std::string(DirectionLabel(d.direction)));
        EXPECT_EQ(d.totalMass, 15.0);
        EXPECT_NEAR(d.sum, d.totalMass, 1e-12 * d.totalMass);
        EXPECT_NEAR(d.cumulative.back(), 100.0, 1e-10);
        const auto reference = ReferenceEffectiveMasses(Frame, FrameLabels, d.direction);
        for (std::size_t k = 0; k < 4; ++k) {
            EXPECT_NEAR(d.effectiveMass[k], static_cast<double>(reference[k]), 1e-11 * d.totalMass) << k;
            // Both directions take part in some modes: the brace couples them.
            EXPECT_GT(d.share[k], 1e-3) << k;
        }
        int first = 0;
        for (std::size_t k = 0; k < 4 && first == 0; ++k)
            if (d.cumulative[k] >= 90.0) first = static_cast<int>(k) + 1;
        EXPECT_EQ(d.reaches90, first);
        EXPECT_GT(first, 1);
    }
}

TEST(ModalDirections, AllXIsTheWholeStructureAndNoneIsLeftOut)
{
    const MatrixStore s = StoreOf(Chain);
    const auto modes = ModesOf(s.K, s.M, 2);
    ASSERT_TRUE(modes.has_value());
    const auto all = ParticipationByDirection(*modes, s.M, std::vector{Direction::X, Direction::X});
    ASSERT_EQ(all.size(), 1u);
    for (std::size_t k = 0; k < 2; ++k) EXPECT_NEAR(all[0].effectiveMass[k], modes->modes[k].effectiveMass, 1e-13);
    EXPECT_EQ(all[0].reaches90, 2);  // 88.89 % after the first
    const auto top = ParticipationByDirection(*modes, s.M, std::vector{Direction::None, Direction::RZ});
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].direction, Direction::RZ);
    EXPECT_EQ(top[0].totalMass, 5.0);
    EXPECT_TRUE(ParticipationByDirection(*modes, s.M, std::vector{Direction::X}).empty());
}

TEST(ModalDirections, SharesWithTwoDecimals)
{
    EXPECT_EQ(ShareText(87.3449), "87.34");
    EXPECT_EQ(ShareText(100.0), "100.00");
    EXPECT_EQ(ShareText(0.000541), "0.00");
    EXPECT_EQ(ShareText(11.115), "11.12");  // 11.115 is stored just above
    EXPECT_EQ(ShareText(1e300).size(), 304u);
}

ModalResult Omegas(std::vector<double> omega)
{
    ModalResult r;
    r.n = static_cast<int>(omega.size());
    r.massDefinite = true;
    for (std::size_t k = 0; k < omega.size(); ++k) r.modes[k].omega = omega[k];
    return r;
}

// omega 10 and 20 rad/s, zeta 0.05: a0 = 2 zeta wi wj / (wi + wj) = 2/3,
// a1 = 2 zeta / (wi + wj) = 1/300; a third mode at 40 gets
// a0 / 80 + 20 a1 = 0.075.
TEST(RayleighDamping, ByHand)
{
    const RayleighDamping d = RayleighFrom(Omegas({10, 20, 40}), {1, 2, 0.05, 0.05});
    ASSERT_TRUE(d.ok()) << d.error;
    EXPECT_NEAR(d.a0, 2.0 / 3.0, 1e-15);
    EXPECT_NEAR(d.a1, 1.0 / 300.0, 1e-18);
    EXPECT_NEAR(d.zeta[0], 0.05, 1e-15);
    EXPECT_NEAR(d.zeta[1], 0.05, 1e-15);
    EXPECT_NEAR(d.zeta[2], 0.075, 1e-15);
    // Different ratios, modes given in either order: each is met.
    for (const RayleighRequest& q : {RayleighRequest{1, 3, 0.02, 0.07}, RayleighRequest{3, 1, 0.07, 0.02}}) {
        const RayleighDamping e = RayleighFrom(Omegas({10, 20, 40}), q);
        ASSERT_TRUE(e.ok());
        EXPECT_NEAR(e.zeta[0], 0.02, 1e-15);
        EXPECT_NEAR(e.zeta[2], 0.07, 1e-15);
    }
    // The chain worked by hand has just these frequencies.
    const MatrixStore s = StoreOf(Chain);
    const RayleighDamping chain = RayleighFrom(*ModesOf(s.K, s.M, 2), {});
    EXPECT_NEAR(chain.a0, 2.0 / 3.0, 1e-13);
    EXPECT_NEAR(chain.a1, 1.0 / 300.0, 1e-16);
    // A rigid-body mode beside one that vibrates: a0 = 0, and no ratio of its own.
    const RayleighDamping rigid = RayleighFrom(Omegas({0, 20}), {});
    ASSERT_TRUE(rigid.ok());
    EXPECT_EQ(rigid.a0, 0.0);
    EXPECT_NEAR(rigid.a1, 0.005, 1e-18);
    EXPECT_TRUE(std::isnan(rigid.zeta[0]));
}

TEST(RayleighDamping, Refusals)
{
    const struct {
        std::vector<double> omega;
        RayleighRequest request;
        const char* error;
    } cases[] = {
        {{10, 20}, {1, 1, 0.05, 0.05}, "two different modes are needed, not mode 1 twice"},
        {{10, 20}, {1, 3, 0.05, 0.05}, "modes 1 and 3: there are modes 1 to 2 only"},
        {{10, 20}, {0, 2, 0.05, 0.05}, "modes 0 and 2: there are modes 1 to 2 only"},
        {{10, Nan}, {1, 2, 0.05, 0.05}, "mode 2 has no finite frequency"},
        {{HUGE_VAL, 20}, {1, 2, 0.05, 0.05}, "mode 1 has no finite frequency"},
        {{10, 10.1}, {1, 2, 0.05, 0.05}, "modes 1 and 2 have frequencies within 1 % of each other"},
        {{10, 10}, {1, 2, 0.05, 0.05}, "modes 1 and 2 have frequencies within 1 % of each other"},
        {{0, 0}, {1, 2, 0.05, 0.05}, "modes 1 and 2 have frequencies within 1 % of each other"},
        {{10, 20}, {1, 2, -0.01, 0.05}, "a damping ratio must be a number, 0 or more"},
        {{10, 20}, {1, 2, 0.05, Nan}, "a damping ratio must be a number, 0 or more"},
    };
    for (const auto& c : cases) EXPECT_EQ(RayleighFrom(Omegas(c.omega), c.request).error, c.error);
    EXPECT_TRUE(RayleighFrom(Omegas({10, 10.11}), {}).ok());  // just beyond 1 %
}

// Each normalisation on the chain worked by hand, a two-storey shear
// building (k1 = 2000, k2 = 1000 N/m, 10 and 5 kg): shapes (1, 2) / sqrt(30)
// and (1, -1) / sqrt(15) by mass. Of phi as scaled, L = phi^T M r, M* =
// phi^T M phi and Gamma = L / M* follow the scaling; L^2 / M* does not.
// With the roof (dof 2) = 1: phi = (0.5, 1) and (-1, 1), L = 10 and -5,
// M* = 7.5 and 15, Gamma = 4/3 and -1/3, effective masses 40/3 and 5/3.
TEST(ShapeNormalisation, EachOnTheChain)
{
    const MatrixStore s = StoreOf(Chain);
    const ModalResult r = *ModesOf(s.K, s.M, 2);
    const double a = std::sqrt(30.0), b = std::sqrt(15.0);
    const struct {
        Normalisation how;
        double shape[2][2];
        double L[2];
        double mStar[2];
    } cases[] = {
        {{NormalisationKind::Mass, 1}, {{1 / a, 2 / a}, {1 / b, -1 / b}}, {20 / a, 5 / b}, {1, 1}},
        {{NormalisationKind::Largest, 1}, {{0.5, 1}, {1, -1}}, {10, 5}, {7.5, 15}},
        {{NormalisationKind::Dof, 1}, {{1, 2}, {1, -1}}, {20, 5}, {30, 15}},
        {{NormalisationKind::Dof, 2}, {{0.5, 1}, {-1, 1}}, {10, -5}, {7.5, 15}},
    };
    const double effective[2] = {40.0 / 3, 5.0 / 3};
    for (const auto& c : cases) {
        const NormalisedShapes shapes = NormaliseShapes(r, c.how);
        ASSERT_TRUE(shapes.ok()) << shapes.error;
        const auto d = ParticipationByDirection(r, s.M, std::vector{Direction::X, Direction::X});
        for (int k = 0; k < 2; ++k) {
            for (int i = 0; i < 2; ++i) EXPECT_NEAR(ShapeComponent(r, shapes, k, i), c.shape[k][i], 1e-15);
            const auto K = static_cast<std::size_t>(k);
            const ModalFactors f = ModalFactorsOf(d[0].participation[K], d[0].effectiveMass[K], shapes.divisor[K]);
            EXPECT_NEAR(f.participation, c.L[k], 1e-13);
            EXPECT_NEAR(f.generalisedMass, c.mStar[k], 1e-13);
            EXPECT_NEAR(f.gamma, c.L[k] / c.mStar[k], 1e-13);
            EXPECT_NEAR(f.effectiveMass, effective[k], 1e-12);
        }
        if (c.how.kind == NormalisationKind::Dof) {
            for (int k = 0; k < 2; ++k) EXPECT_EQ(ShapeComponent(r, shapes, k, c.how.dof - 1), 1.0);
        }
        // The largest component is +1 exactly; of the two equal in
        // magnitude in mode 2, the first.
        if (c.how.kind == NormalisationKind::Largest) {
            EXPECT_EQ(ShapeComponent(r, shapes, 0, 1), 1.0);
            EXPECT_EQ(ShapeComponent(r, shapes, 1, 0), 1.0);
        }
    }
    // By direction, a rotation among them: x at the first storey, rz at the
    // second, roof = 1: L = 5 in both for mode 1 (M* = 7.5, Gamma = 2/3).
    const NormalisedShapes roof = NormaliseShapes(r, {NormalisationKind::Dof, 2});
    const auto split = ParticipationByDirection(r, s.M, std::vector{Direction::X, Direction::RZ});
    ASSERT_EQ(split.size(), 2u);
    for (const DirectionParticipation& d : split) {
        const ModalFactors f = ModalFactorsOf(d.participation[0], d.effectiveMass[0], roof.divisor[0]);
        EXPECT_NEAR(f.participation, 5, 1e-13);
        EXPECT_NEAR(f.gamma, 2.0 / 3, 1e-14);
        EXPECT_NEAR(f.effectiveMass, 25 / 7.5, 1e-12);
    }
    EXPECT_EQ(NormaliseShapes(r, {NormalisationKind::Dof, 3}).error, "degree of freedom 3: there are 1 to 2 only");
    // A chain fixed at both ends, three equal masses: the second mode has a
    // node in the middle, which cannot be scaled to 1.
    const Problem fixed{3, {{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    const MatrixStore f = StoreOf(fixed);
    const ModalResult three = *ModesOf(f.K, f.M, 3);
    EXPECT_EQ(NormaliseShapes(three, {NormalisationKind::Dof, 2}).error,
              "mode 2 is 0 at degree of freedom 2, so it cannot be scaled to 1 there");
    EXPECT_TRUE(NormaliseShapes(three, {NormalisationKind::Dof, 1}).ok());
}

TEST(BatchOptions, Words)
{
    std::vector<Direction> d;
    EXPECT_EQ(ParseDirectionsOption("x,y,rz,none", d), "");
    EXPECT_EQ(d, (std::vector{Direction::X, Direction::Y, Direction::RZ, Direction::None}));
    EXPECT_EQ(ParseDirectionsOption("x,,y", d), "--directions: \"\" is not a direction (x, y, z, rx, ry, rz or none)");
    EXPECT_EQ(ParseDirectionsOption("x,X", d), "--directions: \"X\" is not a direction (x, y, z, rx, ry, rz or none)");
    RayleighRequest q;
    EXPECT_EQ(ParseRayleighOption("1,3,0.02,0.1", q), "");
    EXPECT_EQ(q.i, 1);
    EXPECT_EQ(q.j, 3);
    EXPECT_EQ(q.zetaI, 0.02);
    EXPECT_EQ(q.zetaJ, 0.1);
    EXPECT_EQ(ParseRayleighOption("2,1", q), "");
    EXPECT_EQ(q.zetaI, 0.05);
    for (const char* bad : {"1", "1,2,0.05", "0,2", "1,2x", "1,2,0.05,5%", "1,2,,0.05", "1,2, 0.05,0.05"})
        EXPECT_NE(ParseRayleighOption(bad, q), "") << bad;
    Normalisation how;
    EXPECT_EQ(ParseNormaliseOption("dof=4", how), "");
    EXPECT_EQ(NormalisationWord(how), "dof=4");
    for (const char* word : {"mass", "max"}) {
        EXPECT_EQ(ParseNormaliseOption(word, how), "");
        EXPECT_EQ(NormalisationWord(how), word);
    }
    for (const char* bad : {"dof=0", "dof=", "dof=1.5", "Mass", "largest"})
        EXPECT_EQ(ParseNormaliseOption(bad, how), "--normalise needs mass, max or dof=N, not \"" + std::string(bad) + "\"");
}

}  // namespace
}  // namespace varno::test
