#include "solvers/inertia.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

#include "solvers/arithmetic.h"

namespace varno {
namespace {

using Lane = std::array<double, 4>;

std::size_t U(int i) { return static_cast<std::size_t>(i); }

// floor(log2(x)) for a finite x > 0.
int BinaryExponent(double x)
{
    const auto biased = static_cast<int>((std::bit_cast<std::uint64_t>(x) >> 52) & 0x7ff);
    return biased != 0 ? biased - 1023 : std::ilogb(x);  // a subnormal: rare enough for the call
}

// Scales every entry of the leading n x n block by 2^-e.
void Scale(Square4& x, int n, int e)
{
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) x[U(i)][U(j)] = TimesPowerOfTwo(x[U(i)][U(j)], -e);
}

// Insertion sort of the first n: std::sort on four elements draws a false
// array-bounds warning from GCC 12, and is overkill.
void SortAscending(Lane& x, int n)
{
    for (int i = 1; i < n; ++i)
        for (int j = i; j > 0 && x[U(j - 1)] > x[U(j)]; --j) std::swap(x[U(j - 1)], x[U(j)]);
}

// ---------------------------------------------------------------------------
// Which matrix is definite.

// Whether sign x + shift I has an LDL^T factorisation with positive pivots.
template <int n>
bool PivotsPositive(const Square4& x, double sign, double shift)
{
    Square4 w;  // below the diagonal L(i, j), above it L(i, j) d(j)
    for (int j = 0; j < n; ++j) {
        double pivot = sign * x[U(j)][U(j)] + shift;
        for (int p = 0; p < j; ++p) pivot -= w[U(j)][U(p)] * w[U(p)][U(j)];
        if (!(pivot > 0.0)) return false;
        const double inverse = 1.0 / pivot;
        for (int i = j + 1; i < n; ++i) {
            double t = sign * x[U(i)][U(j)];
            for (int p = 0; p < j; ++p) t -= w[U(i)][U(p)] * w[U(p)][U(j)];
            w[U(j)][U(i)] = t;
            w[U(i)][U(j)] = t * inverse;
        }
    }
    return true;
}

enum class Test { Safe, RoundingLevel, No };

// sign x, x scaled so that its largest entry, big, lies in [1, 2) (or is 0).
// Safe when the pivots of sign x - delta I are positive, delta = 16 eps big:
// they then exceed delta, and so are normal numbers, as the scaling makes
// delta one. At rounding level when x + delta I passes: x is definite, or
// fails to be only by rounding.
template <int n>
Test DefinitenessOf(const Square4& x, double big, double sign)
{
    const double delta = 16.0 * DBL_EPSILON * big;
    if (delta > 0.0 && PivotsPositive<n>(x, sign, -delta)) return Test::Safe;
    if (PivotsPositive<n>(x, sign, delta)) return Test::RoundingLevel;
    return Test::No;
}

// ---------------------------------------------------------------------------
// Counting.

// Four doubles side by side (GCC/Clang vector extension); each lane rounds
// exactly as the scalar expression would.
typedef double V4 __attribute__((vector_size(32)));
typedef long long Mask4 __attribute__((vector_size(32)));

// |x| lane by lane; a macro, since a function taking V4 by value would
// depend on whether the target has AVX (-Wpsabi).
#define VARNO_ABS4(x) \
    reinterpret_cast<V4>(reinterpret_cast<Mask4>(x) & Mask4{0x7fffffffffffffffLL, 0x7fffffffffffffffLL, \
                                                             0x7fffffffffffffffLL, 0x7fffffffffffffffLL})

// Where the plain LDL^T's growth G = max_i sum_j L(i,j)^2 |d(j)| stays below
// this many times N, the largest entry of |A| + |sigma| |B|, its count is
// taken; beyond, Bunch-Kaufman's pivoting decides. The computed factors are
// exact for A - sigma B + E with |E| <= gamma_n |L||D||L^T| <= n eps G
// entrywise (the off-diagonal entries by Cauchy-Schwarz), so |E|_2 <= n^2 eps
// Growth N <= 1024 eps (|A| + |sigma| |B|) for n = 4: an eigenvalue moves by
// at most 2.3e-13 of its s_k, well inside the half of 1e-12 s_k that the
// check leaves for it.
constexpr double Growth = 64.0;

// Counts for four shifts at once, in the pencil's scaled units: out[l] is the
// number of nu below sigma[l], or at or below where orEqual[l]; -1 for a NaN
// shift.
template <int n>
[[gnu::always_inline]] inline void CountLanes(const DefinitePencil& p, const Lane& sigma, const std::array<bool, 4>& orEqual,
                std::array<int, 4>& out)
{
    // A - sigma B, or 2^-e (A - sigma B) where sigma B could overflow: the
    // same inertia.
    V4 alpha{};
    V4 beta{};
    std::array<bool, 4> decided{};
    for (std::size_t l = 0; l < 4; ++l) {
        const double s = sigma[l];
        alpha[l] = 1.0;
        beta[l] = s;
        if (std::isnan(s)) {
            out[l] = -1;
            decided[l] = true;
            beta[l] = 0.0;
        } else if (std::isinf(s)) {
            out[l] = s > 0.0 ? n : 0;
            decided[l] = true;
            beta[l] = 0.0;
        } else if (std::fabs(s) > 0x1p600) {
            const int e = BinaryExponent(std::fabs(s));
            alpha[l] = TimesPowerOfTwo(1.0, -e);
            beta[l] = TimesPowerOfTwo(s, -e);
        }
    }
    const V4 norm = alpha * p.aBig + VARNO_ABS4(beta) * p.bBig;

    V4 s[n][n];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j) s[i][j] = alpha * p.a[U(i)][U(j)] - beta * p.b[U(i)][U(j)];

    // Plain LDL^T in every lane: w(i, j) = L(i, j) d(j) below the diagonal.
    V4 d[n];
    V4 L[n][n];
    V4 w[n][n];
    Mask4 small = {-1, -1, -1, -1};  // growth within bounds, so far
    for (int j = 0; j < n; ++j) {
        V4 dj = s[j][j];
        V4 growth = {};
        for (int q = 0; q < j; ++q) {
            dj -= L[j][q] * w[j][q];
            growth += VARNO_ABS4(L[j][q] * w[j][q]);
        }
        d[j] = dj;
        growth += VARNO_ABS4(dj);
        small &= growth <= Growth * norm;  // a NaN fails too
        if (j + 1 == n) break;
        const V4 inverse = 1.0 / dj;
        for (int i = j + 1; i < n; ++i) {
            V4 t = s[i][j];
            for (int q = 0; q < j; ++q) t -= L[i][q] * w[j][q];
            w[i][j] = t;
            L[i][j] = t * inverse;
        }
    }
    for (std::size_t l = 0; l < 4; ++l) {
        if (decided[l]) continue;
        if (small[l] != 0) {
            int negative = 0;
            for (int j = 0; j < n; ++j) negative += d[j][l] < 0.0 || (orEqual[l] && d[j][l] == 0.0) ? 1 : 0;
            out[l] = negative;
            continue;
        }
        Square4 lane{};
        for (int i = 0; i < n; ++i)
            for (int j = 0; j <= i; ++j) lane[U(i)][U(j)] = s[i][j][l];
        const SymmetricFactor f = FactorBunchKaufman(lane, n);
        out[l] = f.negative + (orEqual[l] ? f.zero : 0);
    }
}

__attribute__((target_clones("avx2", "default"))) void Count4(const DefinitePencil& p, const Lane& sigma,
                                                                 const std::array<bool, 4>& orEqual,
                                                                 std::array<int, 4>& out)
{
    switch (p.n) {
    case 2: CountLanes<2>(p, sigma, orEqual, out); break;
    case 3: CountLanes<3>(p, sigma, orEqual, out); break;
    default: CountLanes<4>(p, sigma, orEqual, out); break;
    }
}

// Claims in scaled units, two per pass; held[c] says whether claim c holds.
// nu_k >= lo needs fewer than k strictly below lo; nu_k <= hi needs at least
// k at or below hi.
void CheckScaled(const DefinitePencil& p, std::span<const EigenvalueClaim> claims, std::span<bool> held)
{
    const std::array<bool, 4> orEqual{false, false, true, true};
    for (std::size_t c = 0; c < claims.size(); c += 2) {
        const EigenvalueClaim& a = claims[c];
        const EigenvalueClaim& b = claims[std::min(c + 1, claims.size() - 1)];
        std::array<int, 4> below{};
        Count4(p, {a.lo, b.lo, a.hi, b.hi}, orEqual, below);
        held[c] = below[0] >= 0 && below[2] >= 0 && below[0] < a.k && below[2] >= a.k;
        if (c + 1 < claims.size()) held[c + 1] = below[1] >= 0 && below[3] >= 0 && below[1] < b.k && below[3] >= b.k;
    }
}

int CountScaled(const DefinitePencil& p, double s, bool orEqual)
{
    std::array<int, 4> out{};
    Count4(p, {s, s, s, s}, {orEqual, orEqual, orEqual, orEqual}, out);
    return out[0];
}

EigenvalueClaim ToScaled(const DefinitePencil& p, const EigenvalueClaim& c)
{
    return {c.k, TimesPowerOfTwo(c.lo, p.shift), TimesPowerOfTwo(c.hi, p.shift)};
}

// ---------------------------------------------------------------------------
// Candidates: the route of dsygv; for n = 2 the pencil's quadratic, for n = 3
// the cubic of dsygv's reduced matrix.

// The reduced symmetric matrix in tridiagonal form; its eigenvalues are the
// pencil's scaled nu times 2^-shift.
struct Tridiagonal {
    int n = 0;
    Lane diagonal{};
    std::array<double, 3> off{};
    int shift = 0;
};

// sqrt(x^2 + y^2) without overflow or a harmful underflow: QL's rotations
// must stay orthogonal even when both sides are tiny.
double Hypot(double x, double y)
{
    x = std::fabs(x);
    y = std::fabs(y);
    const double big = std::max(x, y);
    const double small = std::min(x, y);
    if (small == 0.0) return big;
    const double q = small / big;
    return big * std::sqrt(1.0 + q * q);
}

// A reflection H = I - tau v v^T acting on rows j+1 .. n-1, v[0] = 1; tau = 0
// for none.
struct Reflector {
    Lane v{};
    double tau = 0.0;
};

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

// C = D^-1/2 L^-1 A L^-T D^-1/2 with B = L D L^T, symmetric (both triangles
// set); its eigenvalues are the pencil's scaled nu times 2^-shift.
struct Reduced {
    Square4 c{};
    int shift = 0;
    Square4 l{};   // B's unit factor L, below the diagonal
    Lane root{};   // D^-1/2
};

// Empty if a pivot of B is not positive after all, or C overflows.
template <int n>
std::optional<Reduced> Reduce(const DefinitePencil& pencil)
{
    Square4 m = pencil.b;
    const Square4& k = pencil.a;
    Square4 L{};
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
    Square4 Y{};
    for (int c = 0; c < n; ++c)
        for (int i = 0; i < n; ++i) {
            double s = k[U(i)][U(c)];
            for (int p = 0; p < i; ++p) s -= L[U(i)][U(p)] * Y[U(p)][U(c)];
            Y[U(i)][U(c)] = s;
        }
    // Then the lower triangle of Z = Y L^-T from Z L^T = Y, scaled on both sides.
    Lane root{};
    for (int i = 0; i < n; ++i) root[U(i)] = std::sqrt(inverse[U(i)]);
    Square4 C{};
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
Tridiagonal Tridiagonalise(Reduced r, std::array<Reflector, 2>* kept = nullptr)
{
    Square4& C = r.c;
    Tridiagonal t;
    t.n = n;
    t.shift = r.shift;
    for (int j = 0; j + 2 < n; ++j) t.off[U(j)] = Reflect<n>(C, j, kept ? &(*kept)[U(j)] : nullptr);
    t.off[U(n - 2)] = C[U(n - 1)][U(n - 2)];
    for (int i = 0; i < n; ++i) t.diagonal[U(i)] = C[U(i)][U(i)];
    return t;
}

// Implicit QL with shifts (EISPACK's imtql1), eigenvalues ascending; with z,
// the rotations are gathered into it as imtql2 does (z starts as I), its
// columns the eigenvectors of T in the eigenvalues' order. The sweeps are a
// chain of dependent square roots and divisions. With vectors (for a caller
// that bounds its results itself), a rotation's length is the plain root
// where no square can overflow or underflow to harm: one division fewer in
// the chain. Without, the guarded Hypot stays, whose bits the proved
// candidates are.
// False if some eigenvalue has not settled after 30 sweeps.
template <int n>
bool QlEigenvalues(const Tridiagonal& t, Lane& d, Square4* z = nullptr)
{
    d = t.diagonal;
    if (z) {
        *z = {};
        for (int i = 0; i < n; ++i) (*z)[U(i)][U(i)] = 1.0;
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
                if (z)
                    for (int k = 0; k < n; ++k) {
                        double* row = (*z)[U(k)].data();
                        const double h = row[i + 1];
                        row[i + 1] = s * row[i] + c * h;
                        row[i] = c * row[i] - s * h;
                    }
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
                for (int k = 0; k < n; ++k) std::swap((*z)[U(k)][U(j - 1)], (*z)[U(k)][U(j)]);
            }
    } else {
        SortAscending(d, n);
    }
    return std::all_of(d.begin(), d.begin() + n, [](double x) { return std::isfinite(x); });
}

// The eigenvectors of dsygv's route for the eigenvalues QL gives (columns of
// z, T's): back through the reflections to C's, then x = L^-T D^-1/2 y, the
// pencil's, B-orthonormal to within B's condition times the rounding.
template <int n>
void BackTransform(const Reduced& r, const std::array<Reflector, 2>& kept, const Square4& z,
                   std::array<Vector4, 4>& x)
{
    for (int k = 0; k < n; ++k) {
        Lane y{};
        for (int i = 0; i < n; ++i) y[U(i)] = z[U(i)][U(k)];
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

// dsygv's route with its eigenvectors: the eigenvalues in C's units (times
// 2^-shift), false where the reduction or QL fails.
template <int n>
bool ReducedEigenpairs(const DefinitePencil& p, Lane& nu, int& shift, Route* route)
{
    const std::optional<Reduced> r = Reduce<n>(p);
    if (!r) return false;
    shift = r->shift;
    if (!route) return QlEigenvalues<n>(Tridiagonalise<n>(*r), nu);
    std::array<Reflector, 2> kept{};
    Square4 z{};
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

// The eigenvalues of a symmetric 3 x 3 matrix from its characteristic cubic
// in trigonometric form, ascending: no iteration, so no chain of dependent
// square roots and divisions as in QL's sweeps, and the three come out
// together. Close eigenvalues lose about the square root of the rounding
// here, which QL does not; the proof finds out.
Lane Trigonometric(const Square4& c)
{
    const double q = (c[0][0] + c[1][1] + c[2][2]) / 3.0;
    const double a0 = c[0][0] - q;
    const double a1 = c[1][1] - q;
    const double a2 = c[2][2] - q;
    const double off = c[1][0] * c[1][0] + c[2][0] * c[2][0] + c[2][1] * c[2][1];
    if (off == 0.0) {  // diagonal: its entries, exactly
        Lane d{c[0][0], c[1][1], c[2][2], 0.0};
        SortAscending(d, 3);
        return d;
    }
    const double p = std::sqrt((a0 * a0 + a1 * a1 + a2 * a2 + 2.0 * off) / 6.0);
    if (p == 0.0) return {q, q, q, 0.0};
    // det((C - q I) / p) / 2 = cos(3 phi)
    const double inverse = 1.0 / p;
    const double b00 = a0 * inverse;
    const double b11 = a1 * inverse;
    const double b22 = a2 * inverse;
    const double b10 = c[1][0] * inverse;
    const double b20 = c[2][0] * inverse;
    const double b21 = c[2][1] * inverse;
    const double r =
        0.5 * (b00 * (b11 * b22 - b21 * b21) - b10 * (b10 * b22 - b21 * b20) + b20 * (b10 * b21 - b11 * b20));
    const double phi = r <= -1.0 ? std::acos(-1.0) / 3.0 : r >= 1.0 ? 0.0 : std::acos(r) / 3.0;
    const double cosine = std::cos(phi);
    const double sine = std::sin(phi);
    const double big = q + 2.0 * p * cosine;
    const double small = q + 2.0 * p * (-0.5 * cosine - 0.8660254037844386 * sine);  // cos(phi + 2 pi / 3)
    Lane nu{small, 3.0 * q - big - small, big, 0.0};
    SortAscending(nu, 3);
    return nu;
}

// The roots of det(A - nu B) = 0 for n = 2, ascending: one square root and
// two independent divisions, where the reduction is a chain of them. Close
// eigenvalues lose about the square root of the rounding here, which the
// reduction does not; the proof finds out.
Lane Quadratic(const DefinitePencil& p)
{
    const Square4& a = p.a;
    const Square4& b = p.b;
    if (a[1][0] == 0.0 && b[1][0] == 0.0) {  // diagonal: two quotients, exactly rounded
        const double x = a[0][0] / b[0][0];
        const double y = a[1][1] / b[1][1];
        return {std::min(x, y), std::max(x, y), 0.0, 0.0};
    }
    const double second = b[0][0] * b[1][1] - b[1][0] * b[1][0];  // det B > 0
    const double first = a[0][0] * b[1][1] + a[1][1] * b[0][0] - 2.0 * a[1][0] * b[1][0];
    const double constant = a[0][0] * a[1][1] - a[1][0] * a[1][0];
    const double root = std::sqrt(std::max(first * first - 4.0 * second * constant, 0.0));
    // The root of larger magnitude without cancelling, the other from the product.
    const double q = 0.5 * (first + std::copysign(root, first));
    const double big = q / second;
    const double small = q != 0.0 ? constant / q : 0.0;
    return {std::min(big, small), std::max(big, small), 0.0, 0.0};
}

// Candidate eigenvalues in scaled units, ascending: for n = 2 and 3 from the
// characteristic polynomial unless reduced asks for the route of dsygv (or
// the polynomial's are not finite); empty where that route's reduction
// fails.
std::optional<Lane> Candidates(const DefinitePencil& p, bool reduced = false)
{
    Lane nu{};
    int shift = 0;
    if (p.n == 2) {
        if (!reduced) nu = Quadratic(p);
        if (!reduced && std::isfinite(nu[0]) && std::isfinite(nu[1])) return nu;
        const std::optional<Reduced> r = Reduce<2>(p);
        if (!r) return std::nullopt;
        // [a b; b c] in closed form: the larger magnitude from the mean and
        // the radius, which add without cancelling, the other from the
        // determinant.
        const double a = r->c[0][0];
        const double b = r->c[1][0];
        const double c = r->c[1][1];
        const double mean = 0.5 * a + 0.5 * c;
        const double radius = Hypot(0.5 * a - 0.5 * c, b);
        const double big = mean + std::copysign(radius, mean);
        const double small = big != 0.0 ? (a * c - b * b) / big : 0.0;
        nu = {std::min(big, small), std::max(big, small), 0.0, 0.0};
        shift = r->shift;
    } else if (p.n == 3) {
        const std::optional<Reduced> r = Reduce<3>(p);
        if (!r) return std::nullopt;
        if (!reduced) nu = Trigonometric(r->c);
        if (reduced || !std::all_of(nu.begin(), nu.begin() + 3, [](double v) { return std::isfinite(v); }))
            if (!QlEigenvalues<3>(Tridiagonalise<3>(*r), nu)) return std::nullopt;
        shift = r->shift;
    } else if (!ReducedEigenpairs<4>(p, nu, shift, nullptr)) {
        return std::nullopt;
    }
    for (int k = 0; k < p.n; ++k) {
        if (!std::isfinite(nu[U(k)])) return std::nullopt;
        nu[U(k)] = TimesPowerOfTwo(nu[U(k)], -shift);
    }
    return nu;
}

// ---------------------------------------------------------------------------
// Proving and refining, all in scaled units.

// How far from a computed nu its proof reaches, in units of eps * s: the
// candidates err by a few units of B's condition times the largest, the
// counts by a few hundred units of s_k. Still far inside the 1e-12 s_k
// within which a value counts as right.
constexpr double Reach = 256.0;

bool Holds(const DefinitePencil& p, const EigenvalueClaim& c)
{
    bool held = false;
    CheckScaled(p, std::span(&c, 1), std::span(&held, 1));
    return held;
}

// Bisection for nu_k from a bracket around centre, widened until it holds
// nu_k, then halved down to a quarter unit of rounding of s_k: as far as the
// counts can tell. The claim returned reaches at least as far as a proved
// candidate's would, so that a mu within rounding of 0 is one.
std::pair<double, EigenvalueClaim> Bisect(const DefinitePencil& p, int k, double centre, int& passes)
{
    if (!std::isfinite(centre)) centre = 0.0;
    const double start = std::max(Reach * DBL_EPSILON * ScaleLowerBound(p, centre), DBL_MIN);
    double width = start;
    double lo = centre - width;
    double hi = centre + width;
    for (int i = 0; i < 2200 && (++passes, CountScaled(p, lo, false) >= k); ++i)
        lo = std::max(-DBL_MAX, centre - (width *= 2.0));
    width = start;
    for (int i = 0; i < 2200 && (++passes, CountScaled(p, hi, true) < k); ++i)
        hi = std::min(DBL_MAX, centre + (width *= 2.0));
    for (int i = 0; i < 4400; ++i) {
        if (hi - lo <= 0.25 * DBL_EPSILON * ScaleLowerBound(p, std::max(std::fabs(lo), std::fabs(hi)))) break;
        const double mid = 0.5 * lo + 0.5 * hi;  // no overflow, even across the whole range
        if (mid <= lo || mid >= hi) break;
        ++passes;
        (CountScaled(p, mid, true) >= k ? hi : lo) = mid;
    }
    const double mid = 0.5 * lo + 0.5 * hi;
    const double reach = Reach * DBL_EPSILON * ScaleLowerBound(p, mid);
    return {mid, {k, std::min(lo, mid - reach), std::max(hi, mid + reach)}};
}

ProvedEigenvalues Unscaled(const DefinitePencil& p, Lane nu, Lane lo, Lane hi)
{
    // Each claim is about the k-th eigenvalue, so nu_k >= nu_(k-1) >= lo_(k-1)
    // tightens it from below and nu_k <= hi_(k+1) from above. The values
    // themselves, refined one by one, are put in order.
    SortAscending(nu, p.n);
    for (int k = 1; k < p.n; ++k) lo[U(k)] = std::max(lo[U(k)], lo[U(k - 1)]);
    for (int k = p.n - 2; k >= 0; --k) hi[U(k)] = std::min(hi[U(k)], hi[U(k + 1)]);
    ProvedEigenvalues e;
    for (int k = 0; k < p.n; ++k) {
        e.scaledNu[U(k)] = nu[U(k)];
        e.nu[U(k)] = TimesPowerOfTwo(nu[U(k)], -p.shift) + 0.0;  // + 0.0: never "-0"
        e.lo[U(k)] = TimesPowerOfTwo(lo[U(k)], -p.shift);
        e.hi[U(k)] = TimesPowerOfTwo(hi[U(k)], -p.shift);
    }
    return e;
}

}  // namespace

namespace {

// Every entry of x times 2^-e, exactly where 2^-e is a normal double.
template <int n>
void ScaleBy(Square4& x, int e)
{
    if (e > -1022 && e < 1022) {
        const double f = TimesPowerOfTwo(1.0, -e);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) x[U(i)][U(j)] *= f;
    } else {
        Scale(x, n, e);
    }
}

template <int n>
PencilClass Classify(const Matrix10& K, const Matrix10& M)
{
    PencilClass result;
    Square4 k;
    Square4 m;
    double kBig = 0.0;
    double mBig = 0.0;
    double poison = 0.0;  // stays 0 unless some entry is infinite or NaN
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
            // The upper triangle as typed; the symmetrised store mirrors it below.
            const double kij = K[U(i + 1)][U(j + 1)];
            const double mij = M[U(i + 1)][U(j + 1)];
            k[U(i)][U(j)] = k[U(j)][U(i)] = kij;
            m[U(i)][U(j)] = m[U(j)][U(i)] = mij;
            poison += (kij - kij) + (mij - mij);
            kBig = std::max(kBig, std::fabs(kij));
            mBig = std::max(mBig, std::fabs(mij));
        }
    if (poison != 0.0) return result;  // NaN != 0.0 too
    const int ek = kBig > 0.0 ? BinaryExponent(kBig) : 0;
    const int em = mBig > 0.0 ? BinaryExponent(mBig) : 0;
    ScaleBy<n>(k, ek);
    ScaleBy<n>(m, em);
    kBig = TimesPowerOfTwo(kBig, -ek);  // the largest entries, scaled as they were
    mBig = TimesPowerOfTwo(mBig, -em);

    const struct {
        DefiniteMatrix which;
        const Square4* b;
        const Square4* a;
        double sign;
    } tries[] = {{DefiniteMatrix::M, &m, &k, 1.0},
                 {DefiniteMatrix::MinusM, &m, &k, -1.0},
                 {DefiniteMatrix::K, &k, &m, 1.0},
                 {DefiniteMatrix::MinusK, &k, &m, -1.0}};
    bool roundingLevel = false;
    for (const auto& t : tries) {
        const bool bIsM = t.b == &m;
        const Test test = DefinitenessOf<n>(*t.b, bIsM ? mBig : kBig, t.sign);
        if (test == Test::Safe) {
            DefinitePencil& p = result.pencil;
            p.n = n;
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    p.a[U(i)][U(j)] = t.sign * (*t.a)[U(i)][U(j)];
                    p.b[U(i)][U(j)] = t.sign * (*t.b)[U(i)][U(j)];
                }
            p.definite = t.which;
            p.shift = bIsM ? em - ek : ek - em;  // nu's scale: 2^(e_B - e_A)
            p.aBig = bIsM ? kBig : mBig;
            p.bBig = bIsM ? mBig : kBig;
            result.definiteness = Definiteness::Safe;
            return result;
        }
        roundingLevel = roundingLevel || test == Test::RoundingLevel;
    }
    result.definiteness = roundingLevel ? Definiteness::RoundingLevel : Definiteness::None;
    return result;
}

}  // namespace

PencilClass ClassifyPencil(const Matrix10& K, const Matrix10& M, int n)
{
    switch (n) {
    case 2: return Classify<2>(K, M);
    case 3: return Classify<3>(K, M);
    case 4: return Classify<4>(K, M);
    default: return {};
    }
}

int CountBelow(const DefinitePencil& p, double sigma, bool orEqual)
{
    return CountScaled(p, TimesPowerOfTwo(sigma, p.shift), orEqual);
}

double ScaledNu(const DefinitePencil& p, double nu) { return TimesPowerOfTwo(nu, p.shift); }

bool ScaledClaimsHold(const DefinitePencil& p, std::span<const EigenvalueClaim> claims, std::span<bool> held)
{
    CheckScaled(p, claims, held);
    return std::all_of(held.begin(), held.end(), [](bool h) { return h; });
}

bool ClaimsHold(const DefinitePencil& p, std::span<const EigenvalueClaim> claims)
{
    for (const EigenvalueClaim& c : claims)
        if (!Holds(p, ToScaled(p, c))) return false;
    return true;
}

namespace {

// Proves the candidates (scaled units, ascending) within their reach, for
// the indices not held yet; nu, lo and hi take those claims. Returns the
// passes of counts spent.
int ProveSome(const DefinitePencil& p, const Lane& candidates, Lane& nu, Lane& lo, Lane& hi, std::array<bool, 4>& held)
{
    std::array<EigenvalueClaim, 4> claims{};
    std::array<int, 4> index{};
    std::size_t count = 0;
    for (int k = 0; k < p.n; ++k) {
        if (held[U(k)]) continue;
        const double reach = Reach * DBL_EPSILON * ScaleLowerBound(p, candidates[U(k)]);
        claims[count] = {k + 1, candidates[U(k)] - reach, candidates[U(k)] + reach};
        index[count++] = k;
    }
    std::array<bool, 4> proved{};
    CheckScaled(p, std::span(claims.data(), count), std::span(proved.data(), count));
    for (std::size_t c = 0; c < count; ++c) {
        const std::size_t k = U(index[c]);
        nu[k] = candidates[k];
        lo[k] = claims[c].lo;
        hi[k] = claims[c].hi;
        held[k] = proved[c];
    }
    return static_cast<int>(count + 1) / 2;  // two claims a pass
}

// Proves each candidate within its reach; where one fails and reducedToo
// says so, the candidate of dsygv's route for that index is tried; one that
// still fails, or all where there are no candidates, is found by bisection
// on the count for its own index. (Rayleigh quotient iteration from a poor
// candidate can settle on a neighbour, whose wider conditioning then lets a
// claim hold that says too little of this eigenvalue.)
ProvedEigenvalues Prove(const DefinitePencil& p, const std::optional<Lane>& candidates, bool reducedToo)
{
    const int n = p.n;
    Lane nu{};
    Lane lo{};
    Lane hi{};
    std::array<bool, 4> held{};
    int passes = 0;
    if (candidates) {
        passes += ProveSome(p, *candidates, nu, lo, hi, held);
        if (reducedToo && !std::all_of(held.begin(), held.begin() + n, [](bool h) { return h; }))
            if (const std::optional<Lane> second = Candidates(p, true))
                passes += ProveSome(p, *second, nu, lo, hi, held);
    }
    for (int k = 0; k < n; ++k) {
        if (held[U(k)]) continue;
        const auto [value, claim] = Bisect(p, k + 1, candidates ? nu[U(k)] : 0.0, passes);
        nu[U(k)] = value;
        lo[U(k)] = claim.lo;
        hi[U(k)] = claim.hi;
    }
    ProvedEigenvalues e = Unscaled(p, nu, lo, hi);
    e.passes = passes;
    return e;
}

}  // namespace

// The characteristic polynomial's candidates for n = 2 and 3 are backed by
// dsygv's route where they fail.
ProvedEigenvalues PencilEigenvalues(const DefinitePencil& p) { return Prove(p, Candidates(p), p.n <= 3); }

std::optional<Route> RouteEigenpairs(const DefinitePencil& p)
{
    Route route;
    int shift = 0;
    const bool done = p.n == 2   ? ReducedEigenpairs<2>(p, route.nu, shift, &route)
                      : p.n == 3 ? ReducedEigenpairs<3>(p, route.nu, shift, &route)
                                 : ReducedEigenpairs<4>(p, route.nu, shift, &route);
    if (!done) return std::nullopt;
    for (int k = 0; k < p.n; ++k) {  // from C's units to the pencil's scaled ones
        if (!std::isfinite(route.nu[U(k)])) return std::nullopt;
        route.nu[U(k)] = TimesPowerOfTwo(route.nu[U(k)], -shift);
    }
    return route;
}

ProvedEigenvalues ProveCandidates(const DefinitePencil& p, const std::array<double, 4>& candidates)
{
    Lane scaled{};
    for (int k = 0; k < p.n; ++k) scaled[U(k)] = TimesPowerOfTwo(candidates[U(k)], p.shift);
    SortAscending(scaled, p.n);
    return Prove(p, scaled, false);
}

ProvedEigenvalues BisectedEigenvalues(const DefinitePencil& p)
{
    Lane nu{};
    Lane lo{};
    Lane hi{};
    int passes = 0;
    for (int k = 0; k < p.n; ++k) {
        const auto [value, claim] = Bisect(p, k + 1, 0.0, passes);
        nu[U(k)] = value;
        lo[U(k)] = claim.lo;
        hi[U(k)] = claim.hi;
    }
    ProvedEigenvalues e = Unscaled(p, nu, lo, hi);
    e.passes = passes;
    return e;
}

std::array<double, 4> LambdaOf(const DefinitePencil& p, const ProvedEigenvalues& e)
{
    std::array<double, 4> lambda = LambdaAt(p, e);
    SortAscending(lambda, p.n);
    return lambda;
}

std::array<double, 4> LambdaAt(const DefinitePencil& p, const ProvedEigenvalues& e)
{
    std::array<double, 4> lambda{};
    // A proved interval that holds 0 holds an eigenvalue within its rounding
    // of 0. Inverted, that is an infinite lambda. Otherwise lambda is shown
    // as computed, unless scaling it back blows a speck of rounding up beyond
    // the double range: then it is the 0 it stands for.
    for (int k = 0; k < p.n; ++k) {
        const std::size_t i = U(k);
        const bool zero = e.lo[i] <= 0.0 && e.hi[i] >= 0.0;
        if (!p.Inverted())
            lambda[i] = zero && !std::isfinite(e.nu[i]) ? 0.0 : e.nu[i];
        else
            lambda[i] = zero ? HUGE_VAL : TimesPowerOfTwo(1.0 / e.scaledNu[i], p.shift) + 0.0;
    }
    return lambda;
}

}  // namespace varno
