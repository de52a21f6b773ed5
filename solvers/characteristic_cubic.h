// det(X - lambda Y) for 3 x 3 matrices X and Y, as a cubic in lambda.
//
// The 3 x 3 solver forms its characteristic polynomial with it, and the 4 x 4
// solver its sixteen minors, so both round exactly alike. The formula is the
// exact expansion for any X and Y, symmetric or not; the grouping of every sum
// and product is fixed, since the results must be reproducible bit for bit.
//
// The routine is written once, for any number type with IEEE double
// arithmetic per element: the 4 x 4 solver runs it on four minors at a time
// in vector lanes, each lane doing exactly the operations of the scalar case.
#pragma once

namespace varno {

template <class T>
using Matrix3Of = T[3][3];

template <class T>
struct CubicCoefficientsOf {
    T a3;  // -det Y
    T a2;  // sum of cofactors of Y times X
    T a1;  // -(sum of cofactors of X times Y)
    T a0;  // det X
};

template <class T>
CubicCoefficientsOf<T> CharacteristicCubicOf(const Matrix3Of<T>& X, const Matrix3Of<T>& Y)
{
    const auto& m = Y;
    const auto& k = X;
    // The nine cofactors, row-major, each the difference of two products.
    const auto cofactors = [](const Matrix3Of<T>& x, T (&c)[9]) {
        c[0] = x[1][1] * x[2][2] - x[1][2] * x[2][1];
        c[1] = x[1][2] * x[2][0] - x[1][0] * x[2][2];
        c[2] = x[1][0] * x[2][1] - x[1][1] * x[2][0];
        c[3] = x[0][2] * x[2][1] - x[0][1] * x[2][2];
        c[4] = x[0][0] * x[2][2] - x[0][2] * x[2][0];
        c[5] = x[0][1] * x[2][0] - x[0][0] * x[2][1];
        c[6] = x[0][1] * x[1][2] - x[0][2] * x[1][1];
        c[7] = x[0][2] * x[1][0] - x[0][0] * x[1][2];
        c[8] = x[0][0] * x[1][1] - x[0][1] * x[1][0];
    };
    T cm[9];
    T ck[9];
    cofactors(m, cm);
    cofactors(k, ck);
    CubicCoefficientsOf<T> c;
    // Sarrus, negated term by term: the same bits as -(P1 + P2 + P3 - P4 - P5 - P6).
    c.a3 = (-m[0][0]) * m[1][1] * m[2][2] - m[0][1] * m[1][2] * m[2][0] - m[0][2] * m[1][0] * m[2][1] +
           m[0][0] * m[1][2] * m[2][1] + m[0][1] * m[1][0] * m[2][2] + m[0][2] * m[1][1] * m[2][0];
    c.a2 = cm[0] * k[0][0] + cm[1] * k[0][1] + cm[2] * k[0][2] + cm[3] * k[1][0] + cm[4] * k[1][1] +
           cm[5] * k[1][2] + cm[6] * k[2][0] + cm[7] * k[2][1] + cm[8] * k[2][2];
    c.a1 = (-m[0][0]) * ck[0] - ck[1] * m[0][1] - ck[2] * m[0][2] - ck[3] * m[1][0] - ck[4] * m[1][1] -
           ck[5] * m[1][2] - ck[6] * m[2][0] - ck[7] * m[2][1] - ck[8] * m[2][2];
    c.a0 = k[0][0] * k[1][1] * k[2][2] + k[0][1] * k[1][2] * k[2][0] + k[0][2] * k[1][0] * k[2][1] -
           k[0][0] * k[1][2] * k[2][1] - k[0][1] * k[1][0] * k[2][2] - k[0][2] * k[1][1] * k[2][0];
    return c;
}

using Matrix3 = Matrix3Of<double>;
using CubicCoefficients = CubicCoefficientsOf<double>;

CubicCoefficients CharacteristicCubic(const Matrix3& X, const Matrix3& Y);

}  // namespace varno
