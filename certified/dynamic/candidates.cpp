#include "certified/dynamic/candidates.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>

#include "certified/dynamic/lapack.h"

namespace varno {

namespace {

// dsygvd's every eigenpair into y and w; false where it fails.
bool Every(const DynamicPencil& p, DenseMatrix& y, std::vector<double>& w)
{
    const int n = p.n;
    y = p.a;
    DenseMatrix factor = p.b;
    w.resize(static_cast<std::size_t>(n));
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
    std::vector<double> work(static_cast<std::size_t>(lwork));
    std::vector<int> iwork(static_cast<std::size_t>(liwork));
    dsygvd_(&itype, "V", "U", &n, y.a.data(), &n, factor.a.data(), &n, w.data(), work.data(), &lwork, iwork.data(),
            &liwork, &info, 1, 1);
    return info == 0;
}

// dsygvx's lowest count eigenpairs into y (n x count) and w.
bool Lowest(const DynamicPencil& p, int count, DenseMatrix& y, std::vector<double>& w)
{
    const int n = p.n;
    DenseMatrix a = p.a, b = p.b;
    y = DenseMatrix(n, count);
    w.resize(static_cast<std::size_t>(n));
    const int itype = 1, il = 1, iu = count;
    const double vl = 0.0, vu = 0.0, abstol = 0.0;
    int found = 0, info = 0, lwork = -1;
    double query = 0.0;
    std::vector<int> iwork(5 * static_cast<std::size_t>(n)), ifail(static_cast<std::size_t>(n));
    dsygvx_(&itype, "V", "I", "U", &n, a.a.data(), &n, b.a.data(), &n, &vl, &vu, &il, &iu, &abstol, &found, w.data(),
            y.a.data(), &n, &query, &lwork, iwork.data(), ifail.data(), &info, 1, 1, 1);
    lwork = std::max(8 * n, static_cast<int>(query));
    std::vector<double> work(static_cast<std::size_t>(lwork));
    dsygvx_(&itype, "V", "I", "U", &n, a.a.data(), &n, b.a.data(), &n, &vl, &vu, &il, &iu, &abstol, &found, w.data(),
            y.a.data(), &n, work.data(), &lwork, iwork.data(), ifail.data(), &info, 1, 1, 1);
    w.resize(static_cast<std::size_t>(count));
    return info == 0 && found == count;
}

}  // namespace

CandidatePairs DynamicCandidates(const DynamicPencil& p, int lowest)
{
    CandidatePairs out;
    const int n = p.n;
    DenseMatrix y;
    std::vector<double> w;
    out.partial = lowest > 0 && lowest < n;
    if (!(out.partial ? Lowest(p, lowest, y, w) : Every(p, y, w))) return out;
    const int m = y.columns;  // the pairs found
    const std::size_t un = static_cast<std::size_t>(n);
    const std::size_t um = static_cast<std::size_t>(m);

    DenseMatrix ay(n, m);
    DenseMatrix by(n, m);
    const double one = 1.0;
    const double zero = 0.0;
    dgemm_("N", "N", &n, &m, &n, &one, p.a.a.data(), &n, y.a.data(), &n, &zero, ay.a.data(), &n, 1, 1);
    dgemm_("N", "N", &n, &m, &n, &one, p.b.a.data(), &n, y.a.data(), &n, &zero, by.a.data(), &n, 1, 1);

    // |a| |Y| bounds a Y's rounding componentwise; it is a bound, not a
    // value, so single precision serves, at twice the speed: each entry is
    // then within a relative (n + 2) 2^-24 of the product of the rounded
    // inputs, and a product that falls below single's normal range (flushed
    // by the kernel, perhaps) is below 2^-126, n of them at most in a sum. b's term is bounded in norm, |b| |y| <= |b|_F |y|: b is
    // well conditioned in its own units, and its term matters beside a's
    // only where theta is as large as a's scale.
    // Entries below 2^-100 go in as 2^-100, which no rounding to single can
    // bring below what they were (a subnormal single could lose them whole);
    // a product of two such is below 2^-126, which the flushed term covers.
    std::vector<float> absA32(p.a.a.size()), absY32(y.a.size()), absAY(y.a.size());
    const auto single = [](double v) { return static_cast<float>(std::max(std::fabs(v), 0x1p-100)); };
    for (std::size_t i = 0; i < absA32.size(); ++i) absA32[i] = single(p.a.a[i]);
    for (std::size_t i = 0; i < absY32.size(); ++i) absY32[i] = single(y.a[i]);
    {
        const float fone = 1.0f, fzero = 0.0f;
        sgemm_("N", "N", &n, &m, &n, &fone, absA32.data(), &n, absY32.data(), &n, &fzero, absAY.data(), &n, 1, 1);
    }
    const long double grow32 = (1.0L + 1.01L * (n + 4) * 0x1p-24L);
    const long double flushed = n * 0x1p-126L;

    for (auto* column : {&out.nu, &out.residual, &out.norm, &out.massNorm, &out.absResidual, &out.absA, &out.absB})
        column->resize(um);
    for (int k = 0; k < m; ++k) {
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
        long double absR = 0.0L, absA = 0.0L;
        const float* ay1 = absAY.data() + static_cast<std::size_t>(k) * un;
        for (std::size_t i = 0; i < un; ++i) {
            const long double e = static_cast<long double>(ay1[i]) * grow32 + flushed;
            absR += e * e;
            absA += std::fabs(static_cast<long double>(yk[i])) * e;
        }
        const long double grow = 1.0L + 4.4L * n * LDBL_EPSILON;
        out.absResidual[u] = static_cast<double>((std::sqrt(absR) + std::fabs(theta) * static_cast<long double>(p.frobeniusB) * std::sqrt(len)) * grow) * (1.0 + 2 * DBL_EPSILON);
        out.absA[u] = static_cast<double>(absA * grow) * (1.0 + 2 * DBL_EPSILON);
        out.absB[u] = static_cast<double>(p.frobeniusB * len * grow) * (1.0 + 2 * DBL_EPSILON);
    }
    // Rayleigh quotients may swap neighbours that dsygvd gave in order.
    std::vector<int> order(um);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int i, int j) { return out.nu[static_cast<std::size_t>(i)] < out.nu[static_cast<std::size_t>(j)]; });
    if (!std::is_sorted(out.nu.begin(), out.nu.end())) {
        CandidatePairs sorted;
        sorted.partial = out.partial;
        sorted.y = DenseMatrix(n, m);
        for (auto* column : {&sorted.nu, &sorted.residual, &sorted.norm, &sorted.massNorm, &sorted.absResidual,
                             &sorted.absA, &sorted.absB})
            column->resize(um);
        for (std::size_t k = 0; k < um; ++k) {
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
