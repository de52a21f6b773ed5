// Eigenpairs of a definite pencil, with an error bound for each eigenvalue,
// and what a structural engineer reads off them: natural frequencies,
// periods, participation factors and effective modal masses.
//
// Two routes, the first where it serves:
//
// - dsygv's route (RouteEigenpairs): the eigenvectors come with the
//   eigenvalues from the reduction to a symmetric matrix, and the bounds
//   below are formed in double, |r|_{B^-1} taken as |r| / sqrt(lambda_min(B))
//   with lambda_min(B) bounded from the reduction's own factor. It stands
//   only where every residual is within a few units of rounding, the
//   eigenvalues' intervals do not meet, and each bound is within 1e-12 of
//   the eigenvalue's scale, which proves it right to its own conditioning.
// - Otherwise: the eigenvalues the count proves (PencilEigenvalues), each
//   then its vector's Rayleigh quotient, and the vectors by inverse
//   iteration on A - nu B with the Bunch-Kaufman factors the count uses,
//   each made B-orthogonal to those of nearby eigenvalues, so that a
//   repeated eigenvalue gets a basis of its eigenspace that is orthonormal
//   in the definite matrix; the bounds in long double.
//
// Eigenvalues ascending, +inf last (an infinite eigenvalue where K is the
// definite matrix). Where M or -M is the definite one, x^T (+-M) x = 1; where
// only K or -K is, the largest component is 1. The largest component is
// positive; of components equal in magnitude to within 1e-9, the first.
//
// Bounds: the true eigenvalue of the pencil as typed lies within bound of
// the one given. For B positive definite and any x and theta, some
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
#include "core/matrix_store.h"

namespace varno {

struct Mode {
    double lambda = 0.0;  // +inf for an infinite eigenvalue
    double bound = 0.0;   // the true lambda lies in [lambda - bound, lambda + bound]; inf where unbounded
    std::array<double, 4> vector{};  // the first n set
    // NaN where not defined, and always where M is not the definite matrix:
    double omega = 0.0;          // sqrt(lambda), rad/s; 0 for a rigid-body mode
    double hertz = 0.0;          // omega / 2 pi
    double period = 0.0;         // 1 / hertz; NaN for a rigid-body mode
    double participation = 0.0;  // x^T M r, r = (1, ..., 1) (-M for M where -M is the definite one)
    double effectiveMass = 0.0;  // participation^2; they add up to the total mass
};

struct ModalResult {
    int n = 0;
    bool massDefinite = false;  // M or -M is the definite matrix: vectors mass-normalised, frequencies defined
    double totalMass = 0.0;     // r^T M r (or r^T (-M) r) where massDefinite, else NaN
    std::array<Mode, 4> modes{};
};

ModalResult ModesOf(const DefinitePencil& p, const Matrix10& M);

// The same for the leading n x n blocks of a store whose lower triangles
// mirror the upper ones; empty unless one of M, -M, K, -K is safely definite.
std::optional<ModalResult> ModesOf(const Matrix10& K, const Matrix10& M, int n);

}  // namespace varno
