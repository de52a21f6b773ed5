// Four doubles side by side (GCC/Clang vector extension). Every operator
// acts on each lane alone with ordinary IEEE double rounding, so a lane
// computes bit for bit what the scalar expression would: independent
// evaluations of one formula can share instructions without changing a bit.
#pragma once

namespace varno {

typedef double Lanes4 __attribute__((vector_size(4 * sizeof(double))));

}  // namespace varno
