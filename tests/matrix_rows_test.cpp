// ROWS as pasted into the grid, and the text "Copy Matrix" writes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "core/matrix_rows.h"
#include "core/number_text.h"
#include "tests/harness.h"

namespace varno::test {
namespace {

TEST(PastedMatrix, ReadsRowsOfTheOrderShown)
{
    const struct {
        const char* name;
        const char* text;
        int n;
        bool reads;
        const char* row0;  // the upper row 0 as read, entries joined by '|'
    } rows[] = {
        {"spreadsheet", "1\t2\t3\n9\t4\t5\n9\t9\t6\n", 3, true, "1|2|3"},
        {"crlf", "1\t2\r\n2\t4\r\n", 2, true, "1|2"},
        {"semicolons_upper", "1 2 3; 4 5; 6", 3, true, "1|2|3"},
        {"mixed", "  -1.5e3 2\n\n 7 ;", 2, true, "-1.5e3|2"},
        {"one_number", "42", 3, false, ""},
        {"one_row", "1 2 3", 3, false, ""},
        {"too_many_rows", "1 2; 3 4; 5 6", 2, false, ""},
        {"ragged", "1 2 3\n4\n5 6", 3, false, ""},
        {"dimension_one", "1", 1, false, ""},
    };
    for (const auto& row : rows) {
        const auto upper = ReadPastedMatrix(row.text, row.n);
        ASSERT_EQ(upper.has_value(), row.reads) << row.name;
        if (!upper) continue;
        std::string row0;
        for (int j = 0; j < row.n; ++j) {
            if (j > 0) row0 += '|';
            row0 += (*upper)[0][static_cast<std::size_t>(j)];
        }
        EXPECT_EQ(row0, row.row0) << row.name;
    }
}

// Whatever the matrix holds, its copied text reads back to the same bits:
// every magnitude, -0, subnormals, infinities.
TEST(PastedMatrix, CopiedTextReadsBackBitForBit)
{
    std::mt19937_64 rng(4242);
    std::printf("copy/paste seed 4242\n");
    const double specials[] = {-0.0, 5e-324, std::numeric_limits<double>::infinity(), -1e308, 1.0 / 3.0};
    for (int trial = 0; trial < 2000; ++trial) {
        const int n = 2 + trial % 3;
        Matrix10 X{};
        for (int i = 1; i <= n; ++i)
            for (int j = i; j <= n; ++j) {
                double v = std::bit_cast<double>(rng());
                if (std::isnan(v) || trial % 5 == 0) v = specials[rng() % std::size(specials)];
                X[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = v;
            }
        const std::string text = MatrixRowsText(X, n);
        const auto upper = ReadPastedMatrix(text, n);
        ASSERT_TRUE(upper) << text;
        for (int i = 0; i < n; ++i)
            for (int j = i; j < n; ++j)
                ASSERT_EQ(Bits(ParseCellText((*upper)[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)])),
                          Bits(X[static_cast<std::size_t>(i + 1)][static_cast<std::size_t>(j + 1)]))
                    << text;
    }
}

}  // namespace
}  // namespace varno::test
