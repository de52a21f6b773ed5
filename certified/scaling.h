// Small helpers every file of the certified numerics shares: exact scaling by
// powers of two, which keeps entries anywhere in the double range from
// overflowing or underflowing without changing a single bit of what they
// stand for, and a hypot that QL's rotations can trust at both ends of the
// range.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "certified/symmetric_indefinite.h"
#include "core/arithmetic.h"

namespace varno {

// Values of one kind side by side, one a degree of freedom: eigenvalues, a
// vector, a diagonal; or the shifts of one pass of four counts.
using Lane = std::array<double, MaxOrder>;

inline std::size_t U(int i) { return static_cast<std::size_t>(i); }

// floor(log2(x)) for a finite x > 0.
inline int BinaryExponent(double x)
{
    const auto biased = static_cast<int>((std::bit_cast<std::uint64_t>(x) >> 52) & 0x7ff);
    return biased != 0 ? biased - 1023 : std::ilogb(x);  // a subnormal: rare enough for the call
}

// Scales every entry of the leading n x n block by 2^-e.
inline void Scale(Square4& x, int n, int e)
{
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) x[U(i)][U(j)] = TimesPowerOfTwo(x[U(i)][U(j)], -e);
}

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

// Insertion sort of the first n: std::sort on four elements draws a false
// array-bounds warning from GCC 12, and is overkill.
inline void SortAscending(Lane& x, int n)
{
    for (int i = 1; i < n; ++i)
        for (int j = i; j > 0 && x[U(j - 1)] > x[U(j)]; --j) std::swap(x[U(j - 1)], x[U(j)]);
}

// sqrt(x^2 + y^2) without overflow or a harmful underflow: QL's rotations
// must stay orthogonal even when both sides are tiny.
inline double Hypot(double x, double y)
{
    x = std::fabs(x);
    y = std::fabs(y);
    const double big = std::max(x, y);
    const double small = std::min(x, y);
    if (small == 0.0) return big;
    const double q = small / big;
    return big * std::sqrt(1.0 + q * q);
}

}  // namespace varno
