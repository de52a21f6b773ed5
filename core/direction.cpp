#include "core/direction.h"

#include <array>

#include "core/message_text.h"

namespace varno {
namespace {

constexpr std::array<std::string_view, 7> Labels = {"none", "x", "y", "z", "rx", "ry", "rz"};

}  // namespace

std::string_view DirectionLabel(Direction d) { return Labels[static_cast<std::size_t>(d)]; }

std::optional<Direction> DirectionOfLabel(std::string_view label)
{
    for (std::size_t d = 0; d < Labels.size(); ++d)
        if (Labels[d] == label) return static_cast<Direction>(d);
    return std::nullopt;
}

bool IsRotation(Direction d) { return d == Direction::RX || d == Direction::RY || d == Direction::RZ; }

std::string ParseDirections(std::string_view text, std::vector<Direction>& directions)
{
    directions.clear();
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view word = text.substr(start, comma == std::string_view::npos ? comma : comma - start);
        const std::optional<Direction> d = DirectionOfLabel(word);
        if (!d) {
            directions.clear();
            std::string why(1, '"');
            AppendEscaped(why, word);
            return why + "\" is not a direction (x, y, z, rx, ry, rz or none)";
        }
        directions.push_back(*d);
        if (comma == std::string_view::npos) return {};
        start = comma + 1;
    }
}

std::string DirectionsText(const std::vector<Direction>& directions)
{
    std::string text;
    for (const Direction d : directions) (text += text.empty() ? "" : ",") += DirectionLabel(d);
    return text;
}

}  // namespace varno
