#include "certified/candidates.h"

#include <algorithm>
#include <cmath>

#include "certified/reduction.h"

namespace varno {
namespace {

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

}  // namespace

std::optional<Lane> Candidates(const DefinitePencil& p, bool reduced)
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
    } else if (!(p.n == 4   ? ReducedEigenpairs<4>(p, nu, shift, nullptr)
                 : p.n == 5 ? ReducedEigenpairs<5>(p, nu, shift, nullptr)
                            : ReducedEigenpairs<6>(p, nu, shift, nullptr))) {
        return std::nullopt;
    }
    for (int k = 0; k < p.n; ++k) {
        if (!std::isfinite(nu[U(k)])) return std::nullopt;
        nu[U(k)] = TimesPowerOfTwo(nu[U(k)], -shift);
    }
    return nu;
}

}  // namespace varno
