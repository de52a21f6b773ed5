#include "cli/output_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "certified/modal_directions.h"
#include "certified/shape_normalisation.h"
#include "core/number_text.h"

namespace varno {

// Whether any of the eight bytes of w is below 0x20, '"' or '\\' (exact
// for "any", the usual word-at-a-time zero-byte test).
namespace {

bool NeedsEscape(std::uint64_t w)
{
    constexpr std::uint64_t Ones = 0x0101010101010101u;
    constexpr std::uint64_t Highs = 0x8080808080808080u;
    const auto below = [&](std::uint64_t x, std::uint64_t n) { return (x - Ones * n) & ~x & Highs; };
    return (below(w, 0x20) | below(w ^ (Ones * '"'), 1) | below(w ^ (Ones * '\\'), 1)) != 0;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view s)
{
    static constexpr char Hex[] = "0123456789abcdef";
    out += '"';
    std::size_t plain = 0;  // start of the run of characters that need no escape
    for (std::size_t i = 0; i < s.size();) {
        // Messages are mostly plain text: eight bytes at a time past it, and
        // byte by byte through eight that hold something to escape.
        if (i + 8 <= s.size()) {
            std::uint64_t word = 0;
            std::memcpy(&word, s.data() + i, 8);
            if (!NeedsEscape(word)) {
                i += 8;
                continue;
            }
        }
        for (const std::size_t stop = std::min(i + 8, s.size()); i < stop; ++i) {
            const auto c = static_cast<unsigned char>(s[i]);
            if (c >= 0x20 && c != '"' && c != '\\') continue;
            out.append(s, plain, i - plain);
            plain = i + 1;
            switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default:
                out += "\\u00";
                out += Hex[c >> 4];
                out += Hex[c & 15];
            }
        }
    }
    out.append(s, plain, s.size() - plain);
    out += '"';
}

void AppendJsonNumber(std::string& out, double v)
{
    if (std::isnan(v))
        out += "\"nan\"";
    else if (std::isinf(v))
        out += v > 0 ? "\"inf\"" : "\"-inf\"";
    else {
        // FormatShortest's very conversion, without a string to hold it.
        std::array<char, 32> buffer;
        out.append(buffer.data(), std::to_chars(buffer.data(), buffer.data() + buffer.size(), v).ptr);
    }
}

// A value of the modes table, right-aligned in width; "-" where it is not defined.
void AppendCell(std::string& out, double value, int width, int precision)
{
    const std::size_t start = out.size();
    if (std::isnan(value))
        out.append(static_cast<std::size_t>(width) - 1, ' ') += '-';
    else
        AppendG(out, value, width, precision);
    // A value as wide as its column or wider (a share of 0.000541 %) must
    // not run into the one before it and be read as part of it.
    if (out[start] != ' ') out.insert(start, 1, ' ');
}

// A share in per cent, as the window shows it, right-aligned in width, with
// its sign; "-" where it is not defined.
void AppendShare(std::string& out, double share, std::size_t width, bool sign)
{
    const std::string text = std::isnan(share) ? "-" : ShareText(share);
    out.append(width > text.size() ? width - text.size() : 1, ' ') += text;
    if (sign && !std::isnan(share)) out += " %";
}

// A direction's unit of mass for a terminal and for JSON: kg, or kg m^2 for a rotation.
std::string MassUnitWord(Direction d) { return IsRotation(d) ? "kg m^2" : "kg"; }

// A quantity of a mode: null where it is not defined.
void AppendJsonQuantity(std::string& out, double v)
{
    if (std::isnan(v))
        out += "null";
    else
        AppendJsonNumber(out, v);
}

// One number a mode.
void AppendJsonColumn(std::string& out, const std::vector<double>& values, const std::vector<double>* divisor)
{
    out += '[';
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (k > 0) out += ", ";
        AppendJsonQuantity(out, divisor != nullptr ? values[k] / (*divisor)[k] : values[k]);
    }
    out += ']';
}

// Gamma = L / M* of each mode, for the shapes as normalised.
void AppendJsonGamma(std::string& out, const std::vector<double>& participation, const std::vector<double>& divisor)
{
    out += '[';
    for (std::size_t k = 0; k < participation.size(); ++k) {
        if (k > 0) out += ", ";
        AppendJsonQuantity(out, ModalFactorsOf(participation[k], 0.0, divisor[k]).gamma);
    }
    out += ']';
}


void AppendJsonByDirection(std::string& out, std::span<const Direction> directions,
                           const std::vector<DirectionParticipation>* byDirection, const std::vector<double>& divisor)
{
    out += ", \"directions\": [";
    for (std::size_t i = 0; i < directions.size(); ++i) {
        if (i > 0) out += ", ";
        AppendJsonString(out, DirectionLabel(directions[i]));
    }
    out += "], \"by_direction\": ";
    if (byDirection == nullptr) {
        out += "null";
        return;
    }
    out += '{';
    for (std::size_t d = 0; d < byDirection->size(); ++d) {
        const DirectionParticipation& p = (*byDirection)[d];
        if (d > 0) out += ", ";
        AppendJsonString(out, DirectionLabel(p.direction));
        out += ": {\"mass_unit\": ";
        AppendJsonString(out, MassUnitWord(p.direction));
        out += ", \"total_mass\": ";
        AppendJsonQuantity(out, p.totalMass);
        out += ", \"sum\": ";
        AppendJsonQuantity(out, p.sum);
        out += ", \"participation\": ";
        AppendJsonColumn(out, p.participation, &divisor);
        out += ", \"gamma\": ";
        AppendJsonGamma(out, p.participation, divisor);
        out += ", \"effective_mass\": ";
        AppendJsonColumn(out, p.effectiveMass);
        out += ", \"share\": ";
        AppendJsonColumn(out, p.share);
        out += ", \"cumulative\": ";
        AppendJsonColumn(out, p.cumulative);
        out += ", \"reaches_90\": ";
        out += p.reaches90 == 0 ? "null" : std::to_string(p.reaches90);
        out += '}';
    }
    out += '}';
}

}  // namespace varno
