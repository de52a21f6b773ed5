#include "certified/ritz_within_group.h"

#include <cmath>
#include <cstddef>
#include <utility>

#include "certified/mode_bounds.h"
#include "certified/scaling.h"

namespace varno {

void RitzWithinGroup(const DefinitePencil& p, const ProvedEigenvalues& proved, int first, int end,
                     std::array<Vector4, MaxOrder>& vectors, std::array<double, MaxOrder>& values)
{
    const int m = end - first;
    const int n = p.n;
    if (m < 2) return;
    for (int k = first; k + 1 < end; ++k)
        if (!(proved.scaledHi[U(k)] < proved.scaledLo[U(k + 1)])) return;  // a repeated eigenvalue: any basis
    using LongSquare = std::array<std::array<Long, MaxOrder>, MaxOrder>;
    LongSquare h{}, g{};
    for (int a = 0; a < m; ++a)
        for (int b = 0; b < m; ++b) {
            const Vector4& u = vectors[U(first + a)];
            const Vector4& v = vectors[U(first + b)];
            Long ha = 0.0L, gb = 0.0L;
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    const Long uv = static_cast<Long>(u[U(i)]) * static_cast<Long>(v[U(j)]);
                    ha += uv * static_cast<Long>(p.a[U(i)][U(j)]);
                    gb += uv * static_cast<Long>(p.b[U(i)][U(j)]);
                }
            h[U(a)][U(b)] = ha;
            g[U(a)][U(b)] = gb;
        }
    // G = L L^T, C = L^-1 H L^-T.
    LongSquare l{};
    for (int j = 0; j < m; ++j) {
        Long d = g[U(j)][U(j)];
        for (int k = 0; k < j; ++k) d -= l[U(j)][U(k)] * l[U(j)][U(k)];
        if (!(d > 0.0L)) return;
        l[U(j)][U(j)] = std::sqrt(d);
        for (int i = j + 1; i < m; ++i) {
            Long t = g[U(i)][U(j)];
            for (int k = 0; k < j; ++k) t -= l[U(i)][U(k)] * l[U(j)][U(k)];
            l[U(i)][U(j)] = t / l[U(j)][U(j)];
        }
    }
    LongSquare w{};  // L^-1 H, column by column
    for (int c = 0; c < m; ++c)
        for (int i = 0; i < m; ++i) {
            Long t = h[U(i)][U(c)];
            for (int k = 0; k < i; ++k) t -= l[U(i)][U(k)] * w[U(k)][U(c)];
            w[U(i)][U(c)] = t / l[U(i)][U(i)];
        }
    LongSquare c{};  // (L^-1 (L^-1 H)^T)^T
    for (int r = 0; r < m; ++r)
        for (int i = 0; i < m; ++i) {
            Long t = w[U(r)][U(i)];
            for (int k = 0; k < i; ++k) t -= l[U(i)][U(k)] * c[U(r)][U(k)];
            c[U(r)][U(i)] = t / l[U(i)][U(i)];
        }
    // Cyclic Jacobi on the symmetric C; z gathers the rotations.
    LongSquare z{};
    for (int i = 0; i < m; ++i) z[U(i)][U(i)] = 1.0L;
    for (int sweep = 0; sweep < 32; ++sweep) {
        Long off = 0.0L, size = 0.0L;
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < m; ++j) (i == j ? size : off) += c[U(i)][U(j)] * c[U(i)][U(j)];
        if (!(off > 1e-40L * size)) break;
        for (int i = 0; i < m; ++i)
            for (int j = i + 1; j < m; ++j) {
                if (c[U(i)][U(j)] == 0.0L) continue;
                const Long tau = (c[U(j)][U(j)] - c[U(i)][U(i)]) / (2.0L * c[U(i)][U(j)]);
                const Long t = std::copysign(1.0L, tau) / (std::fabs(tau) + std::sqrt(1.0L + tau * tau));
                const Long cs = 1.0L / std::sqrt(1.0L + t * t), sn = t * cs;
                for (int k = 0; k < m; ++k) {
                    const Long a = c[U(k)][U(i)], b = c[U(k)][U(j)];
                    c[U(k)][U(i)] = cs * a - sn * b;
                    c[U(k)][U(j)] = sn * a + cs * b;
                }
                for (int k = 0; k < m; ++k) {
                    const Long a = c[U(i)][U(k)], b = c[U(j)][U(k)];
                    c[U(i)][U(k)] = cs * a - sn * b;
                    c[U(j)][U(k)] = sn * a + cs * b;
                }
                for (int k = 0; k < m; ++k) {
                    const Long a = z[U(k)][U(i)], b = z[U(k)][U(j)];
                    z[U(k)][U(i)] = cs * a - sn * b;
                    z[U(k)][U(j)] = sn * a + cs * b;
                }
            }
    }
    std::array<int, MaxOrder> order{0, 1, 2, 3, 4, 5};
    for (int a = 1; a < m; ++a)
        for (int b = a; b > 0 && c[U(order[U(b)])][U(order[U(b)])] < c[U(order[U(b - 1)])][U(order[U(b - 1)])]; --b)
            std::swap(order[U(b)], order[U(b - 1)]);
    std::array<Vector4, MaxOrder> x{};
    std::array<double, MaxOrder> theta{};
    for (int a = 0; a < m; ++a) {
        const int col = order[U(a)];
        theta[U(a)] = static_cast<double>(c[U(col)][U(col)]);
        const int k = first + a;
        if (!(theta[U(a)] >= proved.scaledLo[U(k)] && theta[U(a)] <= proved.scaledHi[U(k)])) return;
        std::array<Long, MaxOrder> y{};  // L^-T z
        for (int i = m - 1; i >= 0; --i) {
            Long t = z[U(i)][U(col)];
            for (int q = i + 1; q < m; ++q) t -= l[U(q)][U(i)] * y[U(q)];
            y[U(i)] = t / l[U(i)][U(i)];
        }
        for (int i = 0; i < n; ++i) {
            Long v = 0.0L;
            for (int b = 0; b < m; ++b) v += y[U(b)] * static_cast<Long>(vectors[U(first + b)][U(i)]);
            x[U(a)][U(i)] = static_cast<double>(v);
        }
    }
    for (int a = 0; a < m; ++a) {
        vectors[U(first + a)] = x[U(a)];
        values[U(first + a)] = theta[U(a)];
    }
}

}  // namespace varno
