// Random well-posed pencils and LAPACK's generalized symmetric solver, shared
// by the accuracy tests and the benchmarks so both look at the same problems.
#pragma once

#include <cstddef>
#include <random>

extern "C" void dsygv_(const int* itype, const char* jobz, const char* uplo, const int* n, double* a,
                       const int* lda, double* b, const int* ldb, double* w, double* work, const int* lwork,
                       int* info, std::size_t jobzLength, std::size_t uploLength);

namespace varno::test {

struct Problem {
    int n;
    double k[4][4];
    double m[4][4];
};

// Symmetric K with entries in [-1, 1]; M = G G^T + 0.1 I, positive definite.
inline Problem RandomProblem(std::mt19937_64& rng, int n)
{
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Problem p{n, {}, {}};
    double g[4][4];
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

}  // namespace varno::test
