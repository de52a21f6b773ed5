#include "core/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tests/harness.h"

namespace varno::test {
namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

struct ParseCase {
    const char* name;
    const char* text;
    double expected;
    std::size_t prefix;
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

// The grammar, one row per rule and per way of breaking it.
const ParseCase ParseTable[] = {
    {"empty", "", 0.0, 0},
    {"only_blanks", "   \t", 0.0, 0},
    {"integer", "12", 12.0, 2},
    {"leading_blanks_skipped", " \t\n\v\f\r7", 7.0, 7},
    {"plus_sign", "+3", 3.0, 2},
    {"minus_zero", "-0", -0.0, 2},
    {"fraction_only", ".5", 0.5, 2},
    {"trailing_point", "5.", 5.0, 2},
    {"lone_point", ".", 0.0, 0},
    {"lone_sign", "-", 0.0, 0},
    {"sign_point", "-.", 0.0, 0},
    {"exponent", "2.5e2", 250.0, 5},
    {"exponent_junk_after", "2.5e2x", 250.0, 5},
    {"capital_exponent_signed", "1E-3", 1e-3, 4},
    {"exponent_without_digits", "1e", 1.0, 1},
    {"exponent_sign_without_digits", "1e+", 1.0, 1},
    {"exponent_alone", "e5", 0.0, 0},
    {"decimal_comma_stops", "1,5", 1.0, 1},
    {"hex_is_not_a_number", "0x10", 0.0, 1},
    {"inf_is_not_a_number", "inf", 0.0, 0},
    {"nan_is_not_a_number", "nan", 0.0, 0},
    {"letters", "abc", 0.0, 0},
    {"blank_between_sign_and_digits", "- 1", 0.0, 0},
    {"second_point_stops", "1.2.3", 1.2, 3},
    {"overflow", "1e400", Inf, 5},
    {"negative_overflow", "-1e400", -Inf, 6},
    {"long_mantissa_overflow", "99999999999999999999e300", Inf, 24},
    {"huge_exponent_digits", "1e99999999999999999999", Inf, 22},
    {"underflow_to_zero", "1e-400", 0.0, 6},
    {"negative_underflow", "-1e-400", -0.0, 7},
    {"small_fraction_underflow", "0.000001e-320", 0.0, 13},
    {"subnormal", "4.9e-324", 4.9406564584124654e-324, 8},
    {"max_double", "1.7976931348623157e308", 1.7976931348623157e308, 22},
    {"zero_with_huge_exponent", "0e99999", 0.0, 7},
    {"many_digits", "0.1000000000000000055511151231257827", 0.1, 36},
};

class ParseGrammar : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseGrammar, TakesLongestDecimalPrefix)
{
    const ParseCase& c = GetParam();
    EXPECT_EQ(Bits(ParseCellText(c.text)), Bits(c.expected)) << '"' << c.text << '"';
    EXPECT_EQ(NumberPrefixLength(c.text), c.prefix) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(Table, ParseGrammar, ::testing::ValuesIn(ParseTable),
                         [](const auto& row) { return std::string(row.param.name); });

struct FormatCase {
    double value;
    int width;
    int precision;
};

const FormatCase FormatTable[] = {
    {0.0, 14, 4},      {-0.0, 14, 4},     {123.456, 14, 4},     {0.5, 14, 4},       {1e-5, 14, 4},
    {0.0001, 14, 4},   {1234.5, 14, 4},   {9999.5, 14, 4},      {99995.0, 11, 5},   {123456.0, 11, 5},
    {-10.5, 11, 5},    {1e-8, 11, 5},     {1e300, 12, 4},       {-2.5e-310, 12, 4}, {Inf, 12, 4},
    {-Inf, 11, 5},     {NAN, 12, 4},      {0.19806226419516, 12, 4}, {3.0, 12, 4},  {1e100, 2, 4},
};

// The C library's printf in the "C" locale is the reference for "%W.Pg".
std::string Printf(double v, int width, int precision)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%*.*g", width, precision, v);
    return buffer;
}

TEST(FormatG, MatchesPrintfInTheCLocale)
{
    for (const auto& c : FormatTable)
        EXPECT_EQ(FormatG(c.value, c.width, c.precision), Printf(c.value, c.width, c.precision)) << c.value;
}

TEST(FormatG, MatchesPrintfOnRandomValues)
{
    std::mt19937_64 rng(20261208);
    std::printf("FormatG random seed 20261208\n");
    for (int k = 0; k < 20000; ++k) {
        const double v = std::bit_cast<double>(rng());
        if (std::isnan(v)) continue;
        for (const int precision : {4, 5}) ASSERT_EQ(FormatG(v, 12, precision), Printf(v, 12, precision)) << v;
    }
}

// Where reports live (mostly 1e-20 ... 1e20, a quarter anywhere), every
// precision to 9, with decimal midpoints, their neighbours and exact binary
// ties, which decide rounding.
TEST(FormatG, MatchesPrintfWhereReportsLive)
{
    std::mt19937_64 rng(20261210);
    std::printf("FormatG report-range seed 20261210\n");
    std::uniform_real_distribution<double> decade(-21.0, 21.0);
    std::uniform_real_distribution<double> anywhere(-323.0, 308.0);
    for (int k = 0; k < 100000; ++k) {
        const int precision = 1 + static_cast<int>(rng() % 9);
        const double v = std::pow(10.0, k % 4 == 3 ? anywhere(rng) : decade(rng)) * (k % 2 ? -1.0 : 1.0);
        // The nearest double to a decimal midpoint of this precision: the
        // digits printed, then a 5.
        char text[40];
        std::snprintf(text, sizeof text, "%.*e", precision - 1, v);
        std::string digits = text;
        digits.insert(digits.find('e'), precision == 1 ? ".5" : "5");
        const double midpoint = std::strtod(digits.c_str(), nullptr);
        for (const double x : {v, midpoint, std::nextafter(midpoint, 0.0), std::nextafter(midpoint, Inf)})
            ASSERT_EQ(FormatG(x, 12, precision), Printf(x, 12, precision)) << x << " precision " << precision;
    }
    for (const double tie : {0.125, 0.375, 2.5, 12.5, 1234.5, 99995.0, 999950.0, 0.03125})
        for (int precision = 1; precision <= 9; ++precision)
            EXPECT_EQ(FormatG(tie, 12, precision), Printf(tie, 12, precision)) << tie << " precision " << precision;
}

TEST(CellDisplayText, KeepsThePlainRenderingWhereItIsExact)
{
    EXPECT_EQ(CellDisplayText(0.0), "             0");
    EXPECT_EQ(CellDisplayText(-0.0), "            -0");
    EXPECT_EQ(CellDisplayText(0.5), "           0.5");
    EXPECT_EQ(CellDisplayText(2.0), "             2");
    EXPECT_EQ(CellDisplayText(123.5), "         123.5");
    EXPECT_EQ(CellDisplayText(1e-5), "         1e-05");
}

TEST(CellDisplayText, ShowsEveryDigitWhereFourAreNotEnough)
{
    EXPECT_EQ(CellDisplayText(123.456), "       123.456");
    EXPECT_EQ(CellDisplayText(0.1), "           0.1");
    EXPECT_EQ(CellDisplayText(1.0 / 3.0), "0.3333333333333333");
    EXPECT_EQ(Bits(ParseCellText(CellDisplayText(Inf))), Bits(Inf));
    EXPECT_EQ(Bits(ParseCellText(CellDisplayText(-Inf))), Bits(-Inf));
}

// Every finite double, every magnitude, subnormals and -0: the displayed text
// reads back to the very same bits.
TEST(CellDisplayText, RoundTripsRandomDoubles)
{
    std::mt19937_64 rng(42);
    std::printf("CellDisplayText random seed 42\n");
    for (int k = 0; k < 100000; ++k) {
        double v = std::bit_cast<double>(rng());
        if (std::isnan(v)) continue;
        if (k % 7 == 0) v = std::ldexp(static_cast<double>(rng() % 4096), -1074 + static_cast<int>(rng() % 60));
        const std::string text = CellDisplayText(v);
        ASSERT_GE(text.size(), 14u);
        ASSERT_EQ(Bits(ParseCellText(text)), Bits(v)) << text;
        ASSERT_EQ(CellTextNote(text), "") << text;  // what the program writes is read whole
    }
}

// What a cell's mark says, or "" for no mark.
const struct {
    const char* text;
    const char* note;
} NoteTable[] = {
    {"", ""},
    {"   ", ""},
    {"  1.5", ""},
    {"1.5 ", ""},
    {"-0", ""},
    {"             0", ""},
    {"0e-999", ""},
    {"1,5", "read as 1"},
    {"4,5", "read as 4"},
    {"      2      0", "read as 2"},
    {"2.5e2x", "read as 250"},
    {"abc", "read as 0"},
    {"-", "read as 0"},
    {"1e999", "too large: read as infinity"},
    {"-1e+999", "too large: read as -infinity"},
    {"1e-999", "too small: read as 0"},
};

TEST(CellTextNote, SaysWhatWasStored)
{
    for (const auto& row : NoteTable) EXPECT_EQ(CellTextNote(row.text), row.note) << "[" << row.text << "]";
}

// Qt puts the C library into the user's locale; a decimal comma must change
// neither what a cell reads nor what a report prints.
class CommaLocale : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 not installed";
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%.1f", 1.5);
        ASSERT_STREQ(buffer, "1,5") << "the locale did not take effect";
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(CommaLocale, ParsingAndFormattingStayDecimalPoint)
{
    for (const auto& c : ParseTable) EXPECT_EQ(Bits(ParseCellText(c.text)), Bits(c.expected)) << c.name;
    EXPECT_EQ(FormatG(0.25, 11, 5), "       0.25");
    EXPECT_EQ(CellDisplayText(123.456), "       123.456");
}

TEST_F(CommaLocale, CellNotesStayDecimalPoint)
{
    for (const auto& row : NoteTable) EXPECT_EQ(CellTextNote(row.text), row.note) << "[" << row.text << "]";
}

TEST_F(CommaLocale, ReportsUseDecimalPoint)
{
    Harness h;
    const double k[2][2] = {{2.5, 0}, {0, 7}};
    const double m[2][2] = {{1, 0}, {0, 2}};
    h.Load(k, m);
    h.Calculate();
    ASSERT_EQ(h.channel.messages.size(), 1u);
    EXPECT_EQ(h.channel.messages[0], "Eigenvalues \n\n lambda1=         2.5 \n lambda2=         3.5");
}

// The texts of pencils that are not definite: the n = 4 complex form, and the
// refusal of an entry that is not finite.
TEST_F(CommaLocale, GeneralPencilTextsUseDecimalPoint)
{
    Harness h;
    const double k[4][4] = {{0, 0.5, 0, 0}, {0.5, 0, 0, 0}, {0, 0, 0, 1.5}, {0, 0, 1.5, 0}};
    const double m[4][4] = {{1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, -1}};
    h.Load(k, m);
    h.Calculate();
    EXPECT_EQ(h.channel.messages, std::vector<std::string>{"\n\n  Eigenvalues \n\n lambda1 =           0 +j (       -1.5) "
                                                          "\n lambda2 =           0 +j (       -0.5) \n lambda3 =  "
                                                          "         0 +j (        0.5) \n lambda4 =           0 +j (  "
                                                          "      1.5) "});
    Harness typed;
    typed.SelectDimension(2);
    typed.SelectAction(0);
    typed.Type(1, 1, "2,5");
    typed.Type(2, 2, "1e999");
    typed.SelectAction(1);
    typed.Type(1, 1, "1");
    typed.Type(2, 2, "1");
    typed.Calculate();
    EXPECT_EQ(typed.channel.messages, std::vector<std::string>{" K(2,2) is not a finite number."});
}

}  // namespace
}  // namespace varno::test
