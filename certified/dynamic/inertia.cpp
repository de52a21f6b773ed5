#include "certified/dynamic/inertia.h"

#include <cmath>
#include <limits>
#include <vector>

#include "certified/dynamic/lapack.h"

namespace varno {

namespace {

// a - sigma b's Bunch-Kaufman factors (upper), and dsytrf's info.
int Factor(const DynamicPencil& p, double sigma, DenseMatrix& c, std::vector<int>& pivots)
{
    const int n = p.n;
    c = DenseMatrix(n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i <= j; ++i) c(i, j) = p.a(i, j) - sigma * p.b(i, j);
    pivots.assign(static_cast<std::size_t>(n), 0);
    int info = 0;
    int lwork = -1;
    double query = 0.0;
    dsytrf_("U", &n, c.a.data(), &n, pivots.data(), &query, &lwork, &info, 1);
    lwork = std::max(1, static_cast<int>(query));
    std::vector<double> work(static_cast<std::size_t>(lwork));
    dsytrf_("U", &n, c.a.data(), &n, pivots.data(), work.data(), &lwork, &info, 1);
    return info;
}

}  // namespace

double ScaleNear(const DynamicPencil& p, double sigma)
{
    const double inf = std::numeric_limits<double>::infinity();
    if (!std::isfinite(sigma)) return inf;
    const int n = p.n;
    DenseMatrix c;
    std::vector<int> pivots;
    if (Factor(p, sigma, c, pivots) != 0) return inf;  // singular to the last bit: no solve
    // A start with every component, so that no eigenvector is missed.
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = 1.0 + 0.5 * std::sin(1.0 + i);
    for (int step = 0; step < 2; ++step) {
        const int one = 1;
        int info = 0;
        dsytrs_("U", &n, &one, c.a.data(), &n, pivots.data(), x.data(), &n, &info, 1);
        double big = 0.0;
        for (const double v : x) big = std::max(big, std::fabs(v));
        if (info != 0 || !(big > 0.0) || !std::isfinite(big)) return inf;
        for (double& v : x) v /= big;
    }
    long double xbx = 0.0L, len = 0.0L;
    for (int i = 0; i < n; ++i) {
        long double bx = 0.0L;
        for (int j = 0; j < n; ++j) bx += static_cast<long double>(p.b(i, j)) * x[static_cast<std::size_t>(j)];
        xbx += bx * x[static_cast<std::size_t>(i)];
        len += static_cast<long double>(x[static_cast<std::size_t>(i)]) * x[static_cast<std::size_t>(i)];
    }
    if (!(xbx > 0.0L)) return inf;
    return static_cast<double>((p.normA + std::fabs(sigma) * static_cast<long double>(p.normB)) * len / xbx);
}

int DynamicCount(const DynamicPencil& p, double sigma)
{
    if (!std::isfinite(sigma)) return -1;
    DenseMatrix c;
    std::vector<int> pivots;
    const int info = Factor(p, sigma, c, pivots);
    const int n = p.n;
    if (info < 0) return -1;
    // info > 0: an exactly zero pivot, which counts as no negative one.
    int negative = 0;
    for (int k = 0; k < n; ++k) {
        const std::size_t u = static_cast<std::size_t>(k);
        if (pivots[u] > 0 || k + 1 == n) {
            negative += c(k, k) < 0.0;
            continue;
        }
        // A 2 x 2 block (upper storage: pivots k and k + 1 equal and negative).
        const double d11 = c(k, k);
        const double d22 = c(k + 1, k + 1);
        const double d12 = c(k, k + 1);
        // Its determinant is negative by construction of the pivoting where
        // the block is chosen (|d12| dominates); the sign test stays for
        // robustness against a block of two same-signed pivots.
        const long double det = static_cast<long double>(d11) * d22 - static_cast<long double>(d12) * d12;
        if (det < 0.0L)
            negative += 1;
        else if (det > 0.0L)
            negative += d11 < 0.0 ? 2 : 0;
        else
            negative += (d11 < 0.0) + (d22 < 0.0);
        ++k;
    }
    return negative;
}

}  // namespace varno
