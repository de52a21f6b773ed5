// Candidate eigenvalues of a definite pencil, for the proof by counting to
// confirm or refute: for n = 2 the roots of det(A - nu B), for n = 3 the
// characteristic cubic of dsygv's reduced matrix in trigonometric form, for
// n = 4 ... 6 (and wherever those fail) dsygv's route with QL. The polynomials cost
// a square root or two where QL's sweeps are a chain of dependent square
// roots and divisions; near close eigenvalues they lose half their digits,
// which the proof finds out.
#pragma once

#include <optional>

#include "certified/definiteness.h"
#include "certified/scaling.h"

namespace varno {

// Candidate eigenvalues in scaled units, ascending: for n = 2 and 3 from the
// characteristic polynomial unless reduced asks for the route of dsygv (or
// the polynomial's are not finite); empty where that route's reduction
// fails.
std::optional<Lane> Candidates(const DefinitePencil& p, bool reduced = false);

}  // namespace varno
