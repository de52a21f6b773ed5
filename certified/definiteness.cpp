#include "certified/definiteness.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>

#include "certified/scaling.h"

namespace varno {
namespace {

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

// The exponents of D = diag(2^e_i) that balance the pair: every row of
// |D K D| / max|K| + |D M D| / max|M| with its largest entry near 1. Formed
// in long double, whose range holds every ratio of doubles, from the entries
// as typed. Each sweep halves every row's distance from 1 in binary orders.
template <int n>
std::array<int, MaxOrder> Balancing(const Square4& k, const Square4& m)
{
    long double kBig = 0.0L, mBig = 0.0L;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            kBig = std::max(kBig, std::fabs(static_cast<long double>(k[U(i)][U(j)])));
            mBig = std::max(mBig, std::fabs(static_cast<long double>(m[U(i)][U(j)])));
        }
    std::array<int, MaxOrder> e{};
    if (!(kBig > 0.0L) || !(mBig > 0.0L)) return e;
    for (int sweep = 0; sweep < 16; ++sweep) {
        bool changed = false;
        for (int i = 0; i < n; ++i) {
            long double row = 0.0L;
            for (int j = 0; j < n; ++j) {
                const long double d = std::ldexp(1.0L, e[U(i)] + e[U(j)]);
                row = std::max({row, std::fabs(static_cast<long double>(k[U(i)][U(j)])) * d / kBig,
                                std::fabs(static_cast<long double>(m[U(i)][U(j)])) * d / mBig});
            }
            if (row == 0.0L) continue;
            const int s = -std::ilogb(row) / 2;
            if (s == 0) continue;
            e[U(i)] += s;
            changed = true;
        }
        if (!changed) break;
    }
    return e;
}

// The exponents of D = diag(2^e_i) that bring x's diagonal near 1 (D x D
// has diagonal entries in [1/2, 4)); none where the diagonal has a zero.
template <int n>
bool OwnDiagonal(const Square4& x, std::array<int, MaxOrder>& e)
{
    e = {};
    for (int i = 0; i < n; ++i) {
        const double v = std::fabs(x[U(i)][U(i)]);
        if (!(v > 0.0)) return false;
        e[U(i)] = -BinaryExponent(v) / 2;
    }
    return true;
}

// The largest binary exponent of the entries of x 2^(e_i + e_j), and x
// scaled so that its largest entry lies in [1, 2), computed without forming
// x 2^(e_i + e_j): that may lie beyond the double range where its scaled form
// does not. INT_MIN for a zero x.
template <int n>
int ScaledExponent(const Square4& x, const std::array<int, MaxOrder>& e)
{
    int big = INT_MIN;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            if (x[U(i)][U(j)] != 0.0) big = std::max(big, BinaryExponent(std::fabs(x[U(i)][U(j)])) + e[U(i)] + e[U(j)]);
    return big;
}

// The pencil's unit floor (DefinitePencil::unitFloor): the smallest ratio
// max|A| / (n max|B|) of the units it is formed in, the units typed, and
// those of either matrix's own diagonal, from the entries as typed (a, b:
// the roles of A and B, whose signs do not matter here). Each other units'
// ratio is taken from binary exponents alone, 2^(e_A - e_B - 1) / n, which
// is at most 4 times below the true one: a lower bound still, and used
// only where it is below the formed units' own by 2^10, where the units
// decide (a tiny mass); elsewhere every count and claim stays as it was.
template <int n>
void SetUnitFloor(DefinitePencil& p, const Square4& a, const Square4& b)
{
    const double own = p.aBig / (n * p.bBig);
    int floor = INT_MAX;
    const auto consider = [&](const std::array<int, MaxOrder>& e) {
        if (std::equal(e.begin(), e.begin() + n, p.congruence.begin())) return;  // the formed units: own
        const int ea = ScaledExponent<n>(a, e), eb = ScaledExponent<n>(b, e);
        if (ea == INT_MIN || eb == INT_MIN) return;
        floor = std::min(floor, ea - eb - 1);
    };
    // Formed as typed, other units can pass that test only where a
    // diagonal's binary exponents span more than 6: 2^(e_i + e_j) then
    // differs between entries by at most 2^8, and the exponents lose 2^2.
    const bool typed = std::all_of(p.congruence.begin(), p.congruence.begin() + n, [](int x) { return x == 0; });
    const auto graded = [&](const Square4& x) {
        if (!typed) return true;
        int lo = INT_MAX, hi = INT_MIN;
        for (int i = 0; i < n; ++i) {
            const double v = std::fabs(x[U(i)][U(i)]);
            if (!(v > 0.0)) return false;  // no units of its own diagonal
            lo = std::min(lo, BinaryExponent(v));
            hi = std::max(hi, BinaryExponent(v));
        }
        return hi - lo > 6;
    };
    std::array<int, MaxOrder> e{};
    consider(e);
    if (graded(a) && OwnDiagonal<n>(a, e)) consider(e);
    if (graded(b) && OwnDiagonal<n>(b, e)) consider(e);
    if (floor == INT_MAX) {
        p.unitFloor = own;
        return;
    }
    const double scaled = std::ldexp(1.0 / n, std::clamp(floor + p.shift, -1100, 1100));
    p.unitFloor = scaled < 0x1p-10 * own ? scaled : own;
}

// The definiteness of sign b congruence-scaled: S b S with S = diag(2^e_i).
// Counts and the eigenvalues are invariant under a congruence, and
// definiteness should not depend on the units of each degree of freedom (a
// rotation beside metres, grams beside tonnes). Two scalings are tried:
// b's own diagonal, which no choice of units changes; and the pair's
// balancing, which scales both matrices alike, so that a degree of freedom
// that only one of them makes small (a mass at rounding level beside a
// stiffness that is not) keeps its place. Where it is safe, the pencil is
// formed from S a S and S b S, each brought to a largest entry in [1, 2)
// from the entries as typed, so that neither leaves the double range on the
// way.
template <int n>
Test CongruenceScaled(const Square4& a, const Square4& b, double sign, const std::array<int, MaxOrder>& e,
                      DefiniteMatrix which, DefinitePencil& p)
{
    if (std::all_of(e.begin(), e.begin() + n, [&](int x) { return x == e[0]; })) return Test::No;  // tried as typed
    const int eb = ScaledExponent<n>(b, e);
    if (eb == INT_MIN) return Test::No;
    const int ea = ScaledExponent<n>(a, e);
    Square4 sb{};
    Square4 sa{};
    double aBig = 0.0;
    double bBig = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const int power = e[U(i)] + e[U(j)];
            sb[U(i)][U(j)] = sign * TimesPowerOfTwo(b[U(i)][U(j)], power - eb);
            sa[U(i)][U(j)] = ea == INT_MIN ? 0.0 : sign * TimesPowerOfTwo(a[U(i)][U(j)], power - ea);
            aBig = std::max(aBig, std::fabs(sa[U(i)][U(j)]));
            bBig = std::max(bBig, std::fabs(sb[U(i)][U(j)]));
        }
    const Test test = DefinitenessOf<n>(sb, bBig, 1.0);
    if (test != Test::Safe) return test;
    p = {};
    p.n = n;
    p.a = sa;
    p.b = sb;
    p.definite = which;
    p.shift = eb - (ea == INT_MIN ? 0 : ea);
    p.aBig = aBig;
    p.bBig = bBig;
    p.congruence = e;
    return Test::Safe;
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
    const Square4 kTyped = k;
    const Square4 mTyped = m;
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
    const auto found = [&](bool bIsM) {
        SetUnitFloor<n>(result.pencil, bIsM ? kTyped : mTyped, bIsM ? mTyped : kTyped);
        result.definiteness = Definiteness::Safe;
    };
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
            found(bIsM);
            return result;
        }
        roundingLevel = roundingLevel || test == Test::RoundingLevel;
    }
    // None is safely definite as typed; in the units of its own diagonal,
    // where every entry of it has the sign a definite one needs, one may be.
    // (As typed first: where one is definite there, its path and its bits
    // stay as they were.)
    for (const auto& t : tries) {
        const bool bIsM = t.b == &m;
        const Square4& typed = bIsM ? mTyped : kTyped;
        bool signed_ = true;
        for (int i = 0; i < n; ++i) signed_ = signed_ && t.sign * typed[U(i)][U(i)] > 0.0;
        std::array<int, MaxOrder> e{};
        if (!signed_ || !OwnDiagonal<n>(typed, e)) continue;
        const Test own = CongruenceScaled<n>(bIsM ? kTyped : mTyped, typed, t.sign, e, t.which, result.pencil);
        if (own == Test::Safe) {
            found(bIsM);
            return result;
        }
        roundingLevel = roundingLevel || own == Test::RoundingLevel;
    }
    // None is definite beyond rounding in those units; in the units that
    // balance the pair, one may be.
    const std::array<int, MaxOrder> e = Balancing<n>(kTyped, mTyped);
    for (const auto& t : tries) {
        const bool bIsM = t.b == &m;
        const Test scaled =
            CongruenceScaled<n>(bIsM ? kTyped : mTyped, bIsM ? mTyped : kTyped, t.sign, e, t.which, result.pencil);
        if (scaled == Test::Safe) {
            found(bIsM);
            return result;
        }
        roundingLevel = roundingLevel || scaled == Test::RoundingLevel;
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
    case 5: return Classify<5>(K, M);
    case 6: return Classify<6>(K, M);
    default: return {};
    }
}

double ScaledNu(const DefinitePencil& p, double nu) { return TimesPowerOfTwo(nu, p.shift); }

}  // namespace varno
