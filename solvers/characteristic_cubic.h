// det(X - lambda Y) for 3 x 3 matrices X and Y, as a cubic in lambda.
//
// The 3 x 3 solver forms its characteristic polynomial with it, and the 4 x 4
// solver its sixteen minors, so both round exactly alike. The formula is the
// exact expansion for any X and Y, symmetric or not; the grouping of every sum
// and product is fixed, since the results must be reproducible bit for bit.
#pragma once

namespace varno {

// x[p][q], 0-based rows and columns.
using Matrix3 = double[3][3];

struct CubicCoefficients {
    double a3;  // -det Y
    double a2;  // sum of cofactors of Y times X
    double a1;  // -(sum of cofactors of X times Y)
    double a0;  // det X
};

CubicCoefficients CharacteristicCubic(const Matrix3& X, const Matrix3& Y);

}  // namespace varno
