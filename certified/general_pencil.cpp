#include "certified/general_pencil.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <utility>

#include "certified/general_pencil_solve.h"

namespace varno {

namespace {

GeneralEigenvalues Solve(const Matrix10& K, const Matrix10& M, int n)
{
    switch (n) {
    case 2: return pencil::SolveGeneralPencil<2>(K, M);
    case 3: return pencil::SolveGeneralPencil<3>(K, M);
    case 4: return pencil::SolveGeneralPencil<4>(K, M);
    case 5: return pencil::SolveGeneralPencil<5>(K, M);
    default: return pencil::SolveGeneralPencil<6>(K, M);
    }
}

std::size_t U(int i) { return static_cast<std::size_t>(i); }

bool Diagonal(const Matrix10& K, const Matrix10& M, int n)
{
    for (int i = 1; i <= n; ++i)
        for (int j = i + 1; j <= n; ++j)
            if (K[U(i)][U(j)] != 0.0 || M[U(i)][U(j)] != 0.0) return false;
    return true;
}

// In order by real part, infinities last; each cluster's members named by
// the first index of the cluster, as the values come to lie.
void Order(GeneralEigenvalues& e)
{
    const std::size_t n = U(e.n);
    std::array<int, MaxOrder> label = e.cluster;
    const auto before = [](const Eigenvalue& x, const Eigenvalue& y) { return x.re < y.re || (x.re == y.re && x.im < y.im); };
    for (std::size_t k = 1; k < n; ++k)
        for (std::size_t j = k; j > 0 && before(e.lambda[j], e.lambda[j - 1]); --j) {
            std::swap(e.lambda[j], e.lambda[j - 1]);
            std::swap(e.scale[j], e.scale[j - 1]);
            std::swap(label[j], label[j - 1]);
        }
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t first = 0;
        while (label[first] != label[k]) ++first;
        e.cluster[k] = static_cast<int>(first);
    }
    e.largest = 0.0;
    for (std::size_t k = 0; k < n; ++k)
        if (std::isfinite(e.lambda[k].re)) e.largest = std::max(e.largest, std::hypot(e.lambda[k].re, e.lambda[k].im));
}

// A diagonal pencil's eigenvalues are its quotients, correctly rounded,
// with the quotient's sign where it lies beyond the double range; +inf
// where M_ii is 0, and singular where K_ii is too. Each with the smallest s
// any units give it, 2 |lambda|: nothing couples the degrees of freedom.
GeneralEigenvalues DiagonalEigenvalues(const Matrix10& K, const Matrix10& M, int n)
{
    GeneralEigenvalues e;
    e.n = n;
    for (int k = 0; k < n; ++k) {
        const double kk = K[U(k + 1)][U(k + 1)], mk = M[U(k + 1)][U(k + 1)];
        if (kk == 0.0 && mk == 0.0) {
            e.singular = true;
            return e;
        }
        const bool infinite = mk == 0.0;
        e.infinite += infinite ? 1 : 0;
        e.lambda[U(k)] = {infinite ? HUGE_VAL : kk / mk + 0.0, 0.0};
        e.scale[U(k)] = infinite ? HUGE_VAL : 2.0 * std::fabs(e.lambda[U(k)].re);
        e.cluster[U(k)] = k;
        for (int j = 0; j < k; ++j)
            if (e.lambda[U(j)].re == e.lambda[U(k)].re) {
                e.cluster[U(k)] = e.cluster[U(j)];
                break;
            }
    }
    Order(e);
    return e;
}

// Whether 1e-12 s of a large finite value reaches as far as the value
// itself: it could then be infinite for all the pencil tells. (A small one,
// 0 above all, is no infinite one's.)
bool Undetermined(const GeneralEigenvalues& e, std::size_t k)
{
    const double size = std::hypot(e.lambda[k].re, e.lambda[k].im);
    return std::isfinite(size) && size >= e.unitScale && !(size > ClusterNoise * e.scale[k]);
}

// The indices of the finite values, largest magnitude first.
std::array<std::size_t, MaxOrder> ByMagnitude(const GeneralEigenvalues& e, std::size_t& count)
{
    std::array<std::size_t, MaxOrder> index{};
    count = 0;
    for (std::size_t k = 0; k < U(e.n); ++k)
        if (std::isfinite(e.lambda[k].re)) index[count++] = k;
    const auto size = [&](std::size_t k) { return std::hypot(e.lambda[k].re, e.lambda[k].im); };
    for (std::size_t k = 1; k < count; ++k)
        for (std::size_t j = k; j > 0 && size(index[j]) > size(index[j - 1]); --j) std::swap(index[j], index[j - 1]);
    return index;
}

// The exponents 2^power_i that bring M's diagonal near 1, and their spread;
// false where the diagonal has a zero.
bool OwnPowersOfM(const Matrix10& M, int n, std::array<int, MaxOrder>& power, int& spread)
{
    int lo = 0, hi = 0;
    for (int i = 0; i < n; ++i) {
        const double m = std::fabs(M[U(i + 1)][U(i + 1)]);
        if (!(m > 0.0)) return false;
        const int b = std::ilogb(m);
        power[U(i)] = -(b >= 0 ? b / 2 : (b - 1) / 2);
        lo = i == 0 ? power[0] : std::min(lo, power[U(i)]);
        hi = i == 0 ? power[0] : std::max(hi, power[U(i)]);
    }
    spread = hi - lo;
    return true;
}

// The pencil solved in the units of M's own diagonal.
bool SolveInTheUnitsOfM(const Matrix10& K, const Matrix10& M, int n, const std::array<int, MaxOrder>& power,
                        GeneralEigenvalues& s)
{
    Matrix10 k{}, m{};
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) {
            const int p = power[U(i - 1)] + power[U(j - 1)];
            k[U(i)][U(j)] = std::ldexp(K[U(i)][U(j)], p);
            m[U(i)][U(j)] = std::ldexp(M[U(i)][U(j)], p);
            if (!std::isfinite(k[U(i)][U(j)]) || !std::isfinite(m[U(i)][U(j)])) return false;
        }
    s = Solve(k, m, n);
    return s.converged && !s.singular;
}

// QZ judges an eigenvalue infinite where its beta is at rounding level of
// the whole of M, and resolves a large one only to that level: a degree of
// freedom whose mass is tiny beside its stiffness (a lumped rotational mass)
// is called infinite, or its eigenvalue is found to a few digits, in every
// balancing of K and M together. In the units of M's own diagonal its mass
// weighs as the others' do. Where that pencil has fewer infinite
// eigenvalues, its largest finite ones, determined there, stand for the
// ones taken for infinite; where M's diagonal spans more than 2^20, its
// largest ones stand for the first solve's largest, as far down as its s
// is the smaller by 2^10. (The small eigenvalues are the first solve's: in
// those units they are resolved only to the largest one's rounding.)
void FiniteInTheUnitsOfM(const Matrix10& K, const Matrix10& M, int n, GeneralEigenvalues& e)
{
    std::array<int, MaxOrder> power{};
    int spread = 0;
    if (!OwnPowersOfM(M, n, power, spread) || spread == 0) return;
    if (e.infinite == 0 && spread < 10) return;
    GeneralEigenvalues s;
    if (!SolveInTheUnitsOfM(K, M, n, power, s) || s.infinite > e.infinite) return;
    std::size_t count = 0;
    const std::array<std::size_t, MaxOrder> big = ByMagnitude(s, count);
    int taken = 0;
    if (s.infinite < e.infinite) {
        const int found = std::min(e.infinite - s.infinite, static_cast<int>(count));
        for (std::size_t k2 = 0; k2 < U(e.n) && taken < found; ++k2) {
            if (std::isfinite(e.lambda[k2].re)) continue;
            const std::size_t from = big[U(taken)];
            if (Undetermined(s, from)) break;
            e.lambda[k2] = s.lambda[from];
            e.scale[k2] = s.scale[from];
            e.cluster[k2] = e.n + taken;  // a cluster of its own
            ++taken;
        }
        e.infinite -= taken;
    } else if (spread >= 10) {
        std::size_t typedCount = 0;
        const std::array<std::size_t, MaxOrder> typedBig = ByMagnitude(e, typedCount);
        for (std::size_t r = 0; r < std::min(count, typedCount); ++r) {
            const std::size_t from = big[r], to = typedBig[r];
            if (Undetermined(s, from) || !(s.scale[from] < 0x1p-10 * e.scale[to])) break;
            e.lambda[to] = s.lambda[from];
            e.scale[to] = s.scale[from];
            e.cluster[to] = e.n + taken;
            ++taken;
        }
    }
    if (taken > 0) Order(e);
}

// A Jordan block at infinity of order m comes out of QZ as m finite values
// near eps^(-1/m) of the pencil's scale, each with an s that lets it be
// anything. In mu = 1 / lambda it is a defective eigenvalue at 0, which the
// reversed pencil M x = mu K x finds as a cluster, as any finite defective
// eigenvalue: where a cluster of its has 0 within its radius, that many of
// the undetermined values, the largest, are infinite.
void InfiniteBlocks(const Matrix10& K, const Matrix10& M, int n, GeneralEigenvalues& e)
{
    std::size_t undetermined = 0;
    for (std::size_t k = 0; k < U(n); ++k) undetermined += Undetermined(e, k) ? 1 : 0;
    if (undetermined < 2) return;
    const GeneralEigenvalues r = Solve(M, K, n);
    if (!r.converged || r.singular) return;
    int atZero = 0;
    for (std::size_t k = 0; k < U(n); ++k) {
        if (U(r.cluster[k]) != k) continue;  // each cluster once, at its first
        int members = 0;
        long double re = 0.0L, im = 0.0L;
        for (std::size_t j = 0; j < U(n); ++j)
            if (r.cluster[j] == r.cluster[k])
                re += static_cast<long double>(r.lambda[j].re), im += static_cast<long double>(r.lambda[j].im), ++members;
        if (members < 2) continue;
        const auto mean = static_cast<double>(std::hypot(re / members, im / members));
        double radius = 0.0;
        for (std::size_t j = 0; j < U(n); ++j)
            if (r.cluster[j] == r.cluster[k])
                radius = std::max(radius, std::hypot(r.lambda[j].re - static_cast<double>(re / members),
                                                     r.lambda[j].im - static_cast<double>(im / members)));
        if (mean <= radius) atZero += members;
    }
    std::size_t count = 0;
    const std::array<std::size_t, MaxOrder> big = ByMagnitude(e, count);
    int taken = 0;
    for (std::size_t c = 0; c < count && taken < atZero; ++c) {
        const std::size_t k = big[c];
        if (!Undetermined(e, k)) continue;  // determined, though larger (a tiny mass's)
        e.lambda[k] = {HUGE_VAL, 0.0};
        e.scale[k] = HUGE_VAL;
        e.cluster[k] = static_cast<int>(k);
        ++taken;
    }
    e.infinite += taken;
    if (taken > 0) Order(e);
}

}  // namespace

GeneralEigenvalues GeneralPencilEigenvalues(const Matrix10& K, const Matrix10& M, int n)
{
    if (Diagonal(K, M, n)) return DiagonalEigenvalues(K, M, n);
    GeneralEigenvalues e = Solve(K, M, n);
    if (!e.converged || e.singular) return e;
    FiniteInTheUnitsOfM(K, M, n, e);
    InfiniteBlocks(K, M, n, e);
    return e;
}

std::array<Eigenvalue, MaxOrder> ShownEigenvalues(const GeneralEigenvalues& e)
{
    const std::size_t n = static_cast<std::size_t>(e.n);
    std::array<Eigenvalue, MaxOrder> shown = e.lambda;
    for (std::size_t k = 0; k < n; ++k) {
        // An infinite one, or one beyond the double range in either part,
        // stands as it is: no cluster takes it in, and no mean or radius of
        // its would be finite.
        if (!std::isfinite(e.lambda[k].re) || !std::isfinite(e.lambda[k].im)) continue;
        const std::size_t first = static_cast<std::size_t>(e.cluster[k]);
        long double re = 0.0L, im = 0.0L;
        int members = 0;
        for (std::size_t j = 0; j < n; ++j)
            if (e.cluster[j] == e.cluster[k])
                re += static_cast<long double>(e.lambda[j].re), im += static_cast<long double>(e.lambda[j].im), ++members;
        Eigenvalue mean{static_cast<double>(re / members), static_cast<double>(im / members)};
        double radius = 0.0;
        for (std::size_t j = 0; j < n; ++j)
            if (e.cluster[j] == e.cluster[k])
                radius = std::max(radius, std::hypot(e.lambda[j].re - mean.re, e.lambda[j].im - mean.im));
        if (members == 1) radius = 0.5 * ClusterNoise * e.scale[first];
        // An s that could not be told makes no imaginary part noise:
        // 8.99e307 +- 8.99e307 j is no real pair.
        if (std::isfinite(radius) && std::fabs(mean.im) <= radius) mean.im = 0.0;
        shown[k] = {mean.re + 0.0, mean.im + 0.0};
    }
    const auto before = [](const Eigenvalue& x, const Eigenvalue& y) { return x.re < y.re || (x.re == y.re && x.im < y.im); };
    for (std::size_t k = 1; k < n; ++k)
        for (std::size_t j = k; j > 0 && before(shown[j], shown[j - 1]); --j) std::swap(shown[j], shown[j - 1]);
    return shown;
}

}  // namespace varno
