#include "solvers/characteristic_cubic.h"

namespace varno {

CubicCoefficients CharacteristicCubic(const Matrix3& X, const Matrix3& Y) { return CharacteristicCubicOf(X, Y); }

}  // namespace varno
