// How much of each direction's mass every mode of a definite pencil moves,
// as structural codes print it: per direction d, with r_d = 1 on the degrees
// of freedom labelled d and 0 elsewhere, the participation factor
// Gamma_d = x^T M r_d, the effective mass Gamma_d^2, its share of the
// direction's total mass r_d^T M r_d, and the shares summed mode by mode.
// Labelling every degree of freedom x gives r = (1, ..., 1), the influence
// vector ModesOf's own participation and effective mass are taken with.
//
// A label on a rotational degree of freedom puts 1 there and nothing else:
// the program knows no coordinates, so there are no lever arms.
//
// Preconditions: result comes from ModesOf on the store whose M is given
// (1-based upper and lower triangles, as the store holds them after a
// calculation), labels holds result.n entries. Where result has no mass
// (not massDefinite) or a mode has none (lambda = inf), that mode's values
// are NaN; its share counts for nothing in the cumulative sums.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "certified/modes.h"
#include "core/direction.h"
#include "core/matrix_store.h"

namespace varno {

struct DirectionParticipation {
    Direction direction = Direction::X;
    double totalMass = 0.0;  // r_d^T M r_d
    double sum = 0.0;        // the effective masses added up: totalMass again, to rounding
    // One entry a mode, in ModesOf's order. participation is that of the
    // vector as ModesOf gives it (mass-normalised where there is mass).
    std::vector<double> participation;
    std::vector<double> effectiveMass;  // participation^2
    std::vector<double> share;          // 100 effectiveMass / totalMass, per cent
    std::vector<double> cumulative;     // the shares of this mode and the ones before it
    int reaches90 = 0;  // the first mode (1-based) whose cumulative share is 90 % or more; 0 for none
};

// One entry for each direction that labels at least one degree of freedom,
// in the order x, y, z, rx, ry, rz; none where result has no mass.
std::vector<DirectionParticipation> ParticipationByDirection(const ModalResult& result, const Matrix10& M,
                                                             std::span<const Direction> labels);

// The next mode's entries of p (mode: its 1-based number), from gamma =
// x^T (+-M) r_d; NaN in every column for a mode without mass, whose share
// counts for nothing in the cumulative sum.
void AppendMode(DirectionParticipation& p, int mode, double gamma, bool withoutMass);

// A share in per cent as both programs print it: two decimals ("87.34").
std::string ShareText(double percent);

}  // namespace varno
