// The mode shapes scaled as the user asks: by mass (as ModesOf gives them:
// x^T M x = 1 where there is mass, else a largest component of 1), to a
// largest component of 1, or to 1 at one chosen degree of freedom (the roof
// of a building). A shape is only scaled, never turned round, except that 1
// at the chosen degree of freedom may make the largest component negative.
//
// The participation factors Gamma = x^T M r scale with the shape; the
// effective masses Gamma^2 / (x^T M x) do not depend on the scaling at all.
//
// Preconditions: result comes from ModesOf. Refused, with the reason, where
// the chosen degree of freedom is not among the n, or where a shape's
// component there is 0 to rounding (64 n eps of its largest component):
// a node of that mode, which no scaling brings to 1.
#pragma once

#include <string>
#include <vector>

#include "certified/modes.h"

namespace varno {

enum class NormalisationKind : unsigned char { Mass, Largest, Dof };

struct Normalisation {
    NormalisationKind kind = NormalisationKind::Mass;
    int dof = 1;  // 1-based, for NormalisationKind::Dof
};

struct NormalisedShapes {
    // One a mode: the shape is ModesOf's vector divided by it, and so is
    // every participation factor. Empty where refused.
    std::vector<double> divisor;
    std::string error;  // why refused; empty otherwise
    bool ok() const { return error.empty(); }
};

NormalisedShapes NormaliseShapes(const ModalResult& result, const Normalisation& how);

// The shape of mode k (0-based) as normalised: component i (0-based).
double ShapeComponent(const ModalResult& result, const NormalisedShapes& shapes, int k, int i);

}  // namespace varno
