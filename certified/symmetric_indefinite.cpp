#include "certified/symmetric_indefinite.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <utility>

namespace varno {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

// Exchanges rows and columns r and s (both at or after step k) of the working
// matrix, and the rows of the columns of L already computed.
void Exchange(Square4& w, SymmetricFactor& f, int k, int r, int s)
{
    const int n = f.n;
    std::swap(w[U(r)], w[U(s)]);
    for (int i = 0; i < n; ++i) std::swap(w[U(i)][U(r)], w[U(i)][U(s)]);
    for (int p = 0; p < k; ++p) std::swap(f.l[U(r)][U(p)], f.l[U(s)][U(p)]);
    std::swap(f.perm[U(r)], f.perm[U(s)]);
}

}  // namespace

SymmetricFactor FactorBunchKaufman(const Square4& s, int n)
{
    // The growth bound 2.57^(n-1) comes with this choice of alpha.
    static const double alpha = (1.0 + std::sqrt(17.0)) / 8.0;
    SymmetricFactor f;
    f.n = n;
    Square4 w{};
    for (int i = 0; i < n; ++i) {
        f.perm[U(i)] = i;
        for (int j = 0; j <= i; ++j) {
            w[U(i)][U(j)] = w[U(j)][U(i)] = s[U(i)][U(j)];
            f.scale = std::max(f.scale, std::fabs(s[U(i)][U(j)]));
        }
    }
    for (int k = 0; k < n;) {
        int size = 1;
        int pivot = k;
        if (k + 1 < n) {
            const double absakk = std::fabs(w[U(k)][U(k)]);
            int imax = k + 1;
            double colmax = std::fabs(w[U(k + 1)][U(k)]);
            for (int i = k + 2; i < n; ++i)
                if (std::fabs(w[U(i)][U(k)]) > colmax) colmax = std::fabs(w[U(i)][U(k)]), imax = i;
            if (std::max(absakk, colmax) == 0.0) {  // nothing left to eliminate in this column
                f.d[U(k)] = 0.0;
                ++f.zero;
                ++k;
                continue;
            }
            if (absakk < alpha * colmax) {
                double rowmax = 0.0;
                for (int j = k; j < n; ++j)
                    if (j != imax) rowmax = std::max(rowmax, std::fabs(w[U(imax)][U(j)]));
                if (absakk * rowmax >= alpha * colmax * colmax) {
                    pivot = k;
                } else if (std::fabs(w[U(imax)][U(imax)]) >= alpha * rowmax) {
                    pivot = imax;
                } else {
                    pivot = imax;
                    size = 2;
                }
            }
        }
        const int moved = k + size - 1;
        if (pivot != moved) Exchange(w, f, k, moved, pivot);

        if (size == 1) {
            const double dk = w[U(k)][U(k)];
            f.d[U(k)] = dk;
            if (dk < 0.0) ++f.negative;
            if (dk == 0.0) {  // only the last pivot can be zero with a non-zero column
                ++f.zero;
            } else {
                for (int i = k + 1; i < n; ++i) f.l[U(i)][U(k)] = w[U(i)][U(k)] / dk;
                for (int i = k + 1; i < n; ++i)
                    for (int j = k + 1; j <= i; ++j)
                        w[U(j)][U(i)] = w[U(i)][U(j)] -= f.l[U(i)][U(k)] * w[U(j)][U(k)];
            }
        } else {
            // [a b; b c] with |a c| < 0.41 b^2. Scaled by b, as dsytf2 does, so
            // that b^2 can neither overflow nor underflow.
            const double a = w[U(k)][U(k)];
            const double b = w[U(k + 1)][U(k)];
            const double c = w[U(k + 1)][U(k + 1)];
            f.d[U(k)] = a;
            f.d[U(k + 1)] = c;
            f.offDiagonal[U(k)] = b;
            f.blockStart[U(k)] = true;
            ++f.negative;
            const double a1 = a / b;
            const double c1 = c / b;
            const double det1 = b * (a1 * c1 - 1.0);  // det / b
            for (int i = k + 2; i < n; ++i) {
                const double x = w[U(i)][U(k)];
                const double y = w[U(i)][U(k + 1)];
                f.l[U(i)][U(k)] = (c1 * x - y) / det1;
                f.l[U(i)][U(k + 1)] = (a1 * y - x) / det1;
            }
            for (int i = k + 2; i < n; ++i)
                for (int j = k + 2; j <= i; ++j)
                    w[U(j)][U(i)] = w[U(i)][U(j)] -=
                        f.l[U(i)][U(k)] * w[U(j)][U(k)] + f.l[U(i)][U(k + 1)] * w[U(j)][U(k + 1)];
        }
        k += size;
    }
    return f;
}

void SolveFactored(const SymmetricFactor& f, Vector4& x)
{
    const int n = f.n;
    Vector4 y{};
    for (int i = 0; i < n; ++i) y[U(i)] = x[U(f.perm[U(i)])];
    for (int i = 0; i < n; ++i)
        for (int p = 0; p < i; ++p) y[U(i)] -= f.l[U(i)][U(p)] * y[U(p)];
    const double floor = f.scale > 0.0 ? DBL_EPSILON * DBL_EPSILON * f.scale : DBL_MIN;
    for (int k = 0; k < n;) {
        if (f.blockStart[U(k)]) {
            const double b = f.offDiagonal[U(k)];
            const double a1 = f.d[U(k)] / b;
            const double c1 = f.d[U(k + 1)] / b;
            const double det1 = b * (a1 * c1 - 1.0);
            const double u = y[U(k)];
            const double v = y[U(k + 1)];
            y[U(k)] = (c1 * u - v) / det1;
            y[U(k + 1)] = (a1 * v - u) / det1;
            k += 2;
        } else {
            const double dk = f.d[U(k)] != 0.0 ? f.d[U(k)] : floor;
            y[U(k)] /= dk;
            ++k;
        }
    }
    for (int i = n - 1; i >= 0; --i)
        for (int p = i + 1; p < n; ++p) y[U(i)] -= f.l[U(p)][U(i)] * y[U(p)];
    for (int i = 0; i < n; ++i) x[U(f.perm[U(i)])] = y[U(i)];
}

}  // namespace varno
