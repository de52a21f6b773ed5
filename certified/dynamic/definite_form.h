// Which of M, -M, K, -K is positive definite, for a pencil of any order, and
// the pencil in the form the counts and bounds take: a y = nu b y with b
// positive definite, as certified/definiteness.h forms it for n <= MaxOrder.
//
// Each candidate B is brought to its own diagonal's units first: S B S with
// S = diag(2^c_i) puts every diagonal entry in [1/4, 2), which no choice of
// units for a degree of freedom changes, and which is within a factor n of
// the best diagonal scaling for B's condition (van der Sluis). A is scaled
// by the same S; then each by a power of two so that its largest entry lies
// in [1/2, 1). All of it is exact, apart from entries that fall below the
// subnormal range, 2^-1074 of the largest.
//
// B is taken as safely definite where a floor of its smallest eigenvalue
// above 8 (n + 1) eps of its largest diagonal entry is proved (a Cholesky
// factorisation of S B S lowered by more than that succeeds): then every
// matrix within the backward error of the factorisations the path makes is
// definite too. One definite only to within that is left to QZ. Tried in the
// order M, -M, K, -K; the first whose smallest eigenvalue is proved
// above 2^-20 of its largest diagonal entry decides, and where none is, the
// one with the largest such floor:
//   M or -M:  a = S K S (or -), b = S M S (or -); nu = lambda;
//   K or -K:  a = S M S (or -), b = S K S (or -); nu = 1 / lambda, where M is
//             singular (degrees of freedom without mass) or of mixed signs.
#pragma once

#include <optional>
#include <vector>

#include "certified/definiteness.h"
#include "core/dense_matrix.h"

namespace varno {

struct DynamicPencil {
    int n = 0;
    DenseMatrix a;  // full symmetric
    DenseMatrix b;  // full symmetric, positive definite
    DefiniteMatrix definite = DefiniteMatrix::M;
    // nu as typed = nu here * 2^-shift.
    int shift = 0;
    // a = 2^-aExponent S A S and b = 2^-bExponent S B S (shift = bExponent - aExponent).
    int aExponent = 0;
    int bExponent = 0;
    // An eigenvector y here is x = diag(2^congruence) y as typed.
    std::vector<int> congruence;
    double frobeniusA = 0.0;  // |a|_F and |b|_F: upper bounds of the 2-norms
    double frobeniusB = 0.0;
    double smallestOfB = 0.0;  // SmallestEigenvalueFloor(b), above 0
    double normA = 0.0;        // estimates of |a|_2 and |b|_2 (power method), for the scales s_k
    double normB = 0.0;

    bool Inverted() const { return definite == DefiniteMatrix::K || definite == DefiniteMatrix::MinusK; }
};

// The pencil formed on the first of M, -M, K, -K that is safely definite;
// none where no one is, or an entry is not finite.
std::optional<DynamicPencil> FormDynamicPencil(const SymmetricPencil& pencil);

// Whether the symmetric matrix (full, any units) is positive definite by a
// margin: its Cholesky factorisation succeeds with the diagonal lowered by
// margin times its largest diagonal entry. Destroys nothing.
bool CholeskySucceeds(const DenseMatrix& a, double margin);

}  // namespace varno

namespace varno {

// A lower bound of the smallest eigenvalue of the positive definite b, from
// dpocon's estimate of |b^-1|_1 and proved by a Cholesky factorisation of b
// lowered by it (with CholeskySucceeds' margin): 0 where none is found.
double SmallestEigenvalueFloor(const DenseMatrix& b);

}  // namespace varno
