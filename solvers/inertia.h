// Eigenvalues of a definite pencil K x = lambda M x (n <= 4) by counting them.
//
// Sylvester's law of inertia: when B is positive definite, the number of
// negative eigenvalues of A - sigma B is the number of eigenvalues of
// A x = nu B x below sigma. Counting at both ends of an interval therefore
// proves whether the k-th eigenvalue lies in it (the "Sturm sequence check"
// of structural codes), and bisection on the same count finds it.
//
// Which pencils: one of M, -M, K, -K must be safely positive definite: its
// LDL^T factorisation with the diagonal lowered by 16 eps times its largest
// entry has positive pivots (normal ones, since the matrix is scaled to a
// largest entry near 1 first). They are tried in that order and the first
// decides:
//   M or -M:  A = K, B = M (or -K, -M); nu = lambda;
//   K or -K:  A = M, B = K (or -M, -K); nu = mu = 1 / lambda, as in buckling,
//             where the geometric stiffness M has mixed signs or is
//             singular. A mu that is zero to within its rounding is an
//             infinite lambda.
//
// The counts are made on A - sigma B itself, not on a reduced matrix: by an
// LDL^T factorisation without pivoting where its growth stays small, and by
// Bunch-Kaufman's otherwise. Either is exact for a matrix within a few
// hundred units of rounding of A - sigma B, that is, for a pencil within
// rounding of the one typed in, whatever B's condition. So a proved claim
// "nu_k in [lo, hi]" is uncertain only by nu_k's own conditioning, about
// eps * s_k with s_k = (|A| + |nu_k| |B|) |x_k|^2 / |x_k^T B x_k|: a small
// eigenvalue is held to its own size, not to the largest one's.
//
// The eigenvalues themselves come from the route of LAPACK's dsygv (B's
// factor reduces the pencil to a symmetric matrix, Householder reflections to
// a tridiagonal one, implicit QL), which is fast but loses eps * kappa(B) of
// the largest. For n = 3 the reduced matrix's cubic in trigonometric form
// stands in for QL, whose sweeps are a long chain of dependent square roots
// and divisions, and for n = 2 the roots of det(A - nu B); dsygv's route is
// taken only where they fail. Each is then proved by the count, and one that
// fails is found by bisection on the count.
// Both matrices are scaled by powers of two first, so that entries anywhere
// in the double range neither overflow nor underflow.
#pragma once

#include <array>
#include <cmath>
#include <optional>
#include <span>

#include "core/matrix_store.h"
#include "solvers/symmetric_indefinite.h"

namespace varno {

// What can be said of a pencil before anything is counted.
enum class Definiteness {
    Safe,           // one of M, -M, K, -K is safely positive definite
    RoundingLevel,  // none is, but one is positive definite or semidefinite to within rounding
    None,           // neither, or an entry is infinite or NaN
};

// Which matrix is the definite one, B.
enum class DefiniteMatrix { M, MinusM, K, MinusK };

// A x = nu B x with B positive definite, both scaled by powers of two so that
// their largest entries lie in [1, 2). nu in these units is nu * 2^shift.
struct DefinitePencil {
    int n = 0;
    Square4 a{};  // full symmetric
    Square4 b{};
    DefiniteMatrix definite = DefiniteMatrix::M;
    int shift = 0;
    double aBig = 0.0;  // largest magnitudes of the scaled entries
    double bBig = 0.0;

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

// "The k-th smallest nu (1-based) lies in [lo, hi]", in the pencil's own
// units (not scaled).
struct EigenvalueClaim {
    int k = 1;
    double lo = 0.0;
    double hi = 0.0;
};

// Whether every claim holds, by counting strictly below each lo and at or
// below each hi. An end that is NaN fails.
bool ClaimsHold(const DefinitePencil& p, std::span<const EigenvalueClaim> claims);

// The same for claims in the pencil's scaled units (nu * 2^shift), where
// values far beyond the double range of nu still have room; held[c] says
// whether claim c holds (held has the claims' size).
bool ScaledClaimsHold(const DefinitePencil& p, std::span<const EigenvalueClaim> claims, std::span<bool> held);
double ScaledNu(const DefinitePencil& p, double nu);

// A lower bound, in scaled units, of s_k = (|A| + |nu_k| |B|) |x_k|^2 /
// |x_k^T B x_k| for an eigenvalue scaledNu, that needs no eigenvector:
// |A|_2 is at least A's largest entry and |B|_2 at most n times B's.
inline double ScaleLowerBound(const DefinitePencil& p, double scaledNu)
{
    return p.aBig / (p.n * p.bBig) + std::fabs(scaledNu);
}

// The number of nu strictly below sigma (orEqual: at or below), in the
// pencil's own units.
int CountBelow(const DefinitePencil& p, double sigma, bool orEqual);

// The eigenvalues nu in ascending order (slots beyond n are 0), each proved by
// the count to within a few hundred units of rounding of its own s_k, and an
// interval [lo, hi] around each that the counts prove. An eigenvalue beyond
// the double range comes out as an infinity or a zero.
struct ProvedEigenvalues {
    std::array<double, 4> nu{};
    std::array<double, 4> lo{};
    std::array<double, 4> hi{};
    std::array<double, 4> scaledNu{};  // nu * 2^shift, which never overflows: 1 / nu may be in range where nu is not
    // Passes of four counts spent: a proof of all n candidates takes one
    // (n = 2) or two, dsygv's route where the candidates from the
    // characteristic polynomial fail one more, and
    // bisection, where no candidate holds, a hundred or so.
    int passes = 0;
};
ProvedEigenvalues PencilEigenvalues(const DefinitePencil& p);

// dsygv's route alone, with its eigenvectors. Not proved: fit only where
// the caller bounds them itself.
struct Route {
    std::array<double, 4> nu{};  // ascending, scaled units
    std::array<Vector4, 4> x{};  // B-orthonormal to within B's condition times the rounding
    // |D^-1/2 L^-1|_F^2 for the factor B = L D L^T the route computed;
    // lambda_min(L D L^T) >= 1 / it.
    double inverseSquare = 0.0;
};
// Empty where the route fails.
std::optional<Route> RouteEigenpairs(const DefinitePencil& p);

// The proof of given candidates (the pencil's own units, any order), with
// the refinement of those it fails for. PencilEigenvalues passes those of the
// dsygv route; a test may pass wrong ones.
ProvedEigenvalues ProveCandidates(const DefinitePencil& p, const std::array<double, 4>& candidates);

// The same by bisection on the count alone, for tests.
ProvedEigenvalues BisectedEigenvalues(const DefinitePencil& p);

// The pencil's lambda in ascending order, +inf last: nu itself, or 1 / nu
// where the pencil is inverted. A nu whose proved interval holds 0 is, where
// inverted, an infinite lambda (+inf), and otherwise 0 if it would come out
// beyond the double range.
std::array<double, 4> LambdaOf(const DefinitePencil& p, const ProvedEigenvalues& e);

// The same, each lambda in the place of its nu (not sorted).
std::array<double, 4> LambdaAt(const DefinitePencil& p, const ProvedEigenvalues& e);

}  // namespace varno
