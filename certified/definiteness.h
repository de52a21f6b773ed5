// Which of M, -M, K, -K is positive definite, and the pencil in the form the
// counts take: A x = nu B x with B positive definite.
//
// One of them must be safely positive definite: its LDL^T factorisation with
// the diagonal lowered by 16 eps times its largest entry has positive pivots
// (normal ones, since the matrix is scaled to a largest entry near 1 first),
// as typed, or once congruence-scaled by its own diagonal, which no choice of
// units changes (a diagonal M with positive entries is definite whatever
// their spread), or once the pair is balanced together. They are tried in
// that order and the first decides:
//   M or -M:  A = K, B = M (or -K, -M); nu = lambda;
//   K or -K:  A = M, B = K (or -M, -K); nu = mu = 1 / lambda, as in buckling,
//             where the geometric stiffness M has mixed signs or is
//             singular. A mu that is zero to within its rounding is an
//             infinite lambda.
// Both matrices are scaled by powers of two first, so that entries anywhere
// in the double range neither overflow nor underflow.
#pragma once

#include <array>
#include <cmath>

#include "certified/symmetric_indefinite.h"
#include "core/matrix_store.h"

namespace varno {

// What can be said of a pencil before anything is counted.
enum class Definiteness {
    Safe,           // one of M, -M, K, -K is safely positive definite
    RoundingLevel,  // none is, but one is positive definite or semidefinite to within rounding,
                    // or definite but beyond the double range once scaled
    None,           // neither, or an entry is infinite or NaN
};

// Which matrix is the definite one, B.
enum class DefiniteMatrix { M, MinusM, K, MinusK };

// A x = nu B x with B positive definite, both scaled by powers of two so that
// their largest entries lie in [1, 2). nu in these units is nu * 2^shift.
struct DefinitePencil {
    int n = 0;
    // Full symmetric, their leading n x n blocks set: the rest is never read,
    // and left unset, which small n would otherwise pay for on every pencil.
    Square4 a;
    Square4 b;
    DefiniteMatrix definite = DefiniteMatrix::M;
    int shift = 0;
    double aBig = 0.0;  // largest magnitudes of the scaled entries
    double bBig = 0.0;
    // The smallest max|A| / (n max|B|), in scaled units, of the pencil as
    // typed, as formed here, and congruence-scaled by the diagonal of either
    // matrix (where it has no zero): each is a lower bound of every s_k in
    // its units, and a diagonal congruence changes no eigenvalue, so the
    // accuracy asked of each must not loosen with the units a degree of
    // freedom was typed in.
    double unitFloor = 0.0;
    // Where B is definite only once each degree of freedom is brought to its
    // own units, a and b are S A S and S B S scaled, S = diag(2^congruence):
    // the same eigenvalues, and an eigenvector x of a and b is S x of the
    // pencil as typed. All 0 otherwise.
    std::array<int, MaxOrder> congruence{};

    // nu = 1 / lambda: the definite matrix is K or -K.
    bool Inverted() const { return definite == DefiniteMatrix::K || definite == DefiniteMatrix::MinusK; }
};

struct PencilClass {
    Definiteness definiteness = Definiteness::None;
    DefinitePencil pencil;  // set when definiteness is Safe
};

// Reads the upper triangles of the leading n x n blocks of the store's K and
// M, which stand for symmetric matrices.
PencilClass ClassifyPencil(const Matrix10& K, const Matrix10& M, int n);

// nu in the pencil's scaled units (nu * 2^shift), where values far beyond the
// double range of nu still have room.
double ScaledNu(const DefinitePencil& p, double nu);

// A lower bound, in scaled units, of s_k = (|A| + |nu_k| |B|) |x_k|^2 /
// |x_k^T B x_k| for an eigenvalue scaledNu in the units where it is
// smallest, that needs no eigenvector: in any units |A|_2 is at least A's
// largest entry and |B|_2 at most n times B's.
inline double ScaleLowerBound(const DefinitePencil& p, double scaledNu)
{
    return p.unitFloor + std::fabs(scaledNu);
}

// The same in the units the pencil is formed in alone: the scale that
// decides which eigenvalues share their vectors' solves.
inline double FormedScale(const DefinitePencil& p, double scaledNu)
{
    return p.aBig / (p.n * p.bBig) + std::fabs(scaledNu);
}

}  // namespace varno
