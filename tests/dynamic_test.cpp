// Models beyond the grid's size: the dynamic-size path against a long double
// reference (Cholesky of the definite matrix and Jacobi's method on the
// reduced one, both in long double), over seeded families of engineering
// shapes; the report's form; the refusals by size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cfloat>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "cli/dynamic_run.h"
#include "cli/problem_stream.h"
#include "driver/calculate.h"
#include "certified/dynamic/enclosures.h"
#include "core/model_import.h"

namespace varno::test {
namespace {

using L = long double;

// Eigenvalues of K x = lambda M x for B = M (inverted: B = K, lambda = 1 / mu)
// definite: reduced by B's Cholesky factor, then cyclic Jacobi.
std::vector<L> Reference(const SymmetricPencil& p, bool inverted)
{
    const int n = p.n();
    const DenseMatrix& A = inverted ? p.M : p.K;
    const DenseMatrix& B = inverted ? p.K : p.M;
    std::vector<L> l(static_cast<std::size_t>(n * n), 0.0L), c(l);
    const auto at = [n](std::vector<L>& v, int i, int j) -> L& { return v[static_cast<std::size_t>(i * n + j)]; };
    for (int j = 0; j < n; ++j) {
        L d = B(j, j);
        for (int k = 0; k < j; ++k) d -= at(l, j, k) * at(l, j, k);
        at(l, j, j) = std::sqrt(d);
        for (int i = j + 1; i < n; ++i) {
            L s = B(i, j);
            for (int k = 0; k < j; ++k) s -= at(l, i, k) * at(l, j, k);
            at(l, i, j) = s / at(l, j, j);
        }
    }
    // C = L^-1 A L^-T, by two triangular solves.
    std::vector<L> y(l.size());
    for (int col = 0; col < n; ++col)
        for (int i = 0; i < n; ++i) {
            L s = A(i, col);
            for (int k = 0; k < i; ++k) s -= at(l, i, k) * at(y, k, col);
            at(y, i, col) = s / at(l, i, i);
        }
    for (int row = 0; row < n; ++row)
        for (int i = 0; i < n; ++i) {
            L s = at(y, row, i);
            for (int k = 0; k < i; ++k) s -= at(l, i, k) * at(c, row, k);
            at(c, row, i) = s / at(l, i, i);
        }
    for (int sweep = 0; sweep < 30; ++sweep) {
        L off = 0.0L;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) off += at(c, i, j) * at(c, i, j);
        if (off == 0.0L) break;
        for (int p0 = 0; p0 < n; ++p0)
            for (int q = p0 + 1; q < n; ++q) {
                if (at(c, p0, q) == 0.0L) continue;
                const L theta = (at(c, q, q) - at(c, p0, p0)) / (2 * at(c, p0, q));
                const L t = (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
                const L cs = 1 / std::sqrt(t * t + 1), sn = t * cs;
                for (int k = 0; k < n; ++k) {
                    const L a = at(c, k, p0), b = at(c, k, q);
                    at(c, k, p0) = cs * a - sn * b, at(c, k, q) = sn * a + cs * b;
                }
                for (int k = 0; k < n; ++k) {
                    const L a = at(c, p0, k), b = at(c, q, k);
                    at(c, p0, k) = cs * a - sn * b, at(c, q, k) = sn * a + cs * b;
                }
            }
    }
    std::vector<L> out;
    L top = 0.0L;
    for (int i = 0; i < n; ++i) top = std::max(top, std::fabs(at(c, i, i)));
    // mu at rounding level of the largest is a degree of freedom without mass: lambda = inf.
    for (int i = 0; i < n; ++i) {
        const L mu = at(c, i, i);
        out.push_back(!inverted ? mu : std::fabs(mu) <= 1e-15L * top ? HUGE_VALL : 1 / mu);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The number of eigenvalues of K x = lambda M x below sigma (M definite), by
// the inertia of K - sigma M counted in long double with Bunch-Parlett's
// complete pivoting: exact for a pencil within about 1e-18 of the one given,
// whatever M's condition. Where K is the definite one, of M - mu K.
int CountBelow(const SymmetricPencil& p, L sigma, bool inverted)
{
    const int n = p.n();
    const DenseMatrix& A = inverted ? p.M : p.K;
    const DenseMatrix& B = inverted ? p.K : p.M;
    std::vector<L> s(static_cast<std::size_t>(n * n));
    const auto at = [&](int i, int j) -> L& { return s[static_cast<std::size_t>(i * n + j)]; };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) at(i, j) = static_cast<L>(A(i, j)) - sigma * B(i, j);
    std::vector<int> rest(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) rest[static_cast<std::size_t>(i)] = i;
    const L alpha = (1.0L + std::sqrt(17.0L)) / 8.0L;
    int negative = 0;
    while (!rest.empty()) {
        int di = rest[0], oi = -1, oj = -1;
        L dBig = 0.0L, oBig = 0.0L;
        for (const int a : rest) {
            if (std::fabs(at(a, a)) > dBig) dBig = std::fabs(at(a, a)), di = a;
            for (const int b : rest)
                if (b != a && std::fabs(at(a, b)) > oBig) oBig = std::fabs(at(a, b)), oi = a, oj = b;
        }
        if (dBig == 0.0L && oBig == 0.0L) break;
        const auto drop = [&](int i) { rest.erase(std::find(rest.begin(), rest.end(), i)); };
        if (dBig >= alpha * oBig) {
            const L d = at(di, di);
            negative += d < 0.0L;
            drop(di);
            for (const int a : rest)
                for (const int b : rest) at(a, b) -= at(a, di) * at(di, b) / d;
        } else {
            const L a11 = at(oi, oi), a22 = at(oj, oj), a12 = at(oi, oj);
            const L det = a11 * a22 - a12 * a12;
            negative += det < 0.0L ? 1 : (a11 < 0.0L ? 2 : 0);
            drop(oi), drop(oj);
            for (const int a : rest)
                for (const int b : rest) {
                    const L x = at(a, oi), y = at(a, oj);
                    at(a, b) -= (x * (a22 * at(oi, b) - a12 * at(oj, b)) + y * (a11 * at(oj, b) - a12 * at(oi, b))) / det;
                }
        }
    }
    return negative;
}

enum class Family { ShearBuilding, BeamChain, RandomDefinite, Repeated, GradedMass, Massless, Buckling, FreeFree };

SymmetricPencil Make(Family f, int n, std::mt19937_64& rng)
{
    SymmetricPencil p{DenseMatrix(n), DenseMatrix(n)};
    std::uniform_real_distribution<double> u(0.5, 2.0);
    std::normal_distribution<double> g;
    switch (f) {
    case Family::ShearBuilding:  // storeys of 1e5 kg on columns of 1e8 N/m, each its own
        for (int i = 0; i < n; ++i) {
            p.M(i, i) = 1e5 * u(rng);
            const double k = 1e8 * u(rng), above = i + 1 < n ? 1e8 * u(rng) : 0.0;
            p.K(i, i) += k + above;
            if (i + 1 < n) p.K(i, i + 1) = p.K(i + 1, i) = -above, p.K(i + 1, i + 1) -= 0.0;
        }
        break;
    case Family::BeamChain: {  // Euler-Bernoulli elements, deflection in m and rotation in rad, clamped
        const int nodes = n / 2;
        for (int e = 0; e < nodes; ++e) {
            const double EI = 2.1e11 * 8e-6 * u(rng), len = 0.5 * u(rng), rho = 7850 * 1e-3;
            const double k[4][4] = {{12, 6 * len, -12, 6 * len}, {6 * len, 4 * len * len, -6 * len, 2 * len * len},
                                    {-12, -6 * len, 12, -6 * len}, {6 * len, 2 * len * len, -6 * len, 4 * len * len}};
            const double m[4][4] = {{156, 22 * len, 54, -13 * len}, {22 * len, 4 * len * len, 13 * len, -3 * len * len},
                                    {54, 13 * len, 156, -22 * len}, {-13 * len, -3 * len * len, -22 * len, 4 * len * len}};
            const int idx[4] = {2 * e - 2, 2 * e - 1, 2 * e, 2 * e + 1};
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c)
                    if (idx[r] >= 0 && idx[c] >= 0 && idx[r] < n && idx[c] < n) {
                        p.K(idx[r], idx[c]) += EI / (len * len * len) * k[r][c];
                        p.M(idx[r], idx[c]) += rho * len / 420 * m[r][c];
                    }
        }
        for (int i = 2 * nodes; i < n; ++i) p.K(i, i) = 1e6, p.M(i, i) = 1.0;
        break;
    }
    case Family::RandomDefinite:
    case Family::GradedMass: {
        std::vector<double> x(static_cast<std::size_t>(n * n)), y(x.size());
        for (double& v : x) v = g(rng);
        for (double& v : y) v = g(rng);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                double s = 0, t = 0;
                for (int k = 0; k < n; ++k)
                    s += x[static_cast<std::size_t>(i * n + k)] * x[static_cast<std::size_t>(j * n + k)],
                        t += y[static_cast<std::size_t>(i * n + k)] * y[static_cast<std::size_t>(j * n + k)];
                p.K(i, j) = s - (i == j ? n / 3.0 : 0.0);
                p.M(i, j) = t + (i == j ? 1.0 : 0.0);
            }
        if (f == Family::GradedMass)  // units from 1e-6 to 1e6 per degree of freedom
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    const double d = std::pow(10.0, -6.0 + 12.0 * i / (n - 1)) * std::pow(10.0, -6.0 + 12.0 * j / (n - 1));
                    p.K(i, j) *= d, p.M(i, j) *= d;
                }
        break;
    }
    case Family::Repeated:  // two equal chains side by side: every eigenvalue twice
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < n / 2; ++i) {
                const int r = c * (n / 2) + i;
                p.M(r, r) = 2.0, p.K(r, r) = 2e3;
                if (i + 1 < n / 2) p.K(r, r + 1) = p.K(r + 1, r) = -1e3;
            }
        for (int r = 2 * (n / 2); r < n; ++r) p.M(r, r) = 1.0, p.K(r, r) = 7e3;
        break;
    case Family::Buckling:  // a column's stiffness beside a geometric stiffness of both signs
        for (int i = 0; i < n; ++i) {
            p.K(i, i) = 2e6 * u(rng), p.M(i, i) = 1.0;
            if (i + 1 < n) p.K(i, i + 1) = p.K(i + 1, i) = -0.45e6, p.M(i, i + 1) = p.M(i + 1, i) = -0.9;
        }
        break;
    case Family::FreeFree:  // two chains held nowhere: two rigid-body modes, lambda = 0 twice
        for (int i = 0; i + 1 < n; ++i) {
            if (i + 1 == n / 2) continue;
            const double k = 1e4 * u(rng);
            p.K(i, i) += k, p.K(i + 1, i + 1) += k, p.K(i, i + 1) = p.K(i + 1, i) = -k;
        }
        // Consistent masses: coupled as the springs are.
        for (int i = 0; i < n; ++i) p.M(i, i) += u(rng);
        for (int i = 0; i + 1 < n; ++i)
            if (i + 1 != n / 2) p.M(i, i + 1) = p.M(i + 1, i) = 0.2 * u(rng);
        break;
    case Family::Massless:  // every third degree of freedom without mass
        for (int i = 0; i < n; ++i) {
            p.M(i, i) = i % 3 == 0 ? 0.0 : u(rng);
            p.K(i, i) = 2e4;
            if (i + 1 < n) p.K(i, i + 1) = p.K(i + 1, i) = -0.45e4 * u(rng);  // diagonally dominant: K definite
        }
        break;
    }
    return p;
}

TEST(Dynamic, FamiliesAgainstLongDouble)
{
    const unsigned seed = 3838;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    struct Row {
        const char* name;
        Family family;
        bool inverted;  // the reference reduces by K
    };
    const Row rows[] = {{"shear_building", Family::ShearBuilding, false}, {"beam_chain", Family::BeamChain, false},
                        {"random_definite", Family::RandomDefinite, false}, {"repeated", Family::Repeated, false},
                        {"graded_mass", Family::GradedMass, false},       {"massless", Family::Massless, true},
                        {"buckling", Family::Buckling, true},            {"free_free", Family::FreeFree, false}};
    int pencils = 0;
    for (const Row& row : rows)
        for (const int n : {7, 12, 30, 61, 200}) {
            // At the largest size the count at the bounds' ends alone: Jacobi's
            // sweeps in long double would take seconds.
            const bool jacobi = n <= 61;
            const SymmetricPencil p = Make(row.family, n, rng);
            const std::optional<DynamicModalResult> r = DynamicModesOf(p);
            ASSERT_TRUE(r) << row.name << " n=" << n;
            EXPECT_EQ(r->definite, row.inverted ? DefiniteMatrix::K : DefiniteMatrix::M) << row.name << " n=" << n;
            const std::vector<L> truth = jacobi ? Reference(p, row.inverted) : std::vector<L>();
            // The scale of the rule: |K| + |lambda| |M| over M's least, in the units the reference reduces in.
            for (int k = 0; k < (jacobi ? n : 0); ++k) {
                const std::size_t u = static_cast<std::size_t>(k);
                // The massless family's reference holds mu = 1/lambda: infinities there are mu = 0 to rounding.
                if (std::isinf(r->lambda[u])) {
                    EXPECT_TRUE(std::isinf(truth[u])) << row.name << " n=" << n << " k=" << k;
                    continue;
                }
                const L err = std::fabs(static_cast<L>(r->lambda[u]) - truth[u]);
                EXPECT_LE(err, static_cast<L>(r->bound[u])) << row.name << " n=" << n << " k=" << k;
                EXPECT_LT(r->bound[u], 1e-6 * std::fabs(r->lambda[u]) + 1e-9 * std::fabs(r->lambda[static_cast<std::size_t>(n) - 1]) + 1e-300)
                    << row.name << " n=" << n << " k=" << k;
                EXPECT_LE(err, 1e-11L * std::fabs(truth[u]) + 1e-13L * std::fabs(truth.back()))
                    << row.name << " n=" << n << " k=" << k;
            }
            if (row.family == Family::FreeFree) {
                EXPECT_EQ(r->omega[0], 0.0) << "n=" << n;  // rigid bodies: no period
                EXPECT_EQ(r->omega[1], 0.0) << "n=" << n;
            }
            // The bounds' ends, by the independent count (where it is quick).
            for (const int k : {0, n / 2, n - 1}) {
                const std::size_t u = static_cast<std::size_t>(k);
                if ((n > 30 && jacobi) || std::isinf(r->lambda[u]) || row.family == Family::Buckling) continue;
                const double lo = r->lambda[u] - r->bound[u], hi = r->lambda[u] + r->bound[u];
                const bool inv = row.inverted;
                // Where K is the definite one the count is of mu = 1 / lambda, which reverses the order.
                const int below = inv ? n - CountBelow(p, 1 / static_cast<L>(lo), true) : CountBelow(p, lo, false);
                const int upTo = inv ? n - CountBelow(p, 1 / static_cast<L>(hi), true) : CountBelow(p, hi, false);
                if (!(inv && lo <= 0.0)) {
                    EXPECT_LE(below, k) << row.name << " n=" << n << " k=" << k;
                    EXPECT_GT(upTo, k) << row.name << " n=" << n << " k=" << k;
                }
            }
            ++pencils;
        }
    std::printf("%d pencils\n", pencils);
}

TEST(Dynamic, RepeatedEigenvaluesAreCountedTogether)
{
    std::mt19937_64 rng(1);
    const SymmetricPencil p = Make(Family::Repeated, 40, rng);
    const std::optional<DynamicModalResult> r = DynamicModesOf(p);
    ASSERT_TRUE(r);
    EXPECT_GT(r->counts, 0);
    for (int k = 0; k + 1 < 40; k += 2)
        EXPECT_LE(std::fabs(r->lambda[static_cast<std::size_t>(k)] - r->lambda[static_cast<std::size_t>(k + 1)]),
                  r->bound[static_cast<std::size_t>(k)] + r->bound[static_cast<std::size_t>(k + 1)]);
}

TEST(Dynamic, EffectiveMassesAddUpAndVectorsAreMassNormalised)
{
    std::mt19937_64 rng(2);
    const SymmetricPencil p = Make(Family::BeamChain, 60, rng);
    DynamicRun run = RunDynamic(p, true, 0, {});
    ASSERT_TRUE(run.calculation.modes);
    const DynamicModalResult& r = *run.calculation.modes;
    ASSERT_EQ(run.byDirection.size(), 1u);
    EXPECT_NEAR(run.byDirection[0].sum, run.byDirection[0].totalMass, 1e-10 * run.byDirection[0].totalMass);
    for (int k = 0; k < 60; k += 7) {
        long double q = 0.0L;
        for (int i = 0; i < 60; ++i)
            for (int j = 0; j < 60; ++j) q += static_cast<L>(r.vectors(i, k)) * p.M(i, j) * r.vectors(j, k);
        EXPECT_NEAR(static_cast<double>(q), 1.0, 1e-12) << k;
    }
}

TEST(Dynamic, PencilsThatAreNotDefiniteGoToQz)
{
    // Pairs of degrees of freedom, each its own 2 x 2 pencil: K = diag(1, -1)
    // beside M = [0 1; 1 0] gives +-i; K = diag(1, -1) beside M = diag(1, 0)
    // gives 1 and inf; K = M = diag(0, 1) makes the whole pencil singular.
    enum Pair { Complex, Infinite, Singular, Stiff };
    struct Case {
        const char* name;
        std::vector<Pair> pairs;
        std::vector<Eigenvalue> values;  // ordered as shown; empty: the message
        const char* message;
    } cases[] = {
        {"complex", {Complex, Complex, Complex, Complex}, {{0, -1}, {0, -1}, {0, -1}, {0, -1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}}, nullptr},
        {"infinite", {Infinite, Complex, Infinite, Complex}, {{0, -1}, {0, -1}, {0, 1}, {0, 1}, {1, 0}, {1, 0}, {HUGE_VAL, 0}, {HUGE_VAL, 0}}, nullptr},
        {"singular", {Complex, Singular, Complex, Complex}, {}, SingularPencilMessage},
        // K 1024 times larger than M: lambda = +-1024 i (once balanced, the units must come back).
        {"units", {Stiff, Stiff, Stiff, Stiff}, {{0, -1024}, {0, -1024}, {0, -1024}, {0, -1024}, {0, 1024}, {0, 1024}, {0, 1024}, {0, 1024}}, nullptr},
    };
    for (const Case& c : cases) {
        const int n = 2 * static_cast<int>(c.pairs.size());
        SymmetricPencil p{DenseMatrix(n), DenseMatrix(n)};
        for (int q = 0; q < n / 2; ++q) {
            const int i = 2 * q;
            switch (c.pairs[static_cast<std::size_t>(q)]) {
            case Complex: p.K(i, i) = 1.0, p.K(i + 1, i + 1) = -1.0, p.M(i, i + 1) = p.M(i + 1, i) = 1.0; break;
            case Infinite: p.K(i, i) = 1.0, p.K(i + 1, i + 1) = -1.0, p.M(i, i) = 1.0; break;
            case Singular: p.K(i + 1, i + 1) = 1.0, p.M(i + 1, i + 1) = 1.0; break;
            case Stiff: p.K(i, i) = 1024.0, p.K(i + 1, i + 1) = -1024.0, p.M(i, i + 1) = p.M(i + 1, i) = 1.0; break;
            }
        }
        const DynamicCalculation r = CalculateDynamic(p, false);
        EXPECT_FALSE(r.modes) << c.name;
        if (c.message != nullptr) {
            EXPECT_EQ(r.message, c.message) << c.name;
            continue;
        }
        ASSERT_EQ(r.eigenvalues.size(), c.values.size()) << c.name;
        for (std::size_t k = 0; k < c.values.size(); ++k) {
            if (std::isinf(c.values[k].re)) {
                EXPECT_EQ(r.eigenvalues[k].re, c.values[k].re) << c.name << " " << k;
            } else {
                EXPECT_NEAR(r.eigenvalues[k].re, c.values[k].re, 1e-12) << c.name << " " << k;
            }
            EXPECT_NEAR(r.eigenvalues[k].im, c.values[k].im, 1e-12) << c.name << " " << k;
        }
        EXPECT_TRUE(r.form.complex) << c.name;
    }
}

TEST(Dynamic, ReportNamesEveryLambda)
{
    SymmetricPencil p{DenseMatrix(10), DenseMatrix(10)};
    for (int i = 0; i < 10; ++i) p.K(i, i) = i + 1, p.M(i, i) = 1.0;
    const DynamicCalculation c = CalculateDynamic(p, false);
    EXPECT_NE(c.message.find(" \n lambda9 =           9 \n lambda10 =          10 "), std::string::npos) << c.message;
}

TEST(Dynamic, RefusedBySize)
{
    struct Case {
        const char* k;
        const char* m;
        const char* message;
    } cases[] = {
        {"%%MatrixMarket matrix coordinate real symmetric\n1000000000 1000000000 1\n1 1 1\n", "",
         "K.mtx: the model has 1000000000 degrees of freedom; the program takes at most 4000"},
        {"%%MatrixMarket matrix coordinate real general\n8 7 1\n1 1 1\n", "", "K.mtx: line 2: the matrix is 8 x 7, not square"},
    };
    for (const Case& c : cases) {
        const ImportedModel model = ImportModel("K.mtx", c.k, "M.mtx", c.m, MaxDynamicOrder);
        EXPECT_EQ(model.error, c.message);
    }
    std::string error;
    EXPECT_FALSE(ParseDynamicRows("1;2;3;4;5;6;7", "1;1;1;1;1;1", error));
    EXPECT_EQ(error, "row 1 of K has 1 entry; expected 7");
    EXPECT_FALSE(ParseDynamicRows("1 0 0 0 0 0 0;1 0 0 0 0 0;1 0 0 0 0;1 0 0 0;1 0 0;1 0;1", "1;1;1;1;1;1", error));
    EXPECT_EQ(error, "K has 7 rows but M has 6");
}

}  // namespace
}  // namespace varno::test

namespace varno::test {
namespace {

// Candidates that miss an eigenvalue: the second pair a copy of the first.
// Their intervals meet, the counts at the group's ends say it holds one
// eigenvalue and not two, and bisection finds the one missed.
TEST(Dynamic, MissedEigenvalueIsFoundByTheCount)
{
    SymmetricPencil p{DenseMatrix(9), DenseMatrix(9)};
    for (int i = 0; i < 9; ++i) p.K(i, i) = 2.0, p.M(i, i) = 1.0 + i;
    for (int i = 0; i + 1 < 9; ++i) p.K(i, i + 1) = p.K(i + 1, i) = -1.0;
    const std::optional<DynamicPencil> f = FormDynamicPencil(p);
    ASSERT_TRUE(f);
    CandidatePairs c = DynamicCandidates(*f);
    ASSERT_TRUE(c.ok);
    const double truth = c.nu[1];
    for (auto* column : {&c.nu, &c.residual, &c.norm, &c.massNorm, &c.absResidual, &c.absA, &c.absB}) (*column)[1] = (*column)[0];
    const DynamicEnclosures e = Enclose(*f, c, SmallestEigenvalueFloor(f->b));
    EXPECT_GT(e.counts, 2);
    EXPECT_LE(e.lo[1], truth);
    EXPECT_GE(e.hi[1], truth);
    EXPECT_LT(e.hi[1] - e.lo[1], 1e-10 * truth);
}

// Pencils a hunt broke the bounds of: M near singular off its diagonal, M
// definite by a hair, values in the subnormal range. Each bound is checked
// by the independent count at its ends.
TEST(Dynamic, HardPencilsKeepTheirBounds)
{
    struct Case {
        const char* name;
        double smallest;    // M's smallest eigenvalue (Q diag Q^T; the others in [1, 2])
        double kScale, mScale;
        double kShift;      // K = kScale (G + kShift I), G random: definite for a large shift
        std::optional<DefiniteMatrix> definite;  // none: definite only to within rounding, QZ's
    } cases[] = {
        {"mass_near_singular_beside_a_definite_k", 1e-13, 1.0, 1.0, 10.0, DefiniteMatrix::K},
        {"mass_near_singular", 1e-13, 1.0, 1.0, 3.0, DefiniteMatrix::M},
        {"mass_definite_by_a_hair", 9 * 12 * DBL_EPSILON, 1.0, 1.0, 3.0, std::nullopt},
        {"subnormal_lambda", 0.5, 1e-300, 1e20, 3.0, DefiniteMatrix::M},
    };
    for (const Case& c : cases) {
        const int n = 11;
        std::mt19937_64 rng(11);
        std::normal_distribution<double> g;
        // An orthogonal Q from Householder's reflection of a random vector.
        std::vector<double> v(static_cast<std::size_t>(n));
        double vv = 0.0;
        for (double& x : v) x = g(rng), vv += x * x;
        SymmetricPencil p{DenseMatrix(n), DenseMatrix(n)};
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                double m = 0.0;
                for (int k = 0; k < n; ++k) {
                    const double qi = (i == k) - 2 * v[static_cast<std::size_t>(i)] * v[static_cast<std::size_t>(k)] / vv;
                    const double qj = (j == k) - 2 * v[static_cast<std::size_t>(j)] * v[static_cast<std::size_t>(k)] / vv;
                    m += qi * (k == 0 ? c.smallest : 1.0 + k / 10.0) * qj;
                }
                p.M(i, j) = m * c.mScale;
            }
        MirrorUpper(p.M);  // symmetric to the last bit
        for (int i = 0; i < n; ++i)
            for (int j = i; j < n; ++j) p.K(i, j) = p.K(j, i) = c.kScale * (g(rng) + (i == j ? c.kShift : 0.0));
        const std::optional<DynamicModalResult> r = DynamicModesOf(p);
        ASSERT_EQ(r.has_value(), c.definite.has_value()) << c.name;
        if (!r) continue;
        EXPECT_EQ(r->definite, *c.definite) << c.name;
        const bool inv = r->definite == DefiniteMatrix::K;  // then every lambda > 0, and mu = 1 / lambda is counted
        for (int k = 0; k < n; ++k) {
            const std::size_t u = static_cast<std::size_t>(k);
            if (std::isinf(r->bound[u])) continue;
            const L lo = static_cast<L>(r->lambda[u]) - r->bound[u], hi = static_cast<L>(r->lambda[u]) + r->bound[u];
            EXPECT_LE(inv ? n - CountBelow(p, 1 / lo, true) : CountBelow(p, lo, false), k) << c.name << " k=" << k;
            EXPECT_GT(inv ? n - CountBelow(p, 1 / hi, true) : CountBelow(p, hi, false), k) << c.name << " k=" << k;
        }
    }
}

// The lowest few alone: the fourth candidate swapped for the sixth
// eigenvalue's pair. The intervals stay disjoint, but the count above them
// finds six eigenvalues where four are claimed, and bisection finds the
// fourth.
TEST(Dynamic, LowestFewAreProvedByACountAboveThem)
{
    std::mt19937_64 rng(7);
    const SymmetricPencil p = Make(Family::RandomDefinite, 30, rng);
    const std::optional<DynamicPencil> f = FormDynamicPencil(p);
    ASSERT_TRUE(f);
    const CandidatePairs all = DynamicCandidates(*f);
    CandidatePairs c = DynamicCandidates(*f, 4);
    ASSERT_TRUE(c.partial && c.nu.size() == 4u);
    EXPECT_EQ(Enclose(*f, c, f->smallestOfB).counts, 1);
    for (auto [to, from] : {std::pair{&c.nu, &all.nu}, {&c.residual, &all.residual}, {&c.norm, &all.norm},
                            {&c.massNorm, &all.massNorm}, {&c.absResidual, &all.absResidual}, {&c.absA, &all.absA},
                            {&c.absB, &all.absB}})
        (*to)[3] = (*from)[5];
    std::copy_n(all.y.Column(5), 30, c.y.Column(3));
    const DynamicEnclosures e = Enclose(*f, c, f->smallestOfB);
    EXPECT_LE(e.lo[3], all.nu[3]);
    EXPECT_GE(e.hi[3], all.nu[3]);
    // And the modes asked for are those of the whole, to their bounds.
    const std::optional<DynamicModalResult> few = DynamicModesOf(p, true, 4), whole = DynamicModesOf(p);
    ASSERT_TRUE(few && whole);
    ASSERT_EQ(few->lambda.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) EXPECT_LE(std::fabs(few->lambda[k] - whole->lambda[k]), few->bound[k] + whole->bound[k]);
}

}  // namespace
}  // namespace varno::test

namespace varno::test {
namespace {

// A file of problems of any n, small and large mixed, as the batch command streams it.
std::string Problem(int n, const char* kRowFault = nullptr, int mRows = -1)
{
    std::string text = "K\n";
    for (int i = 0; i < n; ++i) {
        for (int j = i; j < n; ++j) text += (j == i ? "2" : j == i + 1 ? "-1" : "0") + std::string(j + 1 < n ? " " : "\n");
        if (i == 0 && kRowFault != nullptr) text.replace(text.rfind('\n') - 1, 1, kRowFault);
    }
    text += "M\n";
    for (int i = 0; i < (mRows < 0 ? n : mRows); ++i) {
        text += "1";
        for (int j = i + 1; j < n; ++j) text += " 0";
        text += "\n";
    }
    return text;
}

TEST(Dynamic, FilesHoldProblemsOfAnySize)
{
    struct Case {
        const char* name;
        std::string input;
        int status;
        std::vector<std::string> out;  // each in the output, in order
        std::string err;
    } cases[] = {
        {"small_then_large", Problem(4) + Problem(9), 0,
         {"{\"line\": 1, \"n\": 4", "{\"line\": 11, \"n\": 9", "lambda9 =      3.9021 "}, ""},
        {"large_row_not_a_number", Problem(8, "x"), 2, {}, "K row 1, column 8: \"x\" is not a number"},
        {"large_row_missing", Problem(8, nullptr, 7), 2, {}, "K has 8 rows but M has 7"},
    };
    for (const Case& c : cases) {
        std::string out, err;
        StreamOptions options;
        options.json = true;
        EXPECT_EQ(RunProblemText(c.input, out, err, options), c.status) << c.name;
        std::size_t at = 0;
        for (const std::string& piece : c.out) {
            at = out.find(piece, at);
            EXPECT_NE(at, std::string::npos) << c.name << ": " << piece << "\n" << out;
        }
        EXPECT_NE(err.find(c.err), std::string::npos) << c.name << ": " << err;
    }
}

}  // namespace
}  // namespace varno::test

namespace varno::test {
namespace {

// A 200-DOF chain written as FE codes write it, in Matrix Market and as a
// CalculiX export (with its .dof labels), imported whole.
TEST(Dynamic, ImportsOfTwoHundredDegreesOfFreedom)
{
    const int n = 200;
    const std::string dir = ::testing::TempDir();
    struct Case {
        const char* k;
        const char* m;
        const char* dof;
    } cases[] = {{"chain_K.mtx", "chain_M.mtx", ""}, {"chain.sti", "chain.mas", "chain.dof"}};
    for (const Case& c : cases) {
        const bool mtx = std::string(c.k).ends_with(".mtx");
        std::string k = mtx ? "%%MatrixMarket matrix coordinate real symmetric\n" + std::to_string(n) + " " +
                                  std::to_string(n) + " " + std::to_string(2 * n - 1) + "\n"
                            : "";
        std::string m = mtx ? "%%MatrixMarket matrix coordinate real symmetric\n" + std::to_string(n) + " " +
                                  std::to_string(n) + " " + std::to_string(n) + "\n"
                            : "";
        std::string labels;
        for (int i = 1; i <= n; ++i) {
            k += std::to_string(i) + " " + std::to_string(i) + " 2e6\n";
            if (i < n) k += std::to_string(i + 1) + " " + std::to_string(i) + " -1e6\n";
            m += std::to_string(i) + " " + std::to_string(i) + " 1000\n";
            labels += std::to_string((i + 2) / 3) + "." + std::to_string((i - 1) % 3 + 1) + "\n";
        }
        for (const auto& [name, text] : {std::pair{c.k, &k}, {c.m, &m}, {c.dof, &labels}}) {
            if (*name == '\0') continue;
            std::FILE* f = std::fopen((dir + name).c_str(), "w");
            ASSERT_NE(f, nullptr);
            std::fputs(text->c_str(), f);
            std::fclose(f);
        }
        ModelFiles files{.k = dir + c.k, .m = dir + c.m, .cap = MaxDynamicOrder};
        if (*c.dof != '\0') files.dof = dir + c.dof;
        const ImportedModel model = ImportModelFiles(files);
        ASSERT_TRUE(model.ok()) << c.k << ": " << model.error;
        EXPECT_EQ(model.n, n);
        EXPECT_EQ(model.k(199, 198), -1e6);
        EXPECT_EQ(model.k(198, 199), -1e6);
        EXPECT_EQ(model.m(199, 199), 1000.0);
        EXPECT_EQ(model.labels.size(), *c.dof != '\0' ? 200u : 0u);
        // The grid's cap refuses the same files by their size.
        files.cap = MaxOrder;
        EXPECT_NE(ImportModelFiles(files).error.find("the model has 200 degrees of freedom; the program takes at most 6"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace varno::test
