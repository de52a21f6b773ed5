// The route of LAPACK's dsygv for a definite pencil A x = nu B x: B's factor
// B = L D L^T reduces the pencil to the symmetric C = D^-1/2 L^-1 A L^-T
// D^-1/2, Householder reflections reduce C to tridiagonal form, and implicit
// QL finds its eigenvalues (and, asked, gathers its rotations into the
// eigenvectors, carried back to the pencil's). Fast, but it loses
// eps * kappa(B) of the largest eigenvalue: its results are candidates for
// the proof by counting, or vectors whose bounds the caller forms itself.
//
// Instantiated for n = 2 ... 6.
#pragma once

#include <array>
#include <optional>

#include "certified/definiteness.h"
#include "certified/scaling.h"

namespace varno {

// The reduced symmetric matrix in tridiagonal form; its eigenvalues are the
// pencil's scaled nu times 2^-shift.
struct Tridiagonal {
    int n = 0;
    Lane diagonal{};
    std::array<double, MaxOrder - 1> off{};
    int shift = 0;
};

// A reflection H = I - tau v v^T acting on rows j+1 .. n-1, v[0] = 1; tau = 0
// for none.
struct Reflector {
    Lane v{};
    double tau = 0.0;
};

// C = D^-1/2 L^-1 A L^-T D^-1/2 with B = L D L^T, symmetric (both triangles
// set); its eigenvalues are the pencil's scaled nu times 2^-shift.
struct Reduced {
    Square4 c{};
    int shift = 0;
    Square4 l{};   // B's unit factor L, below the diagonal
    Lane root{};   // D^-1/2
};

// dsygv's route alone, with its eigenvectors. Not proved: fit only where
// the caller bounds them itself.
struct Route {
    std::array<double, MaxOrder> nu{};  // ascending, scaled units
    std::array<Vector4, MaxOrder> x{};  // B-orthonormal to within B's condition times the rounding
    // |D^-1/2 L^-1|_F^2 for the factor B = L D L^T the route computed;
    // lambda_min(L D L^T) >= 1 / it.
    double inverseSquare = 0.0;
};

// Empty if a pivot of B is not positive after all, or C overflows.
template <int n>
std::optional<Reduced> Reduce(const DefinitePencil& pencil);

// C in tridiagonal form; with kept, the reflections are stored there, to
// carry eigenvectors back.
template <int n>
Tridiagonal Tridiagonalise(const Reduced& r, std::array<Reflector, MaxOrder - 2>* kept = nullptr);

// Implicit QL with shifts (EISPACK's imtql1), eigenvalues ascending; with z,
// the rotations are gathered into it as imtql2 does (z starts as I), but
// transposed: its rows are the eigenvectors of T in the eigenvalues' order,
// so that a rotation turns two contiguous rows. The sweeps are a
// chain of dependent square roots and divisions. With vectors (for a caller
// that bounds its results itself), a rotation's length is the plain root
// where no square can overflow or underflow to harm: one division fewer in
// the chain. Without, the guarded Hypot stays, whose bits the proved
// candidates are.
// False if some eigenvalue has not settled after 30 sweeps.
template <int n>
bool QlEigenvalues(const Tridiagonal& t, Lane& d, Square4* z = nullptr);

// dsygv's route with its eigenvectors (where route is given): the
// eigenvalues in C's units (times 2^-shift), false where the reduction or QL
// fails.
template <int n>
bool ReducedEigenpairs(const DefinitePencil& p, Lane& nu, int& shift, Route* route);

// The same for any n, in the pencil's scaled units; empty where the route
// fails.
std::optional<Route> RouteEigenpairs(const DefinitePencil& p);

}  // namespace varno
