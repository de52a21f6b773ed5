// The direction ground motion drives a degree of freedom in: the label each
// degree of freedom of a problem carries, kept in its file and shown in the
// Modes window.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varno {

enum class Direction : unsigned char { None, X, Y, Z, RX, RY, RZ };

// "x", "y", "z", "rx", "ry", "rz", or "none" for a degree of freedom that
// ground motion does not drive.
std::string_view DirectionLabel(Direction d);
// The direction of a label as DirectionLabel writes it; none for any other text.
std::optional<Direction> DirectionOfLabel(std::string_view label);
bool IsRotation(Direction d);

// "x,y,rz": one label a degree of freedom, as --directions and a problem
// file take them; or why not ("\"q\" is not a direction (x, y, z, rx, ry,
// rz or none)"), the word escaped.
std::string ParseDirections(std::string_view text, std::vector<Direction>& directions);
std::string DirectionsText(const std::vector<Direction>& directions);

}  // namespace varno
