#include "core/number_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace varno {
namespace {

bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct Scan {
    std::size_t begin = 0;  // first character of the number (its sign)
    std::size_t end = 0;    // one past the last; end == begin when none
};

Scan ScanNumber(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && IsCSpace(s[i])) ++i;
    Scan scan{i, i};
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return scan;
    std::size_t end = i;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t k = i + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        std::size_t expDigits = 0;
        while (k < s.size() && IsDigit(s[k])) ++k, ++expDigits;
        if (expDigits > 0) end = k;
    }
    scan.end = end;
    return scan;
}

// from_chars refuses values outside the double range without saying which
// side they fell off. The decimal exponent of the first significant digit
// tells: at least 0 means the value is huge, below 0 that it is tiny.
bool IsHuge(std::string_view number)
{
    const std::size_t ePos = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, ePos);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return false;  // zero never overflows
    const std::int64_t lead = first < point ? static_cast<std::int64_t>(point - first) - 1
                                            : -static_cast<std::int64_t>(first - point);
    std::int64_t exponent = 0;
    bool negative = false;
    if (ePos != std::string_view::npos) {
        std::size_t i = ePos + 1;
        if (number[i] == '+' || number[i] == '-') negative = number[i++] == '-';
        for (; i < number.size(); ++i)
            if (exponent < 1'000'000'000) exponent = exponent * 10 + (number[i] - '0');
    }
    return lead + (negative ? -exponent : exponent) >= 0;
}

// "%.<precision>g" of value into out, the common case fast: any normal
// value, precision <= 9. The value times a power of ten is formed in long
// double (64-bit mantissa): with one rounding of an exact power up to 10^27,
// beyond with at most 15 roundings in all, a relative error below 1e-18. So
// the scaled value (below 10^9) is known to better than 1e-9 of a unit, and
// only a near tie, where that could decide wrongly, is left to the exact
// conversion. No library call on the way: this runs for every value of every
// report. Returns the length, or 0 where the exact conversion must do it.
std::size_t FormatGFast(double value, int precision, char* out)
{
    if constexpr (std::numeric_limits<long double>::digits < 64) {
        return 0;
    } else {
        static constexpr long double Exact[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,
                                                1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L,
                                                1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L, 1e22L, 1e23L,
                                                1e24L, 1e25L, 1e26L, 1e27L, 1e28L, 1e29L};
        // 10^k for 0 <= k <= 340: exact up to 10^27, then in steps of 10^27.
        const auto power = [](int k) {
            long double p = 1.0L;
            for (; k > 27; k -= 27) p *= Exact[27];
            return p * Exact[k];
        };
        const auto bits = std::bit_cast<std::uint64_t>(value);
        const int biased = static_cast<int>((bits >> 52) & 0x7ff);
        if (biased == 0 || biased == 0x7ff || precision < 1 || precision > 9) return 0;  // zero, subnormal, inf, NaN
        const double magnitude = std::fabs(value);
        // floor(log10(2^(biased - 1023))), exact over the whole range; the
        // value's own decimal exponent is this or one more.
        int exponent = ((biased - 1023) * 78913) >> 18;
        const long double low = Exact[precision - 1];
        const long double high = Exact[precision];
        long double scaled = 0.0L;
        for (int attempt = 0; attempt < 2; ++attempt) {  // bring scaled into [10^(p-1), 10^p)
            const int shift = precision - 1 - exponent;
            const auto m = static_cast<long double>(magnitude);
            scaled = shift >= 0 ? m * power(shift) : m / power(-shift);
            if (scaled < high) break;
            ++exponent;
        }
        if (!(scaled >= low && scaled < high)) return 0;
        // The nearest integer by the long double's own rounding (2^63 has a
        // unit in its last place of 1), then the integer part and the
        // fraction, both exact.
        constexpr long double Round = 0x1p63L;
        long double whole = (scaled + Round) - Round;
        if (whole > scaled) whole -= 1.0L;
        const long double fraction = scaled - whole;
        if (fraction - 0.5L < 1e-9L && 0.5L - fraction < 1e-9L) return 0;
        auto digits = static_cast<std::uint64_t>(static_cast<double>(whole)) + (fraction > 0.5L ? 1 : 0);
        if (static_cast<long double>(digits) == high) {  // 9.99995 -> 10.000
            digits /= 10;
            ++exponent;
        }
        char d[10];
        for (int i = precision - 1; i >= 0; --i, digits /= 10) d[i] = static_cast<char>('0' + digits % 10);
        int used = precision;  // trailing zeros go, as %g drops them
        char* p = out;
        if (value < 0) *p++ = '-';
        if (exponent < -4 || exponent >= precision) {
            while (used > 1 && d[used - 1] == '0') --used;
            *p++ = d[0];
            if (used > 1) {
                *p++ = '.';
                for (int i = 1; i < used; ++i) *p++ = d[i];
            }
            *p++ = 'e';
            *p++ = exponent < 0 ? '-' : '+';
            const int e = exponent < 0 ? -exponent : exponent;
            if (e >= 100) *p++ = static_cast<char>('0' + e / 100);
            *p++ = static_cast<char>('0' + e / 10 % 10);
            *p++ = static_cast<char>('0' + e % 10);
        } else {
            const int integer = exponent + 1;  // digits before the point; <= 0 means "0.000ddd"
            while (used > std::max(integer, 1) && d[used - 1] == '0') --used;
            if (integer <= 0) {
                *p++ = '0';
                *p++ = '.';
                for (int i = 0; i < -integer; ++i) *p++ = '0';
                for (int i = 0; i < used; ++i) *p++ = d[i];
            } else {
                for (int i = 0; i < integer; ++i) *p++ = d[i];
                if (used > integer) {
                    *p++ = '.';
                    for (int i = integer; i < used; ++i) *p++ = d[i];
                }
            }
        }
        return static_cast<std::size_t>(p - out);
    }
}

}  // namespace

std::size_t NumberPrefixLength(std::string_view text)
{
    const Scan scan = ScanNumber(text);
    return scan.end == scan.begin ? 0 : scan.end;
}

double ParseCellText(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // With the sign gone and a digit or point next, from_chars takes exactly
    // the grammar's longest prefix: no second sign, "inf", "nan" or hex can
    // start there, and an exponent counts only with its digits.
    if (i == text.size() || !(IsDigit(text[i]) || text[i] == '.')) return 0.0;
    const char* begin = text.data() + i;
    double magnitude = 0.0;
    const auto result = std::from_chars(begin, text.data() + text.size(), magnitude, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument) return 0.0;  // a point without digits
    if (result.ec == std::errc::result_out_of_range)
        magnitude = IsHuge({begin, static_cast<std::size_t>(result.ptr - begin)})
                        ? std::numeric_limits<double>::infinity()
                        : 0.0;
    return negative ? -magnitude : magnitude;
}

std::string CellTextNote(std::string_view text)
{
    const Scan scan = ScanNumber(text);
    const bool number = scan.end > scan.begin;
    const std::string_view rest = text.substr(number ? scan.end : scan.begin);
    const bool restBlank = std::all_of(rest.begin(), rest.end(), IsCSpace);
    if (!number) return restBlank ? std::string() : "read as 0";
    const double value = ParseCellText(text);
    if (std::isinf(value)) return value > 0 ? "too large: read as infinity" : "too large: read as -infinity";
    const std::string_view digits = text.substr(scan.begin, scan.end - scan.begin);
    const std::size_t ePos = digits.find_first_of("eE");
    if (value == 0.0 && digits.substr(0, ePos).find_first_of("123456789") != std::string_view::npos)
        return "too small: read as 0";
    return restBlank ? std::string() : "read as " + FormatShortest(value);
}

void AppendG(std::string& out, double value, int width, int precision)
{
    char buffer[64];
    std::size_t length = FormatGFast(value, precision, buffer);
    if (length == 0) {
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
        length = static_cast<std::size_t>(result.ptr - buffer);
    }
    const auto fieldWidth = static_cast<std::size_t>(width > 0 ? width : 0);
    if (length < fieldWidth) out.append(fieldWidth - length, ' ');
    out.append(buffer, length);
}

std::string FormatG(double value, int width, int precision)
{
    std::string text;
    AppendG(text, value, width, precision);
    return text;
}

std::string FormatShortest(double value)
{
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return {buffer.data(), result.ptr};
}

std::string BoundText(double bound)
{
    if (!std::isfinite(bound) || bound == 0.0) return FormatShortest(bound);
    // Two digits d.d and an exponent; one more in the last digit where
    // rounding to nearest went below the bound.
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, bound, std::chars_format::scientific, 1);
    const std::string text(buffer, written.ptr);
    double shown = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), shown);
    if (shown >= bound) return text;
    int digits = (text[0] - '0') * 10 + (text[2] - '0') + 1;
    int exponent = 0;
    const std::size_t e = text.find('e');
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), exponent);
    if (digits == 100) {
        digits = 10;
        ++exponent;
    }
    std::string up{static_cast<char>('0' + digits / 10), '.', static_cast<char>('0' + digits % 10), 'e',
                   exponent < 0 ? '-' : '+'};
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) up += '0';
    up += std::to_string(magnitude);
    return up;
}

std::string ExactText(double value)
{
    // No finite decimal is infinite, but any overflowing one reads back as
    // infinity, just as the user's own overflowing entry did.
    if (std::isinf(value)) return value > 0 ? "1e+999" : "-1e+999";
    return FormatShortest(value);
}

std::string CellDisplayText(double value)
{
    std::string text = FormatG(value, 14, 4);
    const auto same = [value](const std::string& t) {
        return std::bit_cast<std::uint64_t>(ParseCellText(t)) == std::bit_cast<std::uint64_t>(value);
    };
    if (same(text)) return text;
    std::string exact = ExactText(value);
    if (exact.size() < 14) exact.insert(0, 14 - exact.size(), ' ');
    return exact;
}

}  // namespace varno
