#include "certified/dynamic/general.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <complex>
#include <numeric>

#include "certified/dynamic/lapack.h"

namespace varno {
namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

int Exponent(double x)
{
    int e = 0;
    (void)std::frexp(x, &e);
    return e;
}

double Frobenius(const DenseMatrix& a)
{
    long double s = 0.0L;
    for (const double v : a.a) s += static_cast<long double>(v) * v;
    return static_cast<double>(std::sqrt(s));
}

}  // namespace

DynamicGeneral DynamicGeneralEigenvalues(const SymmetricPencil& pencil)
{
    DynamicGeneral out;
    const int n = pencil.n();
    const std::size_t un = static_cast<std::size_t>(n);
    // Rows (and, the pencil being symmetric, columns) of |K| + |M| balanced
    // by powers of two: D K D and D M D have the same eigenvalues.
    std::vector<int> d(un, 0);
    for (int sweep = 0; sweep < 4; ++sweep)
        for (int i = 0; i < n; ++i) {
            double big = 0.0;
            for (int j = 0; j < n; ++j)
                big = std::max({big, std::ldexp(std::fabs(pencil.K(i, j)), d[static_cast<std::size_t>(i)] + d[static_cast<std::size_t>(j)]),
                                std::ldexp(std::fabs(pencil.M(i, j)), d[static_cast<std::size_t>(i)] + d[static_cast<std::size_t>(j)])});
            if (big > 0.0 && std::isfinite(big)) d[static_cast<std::size_t>(i)] -= Exponent(big) / 2;
        }
    DenseMatrix a(n), b(n);
    int topA = INT_MIN, topB = INT_MIN;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int s = d[static_cast<std::size_t>(i)] + d[static_cast<std::size_t>(j)];
            if (pencil.K(i, j) != 0.0) topA = std::max(topA, Exponent(pencil.K(i, j)) + s);
            if (pencil.M(i, j) != 0.0) topB = std::max(topB, Exponent(pencil.M(i, j)) + s);
        }
    if (topA == INT_MIN) topA = 0;
    if (topB == INT_MIN) topB = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int s = d[static_cast<std::size_t>(i)] + d[static_cast<std::size_t>(j)];
            a(i, j) = std::ldexp(pencil.K(i, j), s - topA);
            b(i, j) = std::ldexp(pencil.M(i, j), s - topB);
        }
    const double normA = Frobenius(a);
    const double normB = Frobenius(b);
    DenseMatrix qa = a, qb = b, vr(n);
    std::vector<double> alphar(un), alphai(un), beta(un);
    int info = 0, lwork = -1, one = 1;
    double query = 0.0, dummy = 0.0;
    dggev_("N", "V", &n, qa.a.data(), &n, qb.a.data(), &n, alphar.data(), alphai.data(), beta.data(), &dummy, &one,
           vr.a.data(), &n, &query, &lwork, &info, 1, 1);
    lwork = std::max(1, static_cast<int>(query));
    std::vector<double> work(static_cast<std::size_t>(lwork));
    dggev_("N", "V", &n, qa.a.data(), &n, qb.a.data(), &n, alphar.data(), alphai.data(), beta.data(), &dummy, &one,
           vr.a.data(), &n, work.data(), &lwork, &info, 1, 1);
    if (info != 0) return out;
    out.converged = true;
    // dggev's alpha and beta are those of S and T, whose rounding is a
    // small multiple of n eps of |a| and |b|.
    DenseMatrix bv(n);
    const double unit = 1.0, zero = 0.0;
    dsymm_("L", "U", &n, &n, &unit, b.a.data(), &n, vr.a.data(), &n, &zero, bv.a.data(), &n, 1, 1);
    const double noiseA = 8.0 * n * DBL_EPSILON * normA;
    const double noiseB = 8.0 * n * DBL_EPSILON * normB;
    std::vector<double> condition(un, Inf);
    std::vector<Eigenvalue> values(un);
    for (std::size_t k = 0; k < un; ++k) {
        // A complex pair's vectors are columns k (real) and k + 1 (imaginary).
        const bool pair = alphai[k] != 0.0 && k + 1 < un;
        const double mag = std::hypot(alphar[k], alphai[k]);
        if (std::fabs(beta[k]) <= noiseB && mag <= noiseA) out.singular = true;
        const bool infinite = std::fabs(beta[k]) <= noiseB || !std::isfinite(mag / beta[k]);
        for (int c = 0; c < (pair ? 2 : 1); ++c) {
            const std::size_t at = k + static_cast<std::size_t>(c);
            const double sign = c == 0 ? 1.0 : -1.0;
            if (infinite) {
                values[at] = {Inf, 0.0};
                continue;
            }
            // In the units typed: K = 2^topA D^-1 a D^-1 and M = 2^topB D^-1 b D^-1. In
            // long double, whose range holds a quotient the double's does not.
            const auto typed = [&](double part) {
                return static_cast<double>(std::ldexp(static_cast<long double>(part) / beta[at], topA - topB));
            };
            values[at] = {typed(alphar[at]), typed(alphai[at])};
            // s from the right vector x = v_re + i v_im: x^T b x, |x|^2.
            std::complex<long double> xbx = 0.0L;
            long double len = 0.0L;
            const double* vre = vr.Column(static_cast<int>(k));
            const double* vim = pair ? vr.Column(static_cast<int>(k + 1)) : nullptr;
            const double* bre = bv.Column(static_cast<int>(k));
            const double* bim = pair ? bv.Column(static_cast<int>(k + 1)) : nullptr;
            for (std::size_t i = 0; i < un; ++i) {
                const std::complex<long double> xi(vre[i], vim ? sign * vim[i] : 0.0);
                const std::complex<long double> bx(bre[i], bim ? sign * bim[i] : 0.0);
                xbx += xi * bx;
                len += std::norm(xi);
            }
            const long double lambda = std::hypot(static_cast<long double>(alphar[at]), alphai[at]) / std::fabs(beta[at]);
            condition[at] = static_cast<double>((normA + lambda * normB) * len / std::abs(xbx));
        }
        if (pair) ++k;
    }
    std::vector<std::size_t> order(un);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
        const Eigenvalue& x = values[i];
        const Eigenvalue& y = values[j];
        return x.re < y.re || (x.re == y.re && x.im < y.im);
    });
    for (const std::size_t k : order) {
        out.values.push_back(values[k]);
        out.condition.push_back(condition[k]);
    }
    return out;
}

}  // namespace varno
