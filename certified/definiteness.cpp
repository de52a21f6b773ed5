#include "certified/definiteness.h"

#include <algorithm>
#include <cfloat>
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

double ScaledNu(const DefinitePencil& p, double nu) { return TimesPowerOfTwo(nu, p.shift); }

}  // namespace varno
