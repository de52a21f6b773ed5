// The eigenvalues of a symmetric pencil K x = lambda M x of any order that
// is not definite, by QZ (LAPACK dggev) on the pencil balanced by a
// diagonal of powers of two (exact), each with its conditioning
// s = (|K| + |lambda| |M|) |x|^2 / |x^T M x| in the balanced units (|.|
// Frobenius norms, above the 2-norms): dggev's value is within a few units
// of rounding of s of the true one, to first order.
//
// Infinite: beta at rounding level of |B| while alpha is not. Singular
// (det(K - lambda M) = 0 for every lambda): some alpha and beta both at
// rounding level, which a regular pencil within rounding of a singular one
// also shows.
#pragma once

#include <vector>

#include "core/dense_matrix.h"
#include "core/framework.h"

namespace varno {

struct DynamicGeneral {
    bool converged = false;
    bool singular = false;
    std::vector<Eigenvalue> values;  // by real part, infinities last
    std::vector<double> condition;   // s of each; inf for an infinite one
};

DynamicGeneral DynamicGeneralEigenvalues(const SymmetricPencil& pencil);

}  // namespace varno
