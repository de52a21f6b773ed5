// The mode shapes scaled as the user asks: by mass (as ModesOf gives them:
// x^T M x = 1 where there is mass, else a largest component of 1), to a
// largest component of exactly +1 (of components equal in magnitude to
// within 1e-9, the first, which ModesOf made positive), or to 1 at one
// chosen degree of freedom (the roof of a building). A shape is only
// scaled, never turned round, except that 1 at the chosen degree of freedom
// may make the largest component negative.
//
// Of the shape phi as scaled, FE codes print L = phi^T M r, the generalised
// mass M* = phi^T M phi, the participation factor Gamma = L / M* and the
// effective mass L^2 / M*: L, M* and Gamma follow the scaling, the
// effective mass does not depend on it (ModalFactorsOf).
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

// Of a mode whose mass-normalised vector x has participation x^T M r and
// effective mass (x^T M r)^2, for the shape phi = x / divisor: L = x^T M r
// / divisor, M* = 1 / divisor^2, Gamma = L / M* = x^T M r divisor, and the
// effective mass as given. By mass (divisor 1) M* = 1 and Gamma = L. NaN
// in, NaN out: a mode without mass has none of them.
struct ModalFactors {
    double participation = 0.0;    // L
    double generalisedMass = 0.0;  // M*
    double gamma = 0.0;            // L / M*
    double effectiveMass = 0.0;    // L^2 / M*
};
ModalFactors ModalFactorsOf(double participation, double effectiveMass, double divisor);

}  // namespace varno
