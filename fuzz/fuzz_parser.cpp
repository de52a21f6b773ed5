// The cell parser against a plain reference: the grammar as a regular
// expression, the match converted with from_chars, and the direction of an
// out-of-range value taken from the C library's strtod in the "C" locale.
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <regex>
#include <string>
#include <string_view>

#include "core/number_text.h"

namespace {

double Reference(const std::string& text, std::size_t& length)
{
    static const std::regex number(R"(^[ \t\n\v\f\r]*([+-]?([0-9]+(\.[0-9]*)?|\.[0-9]+)([eE][+-]?[0-9]+)?))");
    std::smatch match;
    length = 0;
    if (!std::regex_search(text, match, number)) return 0.0;
    length = static_cast<std::size_t>(match.length(0));
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    // strtod_l's answer for a decimal string is the correctly rounded value
    // with +-HUGE_VAL on overflow: exactly what atof gives for the prefix.
    return strtod_l(match.str(1).c_str(), nullptr, c);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    // regex_search stops at nothing in particular; the parser stops at NUL
    // only because NUL is not part of a number. Both see the same bytes.
    std::size_t expectedLength = 0;
    const double expected = Reference(text, expectedLength);
    const double got = varno::ParseCellText(text);
    if (std::memcmp(&expected, &got, sizeof got) != 0) std::abort();
    if (varno::NumberPrefixLength(text) != expectedLength) std::abort();
    // What a cell shows for the value reads back to the same bits.
    const double again = varno::ParseCellText(varno::CellDisplayText(got));
    if (std::memcmp(&again, &got, sizeof got) != 0) std::abort();
    return 0;
}
