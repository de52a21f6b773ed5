#include "certified/inverse_iteration.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>

#include "certified/scaling.h"
#include "certified/symmetric_indefinite.h"

namespace varno {
namespace {

double Dot(const Vector4& x, const Square4& b, const Vector4& y, int n)
{
    double s = 0.0;
    for (int i = 0; i < n; ++i) {
        double row = 0.0;
        for (int j = 0; j < n; ++j) row += b[U(i)][U(j)] * y[U(j)];
        s += x[U(i)] * row;
    }
    return s;
}

// One step of inverse iteration: (A - theta B)^-1 B x, made B-orthogonal to
// the vectors given (B-normalised), scaled to a largest component of 1.
// Returns how much it grew.
double Step(const DefinitePencil& p, const SymmetricFactor& f, std::span<const Vector4> against, Vector4& x)
{
    const int n = p.n;
    Vector4 y{};
    double size = 0.0;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) y[U(i)] += p.b[U(i)][U(j)] * x[U(j)];
        size = std::max(size, std::fabs(y[U(i)]));
    }
    SolveFactored(f, y);
    for (int pass = 0; pass < 2; ++pass)  // twice is enough (Kahan, Parlett)
        for (const Vector4& v : against) {
            const double c = Dot(v, p.b, y, n);
            for (int i = 0; i < n; ++i) y[U(i)] -= c * v[U(i)];
        }
    double big = 0.0;
    for (int i = 0; i < n; ++i) big = std::max(big, std::fabs(y[U(i)]));
    if (!(big > 0.0) || !std::isfinite(big)) return 0.0;
    for (int i = 0; i < n; ++i) x[U(i)] = y[U(i)] / big;
    return big / size;
}

}  // namespace

Vector4 InverseIteration(const DefinitePencil& p, double theta, std::span<const Vector4> starts,
                         std::span<const Vector4> against, bool deflate)
{
    const int n = p.n;
    double alpha = 1.0;
    double beta = theta;
    if (std::fabs(theta) > 0x1p600) {  // as the count does: the same inertia, no overflow
        alpha = std::ldexp(1.0, -std::ilogb(theta));
        beta = theta * alpha;
    }
    Square4 s{};
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) s[U(i)][U(j)] = alpha * p.a[U(i)][U(j)] - beta * p.b[U(i)][U(j)];
    const double tau = std::fabs(alpha) * p.aBig + std::fabs(beta) * p.bBig;  // the size of A - theta B
    for (const Vector4& v : deflate ? against : std::span<const Vector4>()) {
        Vector4 bv{};
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) bv[U(i)] += p.b[U(i)][U(j)] * v[U(j)];
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) s[U(i)][U(j)] += tau * bv[U(i)] * bv[U(j)];
    }
    SymmetricFactor f = FactorBunchKaufman(s, n);
    // theta an eigenvalue exactly (K a multiple of M makes A - theta B zero
    // to the last bit, or to its rounding): a zero pivot, which the solve can only take as a
    // speck of rounding, and then grows every start alike until it leaves
    // the double range. A shift of a few units of rounding away from it
    // still grows the eigenvectors far above the rest, and keeps the solves
    // finite, so that the vectors of a repeated eigenvalue can be made
    // B-orthogonal to each other.
    if (f.zero > 0 && f.scale <= 64.0 * DBL_EPSILON * tau) {
        const double nudge = 64.0 * DBL_EPSILON * tau;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) s[U(i)][U(j)] -= nudge * p.b[U(i)][U(j)];
        f = FactorBunchKaufman(s, n);
    }
    // Near an eigenvalue, A - theta B is singular to within its rounding,
    // and (A - theta B)^-1 grows a vector with a part along the eigenvector
    // by far more than this (about 1 / eps); elsewhere by less.
    const double enough = 1e6 / tau;
    Vector4 x{};
    double best = -1.0;
    for (std::size_t attempt = 0; attempt < starts.size() && best < enough; ++attempt) {
        Vector4 start = starts[attempt];
        const double growth = Step(p, f, against, start);
        if (growth > best) best = growth, x = start;
    }
    for (int step = 0; step < 2; ++step) Step(p, f, against, x);
    const double norm = std::sqrt(Dot(x, p.b, x, n));  // x's largest component is 1: no overflow
    for (int i = 0; i < n; ++i) x[U(i)] /= norm;
    return x;
}

}  // namespace varno
