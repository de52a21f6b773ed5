// The pieces both kinds of answer are written from, for every size of model:
// JSON strings and numbers, and the cells of the tables for a person.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "certified/modal_directions.h"
#include "core/direction.h"

namespace varno {

// A JSON string, escaped.
void AppendJsonString(std::string& out, std::string_view s);
// A double that reads back exactly; "nan", "inf" and "-inf" as strings.
void AppendJsonNumber(std::string& out, double v);
// The same, null for NaN: a quantity not defined for a mode.
void AppendJsonQuantity(std::string& out, double v);
// A value of the modes table, right-aligned in width; "-" where it is not defined.
void AppendCell(std::string& out, double value, int width, int precision);
// A share in per cent, as the window shows it, right-aligned in width, with
// its sign; "-" where it is not defined.
void AppendShare(std::string& out, double share, std::size_t width, bool sign);
// A direction's unit of mass for a terminal and for JSON: kg, or kg m^2 for a rotation.
std::string MassUnitWord(Direction d);
// One number a mode, each divided by divisor's where one is given.
void AppendJsonColumn(std::string& out, const std::vector<double>& values, const std::vector<double>* divisor = nullptr);
// Gamma = L / M* of each mode, for the shapes as normalised (divisor: ShapeComponent's).
void AppendJsonGamma(std::string& out, const std::vector<double>& participation, const std::vector<double>& divisor);
// ", \"directions\": [...], \"by_direction\": {...}" (null without modes), one
// entry a direction that labels a degree of freedom.
void AppendJsonByDirection(std::string& out, std::span<const Direction> directions,
                           const std::vector<DirectionParticipation>* byDirection, const std::vector<double>& divisor);

}  // namespace varno
