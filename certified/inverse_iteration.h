// Inverse iteration on a definite pencil A x = nu B x, with the
// Bunch-Kaufman factors of A - theta B, for the vectors of eigenvalues the
// count has already proved.
#pragma once

#include <span>

#include "certified/definiteness.h"

namespace varno {

// The inverse iteration ModesOf uses, on A - theta B (theta in the pencil's
// scaled units), each step made B-orthogonal to the vectors given
// (B-normalised); the result B-normalised. A start may miss the eigenvector
// (x^T B start = 0), as r = (1, ..., 1) misses a mode that takes no part in
// a motion of the whole: the starts are tried in turn until one grows as
// only a start with a part along the eigenvector can, and the one that grew
// most goes on. With deflate, the vectors given are also moved a scale away
// (a term tau B v v^T B apiece), so that the solve does not grow them.
Vector4 InverseIteration(const DefinitePencil& p, double theta, std::span<const Vector4> starts,
                         std::span<const Vector4> against, bool deflate = false);

}  // namespace varno
