// Speed of the closed forms against LAPACK and Eigen on the same problems.
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <array>
#include <cmath>
#include <optional>
#include <random>
#include <vector>

#include "certified/modes.h"
#include "core/matrix_store.h"
#include "core/memory_grid.h"
#include "driver/calculate.h"
#include "solvers/quartic_report.h"
#include "solvers/quartic_root_solver.h"
#include "solvers/three_by_three.h"
#include "solvers/two_by_two.h"
#include "tests/physical_problems.h"
#include "tests/reference_problems.h"

extern "C" void dggev_(const char* jobvl, const char* jobvr, const int* n, double* a, const int* lda, double* b,
                       const int* ldb, double* alphar, double* alphai, double* beta, double* vl, const int* ldvl,
                       double* vr, const int* ldvr, double* work, const int* lwork, int* info, std::size_t jobvlLength,
                       std::size_t jobvrLength);

namespace {

using namespace varno;

constexpr std::size_t PoolSize = 1024;
constexpr unsigned PoolSeed = 20261208;

using test::Problem;

const std::vector<Problem>& Pool(int n)
{
    static std::array<std::vector<Problem>, 7> pools;
    auto& pool = pools[static_cast<std::size_t>(n)];
    if (!pool.empty()) return pool;
    std::mt19937_64 rng(PoolSeed + static_cast<unsigned>(n));
    for (std::size_t p = 0; p < PoolSize; ++p) pool.push_back(test::RandomProblem(rng, n));
    return pool;
}

class NullChannel final : public ReportChannel {
public:
    void ShowMessage(const std::string&) override {}
};

void Fill(ProgramState& state, const Problem& p, int n);

// Problems whose closed-form output the check refuses: SI-scaled physical
// problems, and random pencils scaled by 2^a and 2^b (|a|, |b| <= 300), kept
// only if Calculate mends them.
const std::vector<Problem>& MendedPool(int n)
{
    static std::array<std::vector<Problem>, 7> pools;
    auto& pool = pools[static_cast<std::size_t>(n)];
    if (!pool.empty()) return pool;
    ProgramState state;
    MemoryGrid grid;
    grid.SetListSelection(id::DimensionList, n - 2);
    NullChannel none;
    const auto keep = [&](const Problem& p) {
        state = ProgramState{};
        Fill(state, p, n);
        if (pool.size() < PoolSize && Calculate(state, grid, none) == Outcome::Mended) pool.push_back(p);
    };
    for (const auto& physical : test::PhysicalProblems(n, 400, PoolSeed + static_cast<unsigned>(n))) keep(physical.p);
    std::mt19937_64 rng(PoolSeed);
    std::uniform_int_distribution<int> power(-300, 300);
    while (pool.size() < PoolSize) {
        Problem p = test::RandomProblem(rng, n);
        const int a = power(rng);
        const int b = power(rng);
        for (auto& row : p.k)
            for (double& x : row) x = std::ldexp(x, a);
        for (auto& row : p.m)
            for (double& x : row) x = std::ldexp(x, b);
        keep(p);
    }
    return pool;
}

void Fill(ProgramState& state, const Problem& p, int n)
{
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            state.store.K[static_cast<std::size_t>(i + 1)][static_cast<std::size_t>(j + 1)] = p.k[i][j];
            state.store.M[static_cast<std::size_t>(i + 1)][static_cast<std::size_t>(j + 1)] = p.m[i][j];
        }
}

class LastTextChannel final : public ReportChannel {
public:
    std::string last;
    void ShowMessage(const std::string& text) override { last = text; }
};

void Solve(benchmark::State& bench)
{
    const int n = static_cast<int>(bench.range(0));
    const auto& pool = Pool(n);
    ProgramState state;
    NullChannel none;
    std::size_t k = 0;
    for (auto _ : bench) {
        Fill(state, pool[k++ % PoolSize], n);
        if (n == 2) {
            benchmark::DoNotOptimize(ComputeTwoByTwo(state));
            benchmark::DoNotOptimize(state.twoByTwo);
        } else if (n == 3) {
            benchmark::DoNotOptimize(ComputeThreeByThree(state, nullptr));
            benchmark::DoNotOptimize(state.roots);
        } else {
            RunQuarticCascade(state, none, [](QuarticRootTable& roots) { benchmark::DoNotOptimize(roots); });
        }
    }
    bench.SetItemsProcessed(bench.iterations());
}

// The whole command with its report texts, on one pool of problems.
void TimeCalculate(benchmark::State& bench, const std::vector<Problem>& pool, int n)
{
    ProgramState state;
    MemoryGrid grid;
    grid.onCellChange = [&](int cell) { CellChanged(state.store, state.text, grid, cell); };
    grid.SetListSelection(id::DimensionList, n - 2);
    grid.SetListSelection(id::ActionList, 0);
    LastTextChannel channel;
    std::size_t k = 0;
    for (auto _ : bench) {
        Fill(state, pool[k++ % pool.size()], n);
        Calculate(state, grid, channel);
        benchmark::DoNotOptimize(channel.last.data());
    }
    bench.SetItemsProcessed(bench.iterations());
}

void CalculateCommand(benchmark::State& bench)
{
    const int n = static_cast<int>(bench.range(0));
    TimeCalculate(bench, Pool(n), n);
}

// The same on problems the check mends: closed form, check, eigenvalues by
// counting, the mended report.
void MendedCommand(benchmark::State& bench)
{
    const int n = static_cast<int>(bench.range(0));
    TimeCalculate(bench, MendedPool(n), n);
}

void Dsygv(benchmark::State& bench)
{
    const int n = static_cast<int>(bench.range(0));
    const auto& pool = Pool(n);
    double a[16], b[16], w[4], work[64];
    const int itype = 1, lwork = 64;
    int info = 0;
    std::size_t k = 0;
    for (auto _ : bench) {
        const Problem& p = pool[k++ % PoolSize];
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                a[i * n + j] = p.k[i][j];
                b[i * n + j] = p.m[i][j];
            }
        dsygv_(&itype, "N", "U", &n, a, &n, b, &n, w, work, &lwork, &info, 1, 1);
        benchmark::DoNotOptimize(w);
        benchmark::DoNotOptimize(info);
    }
    bench.SetItemsProcessed(bench.iterations());
}

// Pencils where neither M, -M, K nor -K is definite, n = 4, whose closed-form
// output is replaced by the QZ eigenvalues: random symmetric K and M with
// entries in [-1, 1], both indefinite, kept only if Calculate mends them.
const std::vector<Problem>& GeneralPool()
{
    static std::vector<Problem> pool;
    if (!pool.empty()) return pool;
    ProgramState state;
    MemoryGrid grid;
    grid.SetListSelection(id::DimensionList, 2);
    NullChannel none;
    std::mt19937_64 rng(PoolSeed + 15);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    while (pool.size() < PoolSize) {
        Problem p{4, {}, {}};
        for (int i = 0; i < 4; ++i)
            for (int j = i; j < 4; ++j) p.k[i][j] = p.k[j][i] = u(rng), p.m[i][j] = p.m[j][i] = u(rng);
        state = ProgramState{};
        Fill(state, p, 4);
        if (Calculate(state, grid, none) == Outcome::Mended) pool.push_back(p);
    }
    return pool;
}

// The whole command on them: closed form, QZ, check, the replacing report.
void GeneralCommand(benchmark::State& bench) { TimeCalculate(bench, GeneralPool(), 4); }

// LAPACK's QZ on the same problems, eigenvalues only.
void Dggev(benchmark::State& bench)
{
    const auto& pool = GeneralPool();
    const int n = 4, one = 1, lwork = 64;
    double a[16], b[16], alphar[4], alphai[4], beta[4], vl[1], vr[1], work[64];
    int info = 0;
    std::size_t k = 0;
    for (auto _ : bench) {
        const Problem& p = pool[k++ % pool.size()];
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                a[i * n + j] = p.k[i][j];
                b[i * n + j] = p.m[i][j];
            }
        dggev_("N", "N", &n, a, &n, b, &n, alphar, alphai, beta, vl, &one, vr, &one, work, &lwork, &info, 1, 1);
        benchmark::DoNotOptimize(alphar);
        benchmark::DoNotOptimize(alphai);
        benchmark::DoNotOptimize(beta);
    }
    bench.SetItemsProcessed(bench.iterations());
}

template <int N>
void EigenSolver(benchmark::State& bench)
{
    const auto& pool = Pool(N);
    using Mat = Eigen::Matrix<double, N, N>;
    Eigen::GeneralizedSelfAdjointEigenSolver<Mat> solver;
    Mat a, b;
    std::size_t k = 0;
    for (auto _ : bench) {
        const Problem& p = pool[k++ % PoolSize];
        for (int i = 0; i < N; ++i)
            for (int j = 0; j < N; ++j) {
                a(i, j) = p.k[i][j];
                b(i, j) = p.m[i][j];
            }
        solver.compute(a, b, Eigen::EigenvaluesOnly);
        benchmark::DoNotOptimize(solver.eigenvalues().data());
    }
    bench.SetItemsProcessed(bench.iterations());
}

// Eigenpairs with their error bounds and the modal quantities: from the
// symmetric store, classification included.
template <int N>
void Modes(benchmark::State& bench)
{
    const auto& pool = Pool(N);
    ProgramState state;
    const MatrixStore& store = state.store;
    std::size_t k = 0;
    for (auto _ : bench) {
        Fill(state, pool[k++ % PoolSize], N);
        const std::optional<ModalResult> modes = ModesOf(store.K, store.M, N);
        benchmark::DoNotOptimize(modes);
    }
    bench.SetItemsProcessed(bench.iterations());
}

// The certified eigenvalues alone, as a report of n = 5 or 6 shows them
// (and a mended one of n <= 4, without the closed form and its text):
// classification, then each proved right to its own conditioning.
template <int N>
void Certified(benchmark::State& bench)
{
    const auto& pool = Pool(N);
    ProgramState state;
    const MatrixStore& store = state.store;
    std::size_t k = 0;
    for (auto _ : bench) {
        Fill(state, pool[k++ % PoolSize], N);
        const PencilClass pencil = ClassifyPencil(store.K, store.M, N);
        benchmark::DoNotOptimize(CertifiedLambda(pencil.pencil, store.K, store.M));
    }
    bench.SetItemsProcessed(bench.iterations());
}

// Eigen's eigenvalues and eigenvectors on the same problems.
template <int N>
void EigenVectors(benchmark::State& bench)
{
    const auto& pool = Pool(N);
    using Mat = Eigen::Matrix<double, N, N>;
    Eigen::GeneralizedSelfAdjointEigenSolver<Mat> solver;
    Mat a, b;
    std::size_t k = 0;
    for (auto _ : bench) {
        const Problem& p = pool[k++ % PoolSize];
        for (int i = 0; i < N; ++i)
            for (int j = 0; j < N; ++j) {
                a(i, j) = p.k[i][j];
                b(i, j) = p.m[i][j];
            }
        solver.compute(a, b, Eigen::ComputeEigenvectors);
        benchmark::DoNotOptimize(solver.eigenvalues().data());
        benchmark::DoNotOptimize(solver.eigenvectors().data());
    }
    bench.SetItemsProcessed(bench.iterations());
}

}  // namespace

BENCHMARK(Solve)->Name("solve")->DenseRange(2, 4);
BENCHMARK(CalculateCommand)->Name("calculate")->DenseRange(2, 4);
BENCHMARK(MendedCommand)->Name("mended")->DenseRange(2, 4);
BENCHMARK(Dsygv)->Name("dsygv")->DenseRange(2, 4);
BENCHMARK(GeneralCommand)->Name("general/4");
BENCHMARK(Dggev)->Name("dggev/4");
BENCHMARK(EigenSolver<2>)->Name("eigen/2");
BENCHMARK(EigenSolver<3>)->Name("eigen/3");
BENCHMARK(EigenSolver<4>)->Name("eigen/4");
BENCHMARK(Certified<2>)->Name("certified/2");
BENCHMARK(Certified<3>)->Name("certified/3");
BENCHMARK(Certified<4>)->Name("certified/4");
BENCHMARK(Modes<4>)->Name("modes/4");
BENCHMARK(EigenVectors<4>)->Name("eigen-vectors/4");
BENCHMARK(CalculateCommand)->Name("calculate")->Arg(6);
BENCHMARK(Certified<6>)->Name("certified/6");
BENCHMARK(EigenSolver<6>)->Name("eigen/6");
BENCHMARK(Modes<6>)->Name("modes/6");
BENCHMARK(EigenVectors<6>)->Name("eigen-vectors/6");

BENCHMARK_MAIN();
