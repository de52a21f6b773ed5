// Arithmetic conventions shared by every solver.
//
// Results are reproducible bit for bit only if every intermediate is rounded
// to a 64-bit double in the order the formulas are written. The build passes
// -ffp-contract=off (no fused multiply-add) and never -ffast-math; this header
// refuses to compile where the compiler would keep extended intermediates.
#pragma once

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>

#if !defined(FLT_EVAL_METHOD) || FLT_EVAL_METHOD != 0
#error "varno needs every double intermediate rounded to 64 bits (FLT_EVAL_METHOD == 0)"
#endif
#if defined(__FAST_MATH__)
#error "varno must not be built with -ffast-math: its results are defined bit for bit"
#endif

namespace varno {

// The correctly rounded square, i.e. what pow(x, 2.0) means. Spelled out so
// that an unoptimised build (which would call the C library's pow) gives the
// same bits as an optimised one (which folds pow(x, 2.0) into x * x).
inline double Square(double x) { return x * x; }

// x * 2^e with a single rounding, as std::ldexp: one multiplication by a
// power of two built from its bits where 2^e is a normal double, the
// library otherwise (rare).
inline double TimesPowerOfTwo(double x, int e)
{
    if (e >= -1022 && e <= 1023) return x * std::bit_cast<double>(static_cast<std::uint64_t>(e + 1023) << 52);
    return std::ldexp(x, e);
}

}  // namespace varno
