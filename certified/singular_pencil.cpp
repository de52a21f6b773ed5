#include "certified/singular_pencil.h"

#include <cstddef>
#include <cstdint>

namespace varno {

// Whether det(K - lambda M) is zero for every lambda exactly, for the doubles
// as typed: a pencil within rounding of a singular one may be regular, and
// then its well-conditioned eigenvalues are as determined as any. Each entry
// times 2^1074 is an integer; det(K - lambda M) for lambda = 0 ... n, a
// polynomial of degree n, vanishes everywhere exactly where it vanishes at
// those n + 1 points. Taken modulo three primes near 2^62: a determinant that
// is not zero is found so for certain, and one that is zero is taken for zero
// unless all three primes divide it at all n + 1 points.
bool ExactlySingular(const Matrix10& K, const Matrix10& M, int n)
{
    using Wide = unsigned __int128;
    for (const std::uint64_t prime : {4611686018427387847ULL, 4611686018427387817ULL, 4611686018427387787ULL}) {
        const auto times = [prime](std::uint64_t a, std::uint64_t b) {
            return static_cast<std::uint64_t>(static_cast<Wide>(a) * b % prime);
        };
        const auto power = [&](std::uint64_t base, std::uint64_t exponent) {
            std::uint64_t result = 1;
            for (; exponent > 0; exponent >>= 1, base = times(base, base))
                if (exponent & 1) result = times(result, base);
            return result;
        };
        // x 2^1074 modulo the prime.
        const auto residue = [&](double x) -> std::uint64_t {
            if (x == 0.0) return 0;
            int e = 0;
            const double f = std::frexp(std::fabs(x), &e);  // |x| = f 2^e, f in [0.5, 1)
            const auto mantissa = static_cast<std::uint64_t>(std::ldexp(f, 53));
            const std::uint64_t r = times(mantissa % prime, power(2, static_cast<std::uint64_t>(e - 53 + 1074)));
            return x < 0.0 || r == 0 ? (prime - r) % prime : r;
        };
        for (int lambda = 0; lambda <= n; ++lambda) {
            std::array<std::array<std::uint64_t, 10>, 10> a{};
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    const std::size_t r = static_cast<std::size_t>(std::min(i, j) + 1), c = static_cast<std::size_t>(std::max(i, j) + 1);
                    const std::uint64_t k = residue(K[r][c]);
                    const std::uint64_t m = times(residue(M[r][c]), static_cast<std::uint64_t>(lambda));
                    a[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = (k + prime - m) % prime;
                }
            bool zero = false;
            for (std::size_t c = 0; c < static_cast<std::size_t>(n) && !zero; ++c) {
                std::size_t pivot = c;
                while (pivot < static_cast<std::size_t>(n) && a[pivot][c] == 0) ++pivot;
                if (pivot == static_cast<std::size_t>(n)) {
                    zero = true;
                    break;
                }
                std::swap(a[c], a[pivot]);
                const std::uint64_t inverse = power(a[c][c], prime - 2);
                for (std::size_t r = c + 1; r < static_cast<std::size_t>(n); ++r) {
                    const std::uint64_t f = times(a[r][c], inverse);
                    for (std::size_t j = c; j < static_cast<std::size_t>(n); ++j)
                        a[r][j] = (a[r][j] + prime - times(f, a[c][j])) % prime;
                }
            }
            if (!zero) return false;
        }
    }
    return true;
}

}  // namespace varno
