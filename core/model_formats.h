// The three forms a matrix of a model comes in, each read from its text:
// Matrix Market coordinate, "row column value" triplets (CalculiX), rows
// of delimited numbers. What each gives is the entries as given, with the
// line of each, or the first fault in one line naming the file and the line.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/model_import.h"
#include "core/order.h"

namespace varno {

inline constexpr auto ModelOrder = static_cast<std::size_t>(MaxOrder);

// One matrix as read: the entries given, each with its line (0: not given),
// n x n once its size is known and taken.
struct Dense {
    int n = 0;
    std::vector<double> a;
    std::vector<std::int64_t> line;
    std::string error;
    double& A(std::size_t i, std::size_t j) { return a[i * static_cast<std::size_t>(n) + j]; }
    double A(std::size_t i, std::size_t j) const { return a[i * static_cast<std::size_t>(n) + j]; }
    std::int64_t& Line(std::size_t i, std::size_t j) { return line[i * static_cast<std::size_t>(n) + j]; }
    std::int64_t Line(std::size_t i, std::size_t j) const { return line[i * static_cast<std::size_t>(n) + j]; }
};

// One matrix of format from text; name is what messages call its file. A
// file of triplets writes no line for a last row and column of zeros (a
// degree of freedom without mass), so its n is only the largest index,
// which may be above cap (nothing is then kept, and nothing allocated): the
// caller weighs it against the other matrix. A size above cap is refused
// before anything is allocated for it.
Dense ReadModelMatrix(std::string_view name, ModelFormat format, std::string_view text, int cap = MaxOrder);

// Why a model of order degrees of freedom is not taken ("the model has 7
// degrees of freedom; the program takes at most 6"); "" where it is.
std::string ModelSizeFault(std::int64_t order, int cap = MaxOrder);

// ASCII letters in lower case: all the formats' words and extensions need.
inline std::string Lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
    return out;
}

// Without the blanks, tabs and CR around it.
inline std::string_view Trim(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// Calls each(line, number) for every line of text, the final CR gone.
template <class Each>
void ForEachLine(std::string_view text, Each each)
{
    std::int64_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        start = end + 1;
        if (!each(line, ++number)) return;
    }
}

}  // namespace varno
