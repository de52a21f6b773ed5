// The dynamic-size path at n = 10 ... 1000 beside LAPACK's dsygvd on the
// same pencils: certified eigenvalues with bounds against dsygvd's
// eigenvalues alone, and the modes against dsygvd with vectors.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "certified/dynamic/lapack.h"
#include "certified/dynamic/modes.h"

namespace {

// A random definite pencil, K and M both well conditioned, seeded by n.
varno::SymmetricPencil Pencil(int n)
{
    varno::SymmetricPencil p{varno::DenseMatrix(n), varno::DenseMatrix(n)};
    std::mt19937_64 rng(20261211u + static_cast<unsigned>(n));
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i <= j; ++i) {
            p.K(i, j) = p.K(j, i) = u(rng);
            p.M(i, j) = p.M(j, i) = 0.1 * u(rng);
        }
    for (int i = 0; i < n; ++i) p.K(i, i) += 2.0 * n, p.M(i, i) += 0.2 * n;
    return p;
}

void DynamicCertified(benchmark::State& state, bool vectors)
{
    const varno::SymmetricPencil p = Pencil(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(varno::DynamicModesOf(p, vectors));
}

void Dsygvd(benchmark::State& state, const char* jobz)
{
    const int n = static_cast<int>(state.range(0));
    const varno::SymmetricPencil p = Pencil(n);
    std::vector<double> w(static_cast<std::size_t>(n));
    int itype = 1, info = 0, lwork = -1, liwork = -1, iquery = 0;
    double query = 0.0;
    varno::DenseMatrix a = p.K, b = p.M;
    dsygvd_(&itype, jobz, "U", &n, a.a.data(), &n, b.a.data(), &n, w.data(), &query, &lwork, &iquery, &liwork, &info, 1, 1);
    lwork = static_cast<int>(query);
    liwork = iquery;
    std::vector<double> work(static_cast<std::size_t>(lwork));
    std::vector<int> iwork(static_cast<std::size_t>(liwork));
    for (auto _ : state) {
        a = p.K, b = p.M;
        dsygvd_(&itype, jobz, "U", &n, a.a.data(), &n, b.a.data(), &n, w.data(), work.data(), &lwork, iwork.data(),
                &liwork, &info, 1, 1);
        benchmark::DoNotOptimize(w.data());
    }
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (const int n : {10, 30, 100, 300, 1000}) b->Arg(n);
    b->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK_CAPTURE(DynamicCertified, values, false)->Name("dynamic-certified")->Apply(Sizes);
BENCHMARK_CAPTURE(DynamicCertified, modes, true)->Name("dynamic-modes")->Apply(Sizes);
BENCHMARK_CAPTURE(Dsygvd, values, "N")->Name("dsygvd-values")->Apply(Sizes);
BENCHMARK_CAPTURE(Dsygvd, vectors, "V")->Name("dsygvd-vectors")->Apply(Sizes);
