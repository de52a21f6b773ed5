// Participation per direction for the modes of a pencil of any order, as
// certified/modal_directions.h gives it for n <= MaxOrder: Gamma_d =
// x^T M r_d for mass-normalised x, effective mass Gamma_d^2, share, cumulative
// share, the first mode reaching 90 %. O(n^2) a direction.
#pragma once

#include <span>
#include <vector>

#include "certified/dynamic/modes.h"
#include "certified/modal_directions.h"

namespace varno {

// Preconditions: M is the pencil's, whole; labels holds n entries. None
// where result has no mass.
std::vector<DirectionParticipation> DynamicParticipation(const DynamicModalResult& result, const DenseMatrix& M,
                                                         std::span<const Direction> labels);

}  // namespace varno
