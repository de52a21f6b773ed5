// The Rayleigh quotient of a definite pencil's vector in the units typed,
// for an eigenvalue its scaled units lose.
//
// A pencil's counts and vectors run in units that bring its largest entries
// near 1. Where its eigenvalues lie farther apart than the double range
// (entries down to the subnormal range beside others near 1), an eigenvalue
// at the bottom of those units lies below their normal range: the counts
// return it as 0, or as an infinite lambda where they ran on nu = 1 / lambda.
// Its vector is right all the same, and in the units typed its quotient is
// an ordinary double.
//
// Preconditions: x an eigenvector of p.a, p.b as the counts' inverse
// iteration returns it (any scale); sigma its lambda as counted, in the
// units typed, to a few digits.
// Accuracy: the quotient is returned only where the residual of x, formed
// in long double in the units typed, is within 2^-40 of |lambda| |M x|. That
// it is then right to that order holds to first order only (a quotient's
// error is about the residual squared over the gap); what is proved is the
// counted interval the caller checks it against. On the subnormal-mass
// pencil of the tests it is the truth to the last digit.
#pragma once

#include "certified/definiteness.h"
#include "certified/proof.h"
#include "certified/symmetric_indefinite.h"
#include "core/matrix_store.h"

namespace varno {

// lambda = y^T K y / y^T M y for y from S x (x brought to the units typed)
// by up to four steps of inverse iteration, from sigma and then from each
// quotient; NaN where the residual does not hold it by then. (Rayleigh
// quotient iteration may settle on a neighbour: the caller checks lambda
// against the interval its counts prove.) Where it does, x becomes y in the scaled units.
double TypedQuotient(const DefinitePencil& p, const Matrix10& K, const Matrix10& M, Vector4& x, long double sigma);

// For eigenvalue k (ascending in nu), where the counts hold it only below
// the normal range of the scaled units: lambda its typed quotient and x
// that vector (largest component 1, scaled units), where the counted
// interval holds it; true then. Elsewhere false, and nothing changed.
bool TypedValueWhereLost(const DefinitePencil& p, const Matrix10& K, const Matrix10& M, const ProvedEigenvalues& proved,
                         int k, Vector4& x, double& lambda);

}  // namespace varno
