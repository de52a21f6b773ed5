// Eigenpairs of a definite pencil, with an error bound for each eigenvalue,
// and what a structural engineer reads off them: natural frequencies,
// periods, participation factors and effective modal masses.
//
// A diagonal pencil's eigenvalues are its quotients K_ii / M_ii, correctly
// rounded, each bounded by its own rounding. Otherwise two routes, the first
// where it serves:
//
// - dsygv's route (RouteEigenpairs): the eigenvectors come with the
//   eigenvalues from the reduction to a symmetric matrix, and the bounds
//   below are formed in double, |r|_{B^-1} taken as |r| / sqrt(lambda_min(B))
//   with lambda_min(B) bounded from the reduction's own factor. It stands
//   only where every residual is within a few units of rounding, the
//   eigenvalues' intervals do not meet, and each bound is within 1e-12 of
//   the eigenvalue's scale, which proves it right to its own conditioning.
// - Otherwise: the eigenvalues the count proves (PencilEigenvalues), each
//   then its vector's Rayleigh quotient where that lies within the count's
//   bracket or its own bound rules the counted value out (deep below the
//   pencil's scale the solves lose the vector, and the quotient is noise
//   that only its vast bound covers), and the vectors by inverse
//   iteration on A - nu B with the Bunch-Kaufman factors the count uses,
//   each made B-orthogonal to those of nearby eigenvalues, so that a
//   repeated eigenvalue gets a basis of its eigenspace that is orthonormal
//   in the definite matrix; the bounds in long double.
//
// Eigenvalues ascending, +inf last (an infinite eigenvalue where K is the
// definite matrix). Where M or -M is definite, or semidefinite beside a
// definite K or -K, x^T (+-M) x = 1 for a finite lambda; otherwise, and for
// an infinite lambda, the largest component is 1, and components at rounding
// level of it are 0. The largest component is positive; of components equal
// in magnitude to within 1e-9, the first.
//
// Bounds: the true eigenvalue of the pencil as typed lies within bound of
// the one given; each bound is rounded up to a double, and holds the
// rounding of lambda itself into or below the subnormal range. A bound is 0
// only where lambda is exact. For B positive definite and any x and theta, some
// eigenvalue lies within |r|_{B^-1} / |x|_B of theta, r = A x - theta B x
// (the residual bound for B^-1/2 A B^-1/2); for a group of close eigenvalues
// with B-orthonormal vectors, as many eigenvalues lie within the block
// residual's norm (Kahan). Where the groups' intervals are disjoint they
// hold exactly their own eigenvalues, and a lone eigenvalue with room on
// both sides is bounded much tighter by the Kato-Temple inequality,
// |nu - theta| <= |r|^2_{B^-1} / (|x|^2_B gap). Every rounding error of
// the residuals, norms and quotients is bounded into the result; see
// certified/mode_bounds.h. Where K is the definite matrix
// the bound is on mu = 1 / lambda and carried over to lambda.
#pragma once

#include <array>
#include <optional>

#include "certified/definiteness.h"
#include "certified/proof.h"
#include "core/matrix_store.h"

namespace varno {

struct Mode {
    double lambda = 0.0;  // +inf for an infinite eigenvalue
    double bound = 0.0;   // the true lambda lies in [lambda - bound, lambda + bound]; inf where unbounded
    std::array<double, MaxOrder> vector{};  // the first n set
    // NaN where not defined: always where M (or -M) is neither definite nor
    // semidefinite beside a definite K (or -K), and for a mode without mass:
    double omega = 0.0;          // sqrt(lambda), rad/s; 0 for a rigid-body mode
    double hertz = 0.0;          // omega / 2 pi
    double period = 0.0;         // 1 / hertz; NaN for a rigid-body mode
    double participation = 0.0;  // x^T M r, r = (1, ..., 1) (-M for M where -M is the definite one)
    double effectiveMass = 0.0;  // participation^2; they add up to the total mass
};

struct ModalResult {
    int n = 0;
    // M or -M is definite, or semidefinite beside a definite K or -K (a
    // degree of freedom without mass): vectors of finite lambda
    // mass-normalised, frequencies defined; a mode with lambda = inf has no
    // mass, and its vector a largest component of 1.
    bool massDefinite = false;
    double totalMass = 0.0;  // r^T M r (or r^T (-M) r) where massDefinite, else NaN
    bool negativeMass = false;  // -M, not M, is the mass matrix
    std::array<Mode, MaxOrder> modes{};
};

// K and M are the store's, as typed. proved: as for CertifiedLambda.
ModalResult ModesOf(const DefinitePencil& p, const Matrix10& K, const Matrix10& M,
                    const ProvedEigenvalues* proved = nullptr);

// A buckling pencil's (no masses) critical load factor, as buckling output
// singles it out: the smallest positive finite lambda, and its mode
// (1-based); mode 0 where there is none, or where the pencil has masses.
struct CriticalLoad {
    int mode = 0;
    double lambda = 0.0;
};
CriticalLoad CriticalLoadOf(const ModalResult& result);

// The pencil's eigenvalues lambda, ascending, +inf last: each the one double
// shown for it everywhere (the Modes window, the batch command's
// "eigenvalues" and "modes", a mended report), which lies within the bound
// ModesOf gives it. proved: the pencil's PencilEigenvalues where a check has
// found them already, which the count's route then takes as they are.
std::array<double, MaxOrder> CertifiedLambda(const DefinitePencil& p, const Matrix10& K, const Matrix10& M,
                                             const ProvedEigenvalues* proved = nullptr);

// The same for the leading n x n blocks of a store whose lower triangles
// mirror the upper ones; empty unless one of M, -M, K, -K is safely definite.
std::optional<ModalResult> ModesOf(const Matrix10& K, const Matrix10& M, int n);

}  // namespace varno
