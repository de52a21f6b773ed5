// The modes of a definite pencil K x = lambda M x of any order, composed from
// the blocks beside this file: the form (definite_form.h), candidates from
// dsygvd (candidates.h), their intervals (enclosures.h), the count where
// they meet (inertia.h).
//
// Preconditions: K and M symmetric, finite, n >= 1. Cost O(n^3): dsygvd with
// vectors, two products with the vectors, two Cholesky factorisations, and
// two counts a group of meeting intervals (repeated eigenvalues);
// bisection, about 50 counts an eigenvalue, only where no interval of the
// candidates' holds it alone (b near singular).
//
// Accuracy: each lambda lies within its bound of the pencil's true
// eigenvalue, and the bound holds as the count's do (to first order in eps,
// see enclosures.h). Conventions as for the fixed-size modes
// (certified/modes.h): ascending, +inf last; a nu = 1 / lambda whose interval
// holds 0 is an infinite lambda; vectors mass-normalised where M or -M is
// definite, or semidefinite beside a definite K (x^T M x = 1 for finite
// lambda), otherwise a largest component of 1, which is positive.
#pragma once

#include <optional>
#include <vector>

#include "core/dense_matrix.h"
#include "certified/definiteness.h"

namespace varno {

struct DynamicModalResult {
    int n = 0;
    DefiniteMatrix definite = DefiniteMatrix::M;
    bool massDefinite = false;
    bool negativeMass = false;
    double totalMass = 0.0;  // r^T M r, r = (1, ..., 1), where massDefinite; NaN otherwise
    // The modes given: n, or the first few asked for.
    std::vector<double> lambda;
    std::vector<double> bound;  // inf where unbounded
    // NaN where not defined, as for the fixed-size modes.
    std::vector<double> omega, hertz, period;
    DenseMatrix vectors;  // n x modes; column k: the mode of lambda[k], in the units typed
    int counts = 0;       // factorisations of a - sigma b spent
};

// Empty where none of M, -M, K, -K is safely definite, an entry is not
// finite, or dsygvd fails. withVectors: the vectors and frequencies too.
// first > 0: only the first that many modes; where lambda = nu (M or -M
// definite) only they and one more are computed, which saves the rest's
// vectors, and one count above them proves that none is missed.
std::optional<DynamicModalResult> DynamicModesOf(const SymmetricPencil& pencil, bool withVectors = true, int first = 0);

}  // namespace varno
