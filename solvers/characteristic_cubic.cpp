#include "solvers/characteristic_cubic.h"

namespace varno {
namespace {

// Cofactor of position (p, q), each formed as the difference of two products.
double Cofactor(const Matrix3& x, int p, int q)
{
    switch (p * 3 + q) {
    case 0: return x[1][1] * x[2][2] - x[1][2] * x[2][1];
    case 1: return x[1][2] * x[2][0] - x[1][0] * x[2][2];
    case 2: return x[1][0] * x[2][1] - x[1][1] * x[2][0];
    case 3: return x[0][2] * x[2][1] - x[0][1] * x[2][2];
    case 4: return x[0][0] * x[2][2] - x[0][2] * x[2][0];
    case 5: return x[0][1] * x[2][0] - x[0][0] * x[2][1];
    case 6: return x[0][1] * x[1][2] - x[0][2] * x[1][1];
    case 7: return x[0][2] * x[1][0] - x[0][0] * x[1][2];
    default: return x[0][0] * x[1][1] - x[0][1] * x[1][0];
    }
}

}  // namespace

CubicCoefficients CharacteristicCubic(const Matrix3& X, const Matrix3& Y)
{
    const auto& m = Y;
    const auto& k = X;
    CubicCoefficients c{};
    // Sarrus, negated term by term: the same bits as -(P1 + P2 + P3 - P4 - P5 - P6).
    c.a3 = (-m[0][0]) * m[1][1] * m[2][2] - m[0][1] * m[1][2] * m[2][0] - m[0][2] * m[1][0] * m[2][1] +
           m[0][0] * m[1][2] * m[2][1] + m[0][1] * m[1][0] * m[2][2] + m[0][2] * m[1][1] * m[2][0];

    c.a2 = 0.0;
    for (int p = 0; p < 3; ++p)
        for (int q = 0; q < 3; ++q) {
            const double term = Cofactor(m, p, q) * k[p][q];
            c.a2 = (p == 0 && q == 0) ? term : c.a2 + term;
        }

    c.a1 = (-m[0][0]) * Cofactor(k, 0, 0);
    for (int pq = 1; pq < 9; ++pq) c.a1 = c.a1 - Cofactor(k, pq / 3, pq % 3) * m[pq / 3][pq % 3];

    c.a0 = k[0][0] * k[1][1] * k[2][2] + k[0][1] * k[1][2] * k[2][0] + k[0][2] * k[1][0] * k[2][1] -
           k[0][0] * k[1][2] * k[2][1] - k[0][1] * k[1][0] * k[2][2] - k[0][2] * k[1][1] * k[2][0];
    return c;
}

}  // namespace varno
