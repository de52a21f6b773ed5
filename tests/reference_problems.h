// Random well-posed pencils and LAPACK's generalized symmetric solver, shared
// by the accuracy tests and the benchmarks so both look at the same problems.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

#include "core/number_text.h"

extern "C" void dsygv_(const int* itype, const char* jobz, const char* uplo, const int* n, double* a,
                       const int* lda, double* b, const int* ldb, double* w, double* work, const int* lwork,
                       int* info, std::size_t jobzLength, std::size_t uploLength);

namespace varno::test {

struct Problem {
    int n;
    double k[6][6];
    double m[6][6];
};

// Symmetric K with entries in [-1, 1]; M = G G^T + 0.1 I, positive definite.
inline Problem RandomProblem(std::mt19937_64& rng, int n)
{
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Problem p{n, {}, {}};
    double g[6][6];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) g[i][j] = u(rng);
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
            p.k[i][j] = p.k[j][i] = u(rng);
            double s = i == j ? 0.1 : 0.0;
            for (int t = 0; t < n; ++t) s += g[i][t] * g[j][t];
            p.m[i][j] = p.m[j][i] = s;
        }
    return p;
}

// The eigenvalues by dsygv, ascending; empty if it fails (M not definite).
inline std::vector<double> LapackEigenvalues(const Problem& p)
{
    const int n = p.n;
    std::vector<double> a(36), b(36), w(6), work(64);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            a[static_cast<std::size_t>(i * n + j)] = p.k[i][j];
            b[static_cast<std::size_t>(i * n + j)] = p.m[i][j];
        }
    const int itype = 1, lwork = 64;
    int info = 0;
    dsygv_(&itype, "N", "U", &n, a.data(), &n, b.data(), &n, w.data(), work.data(), &lwork, &info, 1, 1);
    w.resize(info == 0 ? static_cast<std::size_t>(n) : 0);
    return w;
}

// The program's rule for a shown value x and a true eigenvalue lambda: right
// when the report's format ("%.<precision>g") prints both alike, or when they
// differ by at most 1e-12 of the largest eigenvalue magnitude.
inline bool RightByTheRule(double x, double lambda, double largest, int precision)
{
    return FormatG(x, 1, precision) == FormatG(lambda, 1, precision) || std::fabs(x - lambda) <= 1e-12 * largest;
}

// A random orthogonal n x n matrix: Gram-Schmidt, twice for orthogonality,
// on normal deviates.
inline std::vector<std::vector<double>> RandomOrthogonal(std::mt19937_64& rng, int n)
{
    std::normal_distribution<double> g;
    std::vector<std::vector<double>> q(static_cast<std::size_t>(n), std::vector<double>(static_cast<std::size_t>(n)));
    for (auto& row : q)
        for (double& x : row) x = g(rng);
    for (std::size_t i = 0; i < q.size(); ++i) {
        for (int pass = 0; pass < 2; ++pass)
            for (std::size_t j = 0; j < i; ++j) {
                double dot = 0.0;
                for (std::size_t t = 0; t < q.size(); ++t) dot += q[i][t] * q[j][t];
                for (std::size_t t = 0; t < q.size(); ++t) q[i][t] -= dot * q[j][t];
            }
        double norm = 0.0;
        for (const double x : q[i]) norm += x * x;
        for (double& x : q[i]) x /= std::sqrt(norm);
    }
    return q;
}

}  // namespace varno::test
