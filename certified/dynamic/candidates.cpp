#include "certified/dynamic/candidates.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>

#include "certified/dynamic/lapack.h"

namespace varno {

CandidatePairs DynamicCandidates(const DynamicPencil& p)
{
    CandidatePairs out;
    const int n = p.n;
    const std::size_t un = static_cast<std::size_t>(n);
    DenseMatrix y = p.a;
    DenseMatrix factor = p.b;
    std::vector<double> w(un);
    const int itype = 1;
    int info = 0;
    int lwork = -1;
    int liwork = -1;
    double workQuery = 0.0;
    int iworkQuery = 0;
    dsygvd_(&itype, "V", "U", &n, y.a.data(), &n, factor.a.data(), &n, w.data(), &workQuery, &lwork, &iworkQuery,
            &liwork, &info, 1, 1);
    lwork = std::max(1, static_cast<int>(workQuery));
    liwork = std::max(1, iworkQuery);
    {
        std::vector<double> work(static_cast<std::size_t>(lwork));
        std::vector<int> iwork(static_cast<std::size_t>(liwork));
        dsygvd_(&itype, "V", "U", &n, y.a.data(), &n, factor.a.data(), &n, w.data(), work.data(), &lwork,
                iwork.data(), &liwork, &info, 1, 1);
    }
    if (info != 0) return out;
    factor = {};

    DenseMatrix ay(n);
    DenseMatrix by(n);
    const double one = 1.0;
    const double zero = 0.0;
    dsymm_("L", "U", &n, &n, &one, p.a.a.data(), &n, y.a.data(), &n, &zero, ay.a.data(), &n, 1, 1);
    dsymm_("L", "U", &n, &n, &one, p.b.a.data(), &n, y.a.data(), &n, &zero, by.a.data(), &n, 1, 1);

    // |a| |Y| and |b| |Y|, into the storage of factor and a copy.
    DenseMatrix absY = y;
    for (double& v : absY.a) v = std::fabs(v);
    DenseMatrix absM(n), absAY(n), absBY(n);
    for (const auto& [from, into] : {std::pair{&p.a, &absAY}, std::pair{&p.b, &absBY}}) {
        for (std::size_t i = 0; i < from->a.size(); ++i) absM.a[i] = std::fabs(from->a[i]);
        dsymm_("L", "U", &n, &n, &one, absM.a.data(), &n, absY.a.data(), &n, &zero, into->a.data(), &n, 1, 1);
    }
    absM = {};

    out.nu.resize(un);
    out.absResidual.resize(un);
    out.absA.resize(un);
    out.absB.resize(un);
    out.residual.resize(un);
    out.norm.resize(un);
    out.massNorm.resize(un);
    for (int k = 0; k < n; ++k) {
        const double* yk = y.Column(k);
        const double* ayk = ay.Column(k);
        const double* byk = by.Column(k);
        long double num = 0.0L, den = 0.0L, len = 0.0L;
        for (std::size_t i = 0; i < un; ++i) {
            num += static_cast<long double>(yk[i]) * ayk[i];
            den += static_cast<long double>(yk[i]) * byk[i];
            len += static_cast<long double>(yk[i]) * yk[i];
        }
        const double theta = static_cast<double>(num / den);
        long double r = 0.0L;
        for (std::size_t i = 0; i < un; ++i) {
            const long double e = static_cast<long double>(ayk[i]) - static_cast<long double>(theta) * byk[i];
            r += e * e;
        }
        const std::size_t u = static_cast<std::size_t>(k);
        out.nu[u] = theta;
        out.residual[u] = static_cast<double>(std::sqrt(r)) * (1.0 + 4 * DBL_EPSILON);
        out.norm[u] = static_cast<double>(std::sqrt(len)) * (1.0 + 4 * DBL_EPSILON);
        out.massNorm[u] = static_cast<double>(den);
        // The sums of |.| products round too: a relative 2 gamma_n more covers them.
        const long double grow = 1.0L + 2.2L * n * DBL_EPSILON;
        long double absR = 0.0L, absA = 0.0L, absB = 0.0L;
        const double* ya = absY.Column(k);
        const double* ay1 = absAY.Column(k);
        const double* by1 = absBY.Column(k);
        for (std::size_t i = 0; i < un; ++i) {
            const long double e = static_cast<long double>(ay1[i]) + std::fabs(theta) * static_cast<long double>(by1[i]);
            absR += e * e;
            absA += static_cast<long double>(ya[i]) * ay1[i];
            absB += static_cast<long double>(ya[i]) * by1[i];
        }
        out.absResidual[u] = static_cast<double>(std::sqrt(absR) * grow);
        out.absA[u] = static_cast<double>(absA * grow);
        out.absB[u] = static_cast<double>(absB * grow);
    }
    // Rayleigh quotients may swap neighbours that dsygvd gave in order.
    std::vector<int> order(un);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int i, int j) { return out.nu[static_cast<std::size_t>(i)] < out.nu[static_cast<std::size_t>(j)]; });
    if (!std::is_sorted(out.nu.begin(), out.nu.end())) {
        CandidatePairs sorted;
        sorted.y = DenseMatrix(n);
        for (auto* column : {&sorted.nu, &sorted.residual, &sorted.norm, &sorted.massNorm, &sorted.absResidual,
                             &sorted.absA, &sorted.absB})
            column->resize(un);
        for (std::size_t k = 0; k < un; ++k) {
            const std::size_t from = static_cast<std::size_t>(order[k]);
            sorted.nu[k] = out.nu[from];
            sorted.residual[k] = out.residual[from];
            sorted.norm[k] = out.norm[from];
            sorted.massNorm[k] = out.massNorm[from];
            sorted.absResidual[k] = out.absResidual[from];
            sorted.absA[k] = out.absA[from];
            sorted.absB[k] = out.absB[from];
            std::copy_n(y.Column(order[k]), n, sorted.y.Column(static_cast<int>(k)));
        }
        sorted.ok = true;
        return sorted;
    }
    out.y = std::move(y);
    out.ok = true;
    return out;
}

}  // namespace varno
