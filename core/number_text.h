// Number <-> text conversions for cells and reports.
//
// Qt switches the C library to the user's locale at start-up, so nothing here
// may go through atof, strtod or printf: a German desktop would otherwise read
// "1.5" as 1 and print "1,5". Everything is built on std::from_chars and
// std::to_chars, which are locale-independent by definition.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varno {

// atof semantics, decimal only: leading white space is skipped, then the
// longest prefix of the form
//     [+-] (digits [. [digits]] | . digits) [(e|E) [+-] digits]
// is converted; anything else gives 0.0. Hexadecimal, "inf" and "nan" are not
// numbers here. A prefix too large for a double gives +-inf (HUGE_VAL); a tiny
// one its correctly rounded value, possibly a signed zero.
double ParseCellText(std::string_view text);

// Length of that longest prefix, counted from the start of text (leading
// white space included); 0 when text holds no number.
std::size_t NumberPrefixLength(std::string_view text);

// Why a cell's stored value may not be what its text seems to say, for the
// user to see; empty when the text is read whole (blanks, one number or
// none, blanks). "read as 1" when text follows the number ("1,5"), "read as
// 0" for text that is no number, "too large: read as infinity" (or
// -infinity) when the number overflows, "too small: read as 0" when a
// non-zero number underflows to zero.
std::string CellTextNote(std::string_view text);

// printf("%<width>.<precision>g", value) in the "C" locale.
std::string FormatG(double value, int width, int precision);
// The same, appended to out.
void AppendG(std::string& out, double value, int width, int precision);

// The shortest decimal text that reads back to the same double.
std::string FormatShortest(double value);

// A bound for people: two significant digits, rounded up, so that what is
// shown still holds ("6.6e-12"); 0 and inf as they are.
std::string BoundText(double bound);

// The shortest text that a cell reads back as exactly value; an infinity,
// which no decimal equals, as "1e+999" or "-1e+999", which overflow to it.
std::string ExactText(double value);

// The text a grid cell shows for a stored value: "%14.4g" when that reads
// back to exactly the stored bits, else a text that does, right-aligned in 14
// characters. Redisplaying a matrix therefore never changes what the user
// typed.
std::string CellDisplayText(double value);

}  // namespace varno
