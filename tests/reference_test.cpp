// The closed forms against LAPACK's dsygv on random well-posed problems.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "tests/harness.h"
#include "tests/reference_problems.h"

namespace varno::test {
namespace {

std::vector<double> Lapack(const Problem& p)
{
    std::vector<double> w = LapackEigenvalues(p);
    EXPECT_EQ(w.size(), static_cast<std::size_t>(p.n));
    return w;
}

std::vector<double> Closed(const Problem& p, std::size_t* reports)
{
    Harness h;
    h.LoadUpper(p.n, p.k, p.m);
    h.Calculate();
    *reports = h.channel.reports.size();
    std::vector<double> re;
    if (h.channel.reports.empty()) return re;
    for (const auto& v : h.channel.reports.back().values) re.push_back(v.re);
    std::sort(re.begin(), re.end());
    return re;
}

struct Accuracy {
    double worst = 0.0;
    int beyond1e9 = 0;
    int count = 0;
};

// Error measured relative to the spectrum's scale max|lambda|: a root near
// zero cannot be resolved better than eps times that scale by any method
// working from the coefficients.
Accuracy Compare(int n, unsigned seed, int problems, double minGap)
{
    std::mt19937_64 rng(seed);
    Accuracy acc;
    for (int k = 0; k < problems; ++k) {
        const Problem p = RandomProblem(rng, n);
        const std::vector<double> ref = Lapack(p);
        const double scale = std::max(std::fabs(ref.front()), std::fabs(ref.back()));
        bool separated = scale < 1e3;  // M can be nearly singular: skip the rare huge spectra
        for (std::size_t i = 1; i < ref.size(); ++i) separated = separated && ref[i] - ref[i - 1] > minGap * scale;
        if (!separated) continue;
        std::size_t reports = 0;
        const std::vector<double> got = Closed(p, &reports);
        EXPECT_EQ(reports, 1u) << "problem " << k;
        if (got.size() != ref.size()) continue;
        for (std::size_t i = 0; i < ref.size(); ++i) {
            const double err = std::fabs(got[i] - ref[i]) / scale;
            acc.worst = std::max(acc.worst, err);
            if (err > 1e-9) ++acc.beyond1e9;
        }
        ++acc.count;
    }
    std::printf("n = %d, seed %u: %d problems, worst relative error %.3g, %d eigenvalues beyond 1e-9\n", n, seed,
                acc.count, acc.worst, acc.beyond1e9);
    return acc;
}

// With eigenvalues at least 5 % of the spectrum apart, the closed forms lose
// digits to cancellation in the coefficients (sums of products of up to n
// entries, with M's condition up to 1e3 here) and, for n = 4, to the
// normalisation by c4 and the resolvent cubic. The bounds sit about a factor
// of 10 above the worst errors seen with these seeds (2.6e-15, 1.6e-14,
// 6.3e-10).
TEST(AgainstLapack, TwoByTwo)
{
    const Accuracy acc = Compare(2, 2026, 3000, 0.05);
    EXPECT_GT(acc.count, 2000);
    EXPECT_LT(acc.worst, 1e-13);
}

TEST(AgainstLapack, ThreeByThree)
{
    const Accuracy acc = Compare(3, 2027, 3000, 0.05);
    EXPECT_GT(acc.count, 1500);
    EXPECT_LT(acc.worst, 1e-12);
}

TEST(AgainstLapack, FourByFour)
{
    const Accuracy acc = Compare(4, 2028, 3000, 0.05);
    EXPECT_GT(acc.count, 1000);
    EXPECT_LT(acc.worst, 1e-8);
}

// K = Q diag(lambda) Q^T with a repeated eigenvalue, M = I. A closed form on
// the characteristic polynomial resolves a double root only to about
// sqrt(eps) ~ 1.5e-8 of the scale, which can show as a wrong last digit; M is
// definite, so the check must catch every such value and show it right.
TEST(AgainstLapack, RepeatedEigenvalues)
{
    for (const int n : {2, 3, 4}) {
        std::mt19937_64 rng(99 + static_cast<unsigned>(n));
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        std::vector<double> errors;
        for (int trial = 0; trial < 500; ++trial) {
            double q[4][4];
            for (int i = 0; i < n; ++i) {  // Gram-Schmidt on random rows
                for (int j = 0; j < n; ++j) q[i][j] = u(rng);
                for (int r = 0; r < i; ++r) {
                    double dot = 0;
                    for (int j = 0; j < n; ++j) dot += q[i][j] * q[r][j];
                    for (int j = 0; j < n; ++j) q[i][j] -= dot * q[r][j];
                }
                double norm = 0;
                for (int j = 0; j < n; ++j) norm += q[i][j] * q[i][j];
                for (int j = 0; j < n; ++j) q[i][j] /= std::sqrt(norm);
            }
            double lambda[4] = {u(rng), 0, u(rng), u(rng)};
            lambda[1] = lambda[0];  // a double eigenvalue
            Problem p{n, {}, {}};
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    double s = 0;
                    for (int t = 0; t < n; ++t) s += q[t][i] * lambda[t] * q[t][j];
                    p.k[i][j] = s;
                    p.m[i][j] = i == j ? 1.0 : 0.0;
                }
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < i; ++j) p.k[i][j] = p.k[j][i];
            std::vector<double> ref(lambda, lambda + n);
            std::sort(ref.begin(), ref.end());
            std::size_t reports = 0;
            const std::vector<double> got = Closed(p, &reports);
            if (got.size() != ref.size()) continue;
            double scale = 0;
            for (const double x : ref) scale = std::max(scale, std::fabs(x));
            double err = 0;
            for (std::size_t i = 0; i < ref.size(); ++i) {
                err = std::max(err, std::fabs(got[i] - ref[i]) / scale);
                EXPECT_TRUE(RightByTheRule(got[i], ref[i], scale, n == 4 ? 5 : 4))
                    << "n = " << n << ", trial " << trial << ": shown " << got[i] << ", true " << ref[i];
            }
            errors.push_back(err);
        }
        std::sort(errors.begin(), errors.end());
        const double median = errors[errors.size() / 2];
        const double p99 = errors[errors.size() * 99 / 100];
        const double worst = errors.back();
        std::printf("repeated eigenvalue, n = %d: %zu problems, median %.3g, 99th percentile %.3g, worst %.3g\n", n,
                    errors.size(), median, p99, worst);
        EXPECT_LT(median, 1e-6) << "n = " << n;
    }
}

}  // namespace
}  // namespace varno::test
