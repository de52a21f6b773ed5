#include "certified/dynamic/inertia.h"

#include <cmath>
#include <vector>

#include "certified/dynamic/lapack.h"

namespace varno {

int DynamicCount(const DynamicPencil& p, double sigma)
{
    if (!std::isfinite(sigma)) return -1;
    const int n = p.n;
    DenseMatrix c(n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i <= j; ++i) c(i, j) = p.a(i, j) - sigma * p.b(i, j);
    std::vector<int> pivots(static_cast<std::size_t>(n));
    int info = 0;
    int lwork = -1;
    double query = 0.0;
    dsytrf_("U", &n, c.a.data(), &n, pivots.data(), &query, &lwork, &info, 1);
    lwork = std::max(1, static_cast<int>(query));
    std::vector<double> work(static_cast<std::size_t>(lwork));
    dsytrf_("U", &n, c.a.data(), &n, pivots.data(), work.data(), &lwork, &info, 1);
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
