#include "certified/reduction.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <utility>

namespace varno {
namespace {

// One Householder reflection that zeroes a[j+2 .. n-1][j] of the symmetric
// matrix a, applied from both sides; returns the new a[j+1][j]. With kept,
// the reflection is stored there, to carry eigenvectors back.
template <int n>
double Reflect(Square4& a, int j, Reflector* kept = nullptr)
{
    const int m = n - j - 1;  // length of the column below the diagonal
    double big = 0.0;
    for (int i = 0; i < m; ++i) big = std::max(big, std::fabs(a[U(j + 1 + i)][U(j)]));
    if (big == 0.0) return 0.0;
    // Far from 1, the column is scaled by a power of two first, so that its
    // squares neither overflow nor lose the reflector's accuracy to underflow.
    int e = 0;
    Lane x{};
    for (int i = 0; i < m; ++i) x[U(i)] = a[U(j + 1 + i)][U(j)];
    if (big > 0x1p400 || big < 0x1p-400) {
        e = BinaryExponent(big);
        for (int i = 0; i < m; ++i) x[U(i)] = TimesPowerOfTwo(x[U(i)], -e);
    }
    double rest = 0.0;
    for (int i = 1; i < m; ++i) rest += x[U(i)] * x[U(i)];
    if (rest == 0.0) return a[U(j + 1)][U(j)];  // already tridiagonal in this column

    const double alpha = x[0];
    const double norm = std::sqrt(alpha * alpha + rest);
    const double beta = alpha >= 0.0 ? -norm : norm;
    const double tau = (beta - alpha) / beta;
    const double scale = 1.0 / (alpha - beta);
    Lane v{1.0, 0.0, 0.0, 0.0};
    for (int i = 1; i < m; ++i) v[U(i)] = x[U(i)] * scale;
    if (kept) *kept = {v, tau};

    // B := H B H for the trailing block B, H = I - tau v v^T:
    // p = tau B v, w = p - (tau/2)(p.v) v, B := B - v w^T - w v^T.
    const int o = j + 1;
    Lane p{};
    for (int r = 0; r < m; ++r) {
        double s = 0.0;
        for (int c = 0; c < m; ++c) s += a[U(o + r)][U(o + c)] * v[U(c)];
        p[U(r)] = tau * s;
    }
    double pv = 0.0;
    for (int r = 0; r < m; ++r) pv += p[U(r)] * v[U(r)];
    const double half = 0.5 * tau * pv;
    Lane w{};
    for (int r = 0; r < m; ++r) w[U(r)] = p[U(r)] - half * v[U(r)];
    for (int r = 0; r < m; ++r)
        for (int c = 0; c < m; ++c) a[U(o + r)][U(o + c)] -= v[U(r)] * w[U(c)] + w[U(r)] * v[U(c)];
    return e == 0 ? beta : TimesPowerOfTwo(beta, e);
}

// The eigenvectors of dsygv's route for the eigenvalues QL gives (rows of
// z, T's): back through the reflections to C's, then x = L^-T D^-1/2 y, the
// pencil's, B-orthonormal to within B's condition times the rounding.
template <int n>
void BackTransform(const Reduced& r, const std::array<Reflector, MaxOrder - 2>& kept, const Square4& z,
                   std::array<Vector4, MaxOrder>& x)
{
    for (int k = 0; k < n; ++k) {
        Lane y{};
        for (int i = 0; i < n; ++i) y[U(i)] = z[U(k)][U(i)];
        for (int j = n - 3; j >= 0; --j) {  // y = H_0 H_1 z_k
            const Reflector& h = kept[U(j)];
            if (h.tau == 0.0) continue;
            double dot = 0.0;
            for (int i = j + 1; i < n; ++i) dot += h.v[U(i - j - 1)] * y[U(i)];
            dot *= h.tau;
            for (int i = j + 1; i < n; ++i) y[U(i)] -= dot * h.v[U(i - j - 1)];
        }
        Vector4& v = x[U(k)];
        v = {};
        for (int i = n - 1; i >= 0; --i) {
            double s = r.root[U(i)] * y[U(i)];
            for (int p = i + 1; p < n; ++p) s -= r.l[U(p)][U(i)] * v[U(p)];
            v[U(i)] = s;
        }
    }
}

// Two rows of QL's gathered rotations turned by (c, s), two components at a
// time: each component takes the same operations as one at a time would
// give it, so the same bits, in about half the instructions.
template <int n>
void Rotate(Lane& lower, Lane& upper, double s, double c)
{
    using Pair = double __attribute__((vector_size(16)));
    int k = 0;
    for (; k + 2 <= n; k += 2) {
        Pair l;
        Pair h;
        std::memcpy(&l, &lower[U(k)], sizeof l);
        std::memcpy(&h, &upper[U(k)], sizeof h);
        const Pair up = s * l + c * h;
        const Pair down = c * l - s * h;
        std::memcpy(&upper[U(k)], &up, sizeof up);
        std::memcpy(&lower[U(k)], &down, sizeof down);
    }
    if (k < n) {
        const double h = upper[U(k)];
        upper[U(k)] = s * lower[U(k)] + c * h;
        lower[U(k)] = c * lower[U(k)] - s * h;
    }
}

}  // namespace

template <int n>
std::optional<Reduced> Reduce(const DefinitePencil& pencil)
{
    // Only the leading n x n blocks are written and read: the rest of the
    // stores is left as it comes, since clearing all of MaxOrder's would cost
    // small n more than its arithmetic.
    Square4 m = pencil.b;
    const Square4& k = pencil.a;
    Square4 L;
    Lane inverse{};  // 1 / pivot
    for (int j = 0; j < n; ++j) {
        // Below the diagonal, m comes to hold L(i, j) d(j), which the sums reuse.
        double pivot = m[U(j)][U(j)];
        for (int p = 0; p < j; ++p) pivot -= L[U(j)][U(p)] * m[U(j)][U(p)];
        if (!(pivot > 0.0)) return std::nullopt;
        inverse[U(j)] = 1.0 / pivot;
        for (int i = j + 1; i < n; ++i) {
            double t = m[U(i)][U(j)];
            for (int p = 0; p < j; ++p) t -= L[U(i)][U(p)] * m[U(j)][U(p)];
            m[U(i)][U(j)] = t;
            L[U(i)][U(j)] = t * inverse[U(j)];
        }
    }
    // Y = L^-1 A (no division: L is unit).
    Square4 Y;
    for (int c = 0; c < n; ++c)
        for (int i = 0; i < n; ++i) {
            double s = k[U(i)][U(c)];
            for (int p = 0; p < i; ++p) s -= L[U(i)][U(p)] * Y[U(p)][U(c)];
            Y[U(i)][U(c)] = s;
        }
    // Then the lower triangle of Z = Y L^-T from Z L^T = Y, scaled on both sides.
    Lane root{};
    for (int i = 0; i < n; ++i) root[U(i)] = std::sqrt(inverse[U(i)]);
    Square4 C;
    double cBig = 0.0;
    for (int r = 0; r < n; ++r)
        for (int j = 0; j <= r; ++j) {
            double s = Y[U(r)][U(j)];
            for (int p = 0; p < j; ++p) s -= C[U(r)][U(p)] * L[U(j)][U(p)];
            C[U(r)][U(j)] = s;
        }
    for (int r = 0; r < n; ++r)
        for (int j = 0; j <= r; ++j) {
            C[U(j)][U(r)] = C[U(r)][U(j)] = C[U(r)][U(j)] * root[U(r)] * root[U(j)];
            cBig = std::max(cBig, std::fabs(C[U(r)][U(j)]));
        }
    if (!std::isfinite(cBig)) return std::nullopt;
    int ec = 0;
    if (cBig > 0x1p400 || (cBig < 0x1p-400 && cBig > 0.0)) {
        ec = BinaryExponent(cBig);
        Scale(C, n, ec);
    }
    return Reduced{C, -ec, L, root};
}

template <int n>
Tridiagonal Tridiagonalise(const Reduced& r, std::array<Reflector, MaxOrder - 2>* kept)
{
    Square4 C = r.c;  // the reflections work on a copy of C alone, not on all of r
    Tridiagonal t;
    t.n = n;
    t.shift = r.shift;
    for (int j = 0; j + 2 < n; ++j) t.off[U(j)] = Reflect<n>(C, j, kept ? &(*kept)[U(j)] : nullptr);
    t.off[U(n - 2)] = C[U(n - 1)][U(n - 2)];
    for (int i = 0; i < n; ++i) t.diagonal[U(i)] = C[U(i)][U(i)];
    return t;
}

template <int n>
bool QlEigenvalues(const Tridiagonal& t, Lane& d, Square4* z)
{
    d = t.diagonal;
    if (z)
        for (int i = 0; i < n; ++i) {
            (*z)[U(i)] = {};
            (*z)[U(i)][U(i)] = 1.0;
        }
    Lane e{};
    for (int i = 0; i + 1 < n; ++i) e[U(i)] = t.off[U(i)];
    for (int l = 0; l < n; ++l) {
        for (int sweep = 0;; ++sweep) {
            int m = l;
            for (; m + 1 < n; ++m)
                if (std::fabs(e[U(m)]) <= DBL_EPSILON * (std::fabs(d[U(m)]) + std::fabs(d[U(m + 1)]))) break;
            if (m == l) break;
            if (sweep == 30) return false;
            double g = (d[U(l + 1)] - d[U(l)]) / (2.0 * e[U(l)]);
            double r = z && std::fabs(g) < 0x1p500 ? std::sqrt(g * g + 1.0) : Hypot(g, 1.0);
            g = d[U(m)] - d[U(l)] + e[U(l)] / (g + std::copysign(r, g));
            double s = 1.0;
            double c = 1.0;
            double p = 0.0;
            int i = m - 1;
            for (; i >= l; --i) {
                const double f = s * e[U(i)];
                const double b = c * e[U(i)];
                const double big = std::max(std::fabs(f), std::fabs(g));
                r = z && big > 0x1p-500 && big < 0x1p500 ? std::sqrt(f * f + g * g) : Hypot(f, g);
                e[U(i + 1)] = r;
                if (r == 0.0) {  // T split here: restart from the other side
                    d[U(i + 1)] -= p;
                    e[U(m)] = 0.0;
                    break;
                }
                s = f / r;
                c = g / r;
                g = d[U(i + 1)] - p;
                r = (d[U(i)] - g) * s + 2.0 * c * b;
                p = s * r;
                d[U(i + 1)] = g + p;
                g = c * r - b;
                if (z) Rotate<n>((*z)[U(i)], (*z)[U(i + 1)], s, c);
            }
            if (r == 0.0 && i >= l) continue;
            d[U(l)] -= p;
            e[U(l)] = g;
            e[U(m)] = 0.0;
        }
    }
    if (z) {  // the same insertion sort, the columns with their values
        for (int i = 1; i < n; ++i)
            for (int j = i; j > 0 && d[U(j - 1)] > d[U(j)]; --j) {
                std::swap(d[U(j - 1)], d[U(j)]);
                std::swap((*z)[U(j - 1)], (*z)[U(j)]);
            }
    } else {
        SortAscending(d, n);
    }
    return std::all_of(d.begin(), d.begin() + n, [](double x) { return std::isfinite(x); });
}

template <int n>
bool ReducedEigenpairs(const DefinitePencil& p, Lane& nu, int& shift, Route* route)
{
    const std::optional<Reduced> r = Reduce<n>(p);
    if (!r) return false;
    shift = r->shift;
    if (!route) return QlEigenvalues<n>(Tridiagonalise<n>(*r), nu);
    std::array<Reflector, MaxOrder - 2> kept{};
    Square4 z;
    if (!QlEigenvalues<n>(Tridiagonalise<n>(*r, &kept), nu, &z)) return false;
    BackTransform<n>(*r, kept, z, route->x);
    // |D^-1/2 L^-1|_F^2, a column of the unit L^-1 at a time: no divisions.
    double sum = 0.0;
    for (int c = 0; c < n; ++c) {
        Lane column{};
        for (int i = c; i < n; ++i) {
            double t = i == c ? 1.0 : 0.0;
            for (int k = c; k < i; ++k) t -= r->l[U(i)][U(k)] * column[U(k)];
            column[U(i)] = t;
            sum += Square(r->root[U(i)] * t);
        }
    }
    route->inverseSquare = sum;
    return true;
}

template std::optional<Reduced> Reduce<2>(const DefinitePencil&);
template std::optional<Reduced> Reduce<3>(const DefinitePencil&);
template std::optional<Reduced> Reduce<4>(const DefinitePencil&);
template Tridiagonal Tridiagonalise<3>(const Reduced&, std::array<Reflector, MaxOrder - 2>*);
template bool QlEigenvalues<3>(const Tridiagonal&, Lane&, Square4*);
template bool ReducedEigenpairs<2>(const DefinitePencil&, Lane&, int&, Route*);
template bool ReducedEigenpairs<3>(const DefinitePencil&, Lane&, int&, Route*);
template bool ReducedEigenpairs<4>(const DefinitePencil&, Lane&, int&, Route*);
template bool ReducedEigenpairs<5>(const DefinitePencil&, Lane&, int&, Route*);
template bool ReducedEigenpairs<6>(const DefinitePencil&, Lane&, int&, Route*);

std::optional<Route> RouteEigenpairs(const DefinitePencil& p)
{
    Route route;
    int shift = 0;
    const bool done = p.n == 2   ? ReducedEigenpairs<2>(p, route.nu, shift, &route)
                      : p.n == 3 ? ReducedEigenpairs<3>(p, route.nu, shift, &route)
                      : p.n == 4 ? ReducedEigenpairs<4>(p, route.nu, shift, &route)
                      : p.n == 5 ? ReducedEigenpairs<5>(p, route.nu, shift, &route)
                                 : ReducedEigenpairs<6>(p, route.nu, shift, &route);
    if (!done) return std::nullopt;
    for (int k = 0; k < p.n; ++k) {  // from C's units to the pencil's scaled ones
        if (!std::isfinite(route.nu[U(k)])) return std::nullopt;
        route.nu[U(k)] = TimesPowerOfTwo(route.nu[U(k)], -shift);
    }
    return route;
}

}  // namespace varno
