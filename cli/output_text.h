// The pieces both kinds of answer are written from, for every size of model:
// JSON strings and numbers, and the cells of the tables for a person.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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

}  // namespace varno
