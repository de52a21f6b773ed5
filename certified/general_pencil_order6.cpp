#include "certified/general_pencil_solve.h"

namespace varno::pencil {

template GeneralEigenvalues SolveGeneralPencil<6>(const Matrix10&, const Matrix10&);

}  // namespace varno::pencil
