// The problem file: what Save writes reads back to the very bits, through
// Open and through the batch command, and Open takes exactly what the batch
// command takes, with the same fault on the same line.
#include "core/problem_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>

#include "cli/batch.h"
#include "cli/problem_stream.h"

namespace varno::test {
namespace {

// As Open reads a file: a few bytes at a time, so that every line and mark
// also arrives split.
ProblemFileScan Scan(std::string_view text, std::size_t chunk = 7)
{
    TextSource in(text, chunk);
    return ScanProblemFile(in);
}

std::uint64_t Bits(double x) { return std::bit_cast<std::uint64_t>(x); }

TEST(ProblemFile, WrittenFileReadsBackToTheSameBits)
{
    using L = std::numeric_limits<double>;
    const double tricky[] = {0.1,          -0.0,         L::denorm_min(),  -L::denorm_min(), L::min(),
                             L::min() / 3, 1e308,        L::max(),         -L::max(),        L::infinity(),
                             1.0 / 3,      123.456,      1e-5,             0.30000000000000004, -2.5e-310,
                             9007199254740993.0, 1e23,   4.35,             -1e-300,          0.0};
    Matrix10 K{}, M{};
    std::size_t k = 0;
    for (Matrix10* X : {&K, &M})
        for (std::size_t i = 1; i <= 4; ++i)
            for (std::size_t j = i; j <= 4; ++j) (*X)[i][j] = tricky[k++ % std::size(tricky)];
    const std::vector<Direction> directions = {Direction::X, Direction::Y, Direction::RZ, Direction::None};
    const std::string text = WriteProblemFile(K, M, 4, "9.8", directions);
    EXPECT_TRUE(text.starts_with("# n = 4, written by varno 9.8\nK\n0.1 -0 5e-324 -5e-324\n")) << text;
    EXPECT_TRUE(text.ends_with("\n# directions: x,y,rz,none\n")) << text;
    EXPECT_EQ(WriteProblemFile(K, M, 2, "9.8", {Direction::X, Direction::X}).find("directions"), std::string::npos);
    const ProblemFileScan read = Scan(text);
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.count, 1);
    const FileProblem& p = read.first;
    EXPECT_EQ(p.n, 4);
    EXPECT_EQ(p.line, 2);
    const BatchParse batch = ParseProblemFile(text, 1, true);  // strict: not one entry misread
    ASSERT_TRUE(batch.ok()) << batch.Message();
    for (std::size_t i = 1; i <= 4; ++i)
        for (std::size_t j = i; j <= 4; ++j) {
            EXPECT_EQ(Bits(p.K[i][j]), Bits(K[i][j])) << i << j;
            EXPECT_EQ(Bits(p.M[i][j]), Bits(M[i][j])) << i << j;
            EXPECT_EQ(Bits(batch.problem.K[i - 1][j - 1]), Bits(K[i][j])) << i << j;
            EXPECT_EQ(Bits(batch.problem.M[i - 1][j - 1]), Bits(M[i][j])) << i << j;
        }
    EXPECT_EQ(p.kTexts.front(), "0.1");
    EXPECT_EQ(p.directions, directions);
    EXPECT_EQ(batch.problem.directions, directions);
}

// Each text as Open reads it and as the batch command answers it.
TEST(ProblemFile, OpenTakesWhatTheBatchCommandTakes)
{
    const struct {
        std::string text;
        int problems;
        const char* error;  // Open's; the batch command's names the same fault
    } cases[] = {
        {"\xEF\xBB\xBF# bar\r\n K \r\n2 0\r\n6\r\n\nM\n1 0\n2\nK\n2 1 0\n2 1\n2\nM\n1 0 0\n1 0\n1", 2, ""},
        {"K\n2 0\n6\nM\n1 0\n", 0, "line 5: M has 1 row; n is 2, so a row of M is missing."},
        {"K\n2 0 0\n6 0\n1\nM\n", 0, "line 5: M has 0 rows; n is 3, so 3 rows of M are missing."},
        {"K\nK\n2 0\n6\nM\n1 0\n2\n", 0, "line 1: K has no rows."},
        {"K\n2 -1; 2\nM\n1 0; 1\n", 0,
         "line 1: K has 1 row; n must be 2, 3, 4, 5 or 6; \";\" does not separate rows in a file, where each row has a "
         "line of its own."},
        {"K\n2 0\n6\nM\n1 0\n2\nK\n1 2\n3 4 5\nM\n1 0\n1\n", 0, "line 9: row 2 of K has 3 entries; expected 1 or 2."},
        {"1 2\nK\n", 0, "line 1: rows before the line \"K\"."},
        {"# nothing\n", 0, "line 1: no line \"K\" in the input."},
        {"K\n1 0\n0 1\n", 0, "line 1: no line \"M\" in the input."},
        // Directions ride in a comment after "K": read, or named for what is wrong.
        {"K\n2 0\n6\nM\n1 0\n2\n# directions: x,rz\n", 1, ""},
        {"# directions: q\nK\n2 0\n6\nM\n1 0\n2\n", 1, ""},  // before "K": a comment
        {"K\n2 0\n6\nM\n1 0\n2\n# directions: x,q\n", 0,
         "line 7: directions: \"q\" is not a direction (x, y, z, rx, ry, rz or none)."},
        {"K\n2 0\n6\nM\n1 0\n2\n# directions: x\n", 0, "line 7: the directions line gives 1 label for n = 2."},
        {"K\n# directions: x,y\n2 0\n6\nM\n1 0\n2\n# directions: x,y\n", 0,
         "line 8: a second directions line; the first is on line 2."},
        // Lines too long to keep: blanks read as one, anything else is too much.
        {"K" + std::string(3 << 20, ' ') + "\n2 0\n6\nM\n1 0\n2\n", 1, ""},
        {"K\n2 0" + std::string(3 << 20, '0') + "\n6\nM\n1 0\n2\n", 0,
         "line 2: the rows of this problem hold more than 1 MiB."},
    };
    for (const auto& c : cases) {
        const ProblemFileScan read = Scan(c.text, c.text.size() > 4096 ? 1 << 16 : 7);
        EXPECT_EQ(read.error, c.error) << c.text.substr(0, 80);
        EXPECT_EQ(read.count, c.problems) << c.text.substr(0, 80);
        std::string out, err;
        const int status = RunProblemText(c.text, out, err, {});
        EXPECT_EQ(status == 2, !read.ok()) << c.text.substr(0, 80);
        if (read.ok()) continue;
        // The same reason, the batch command's first message.
        const std::string reason = read.error.substr(read.error.find(": ") + 2, read.error.size() - 1 - read.error.find(": ") - 2);
        EXPECT_NE(err.substr(0, err.find('\n')).find(reason), std::string::npos) << err;
        EXPECT_EQ(read.errorLine, std::stoi(read.error.substr(5)));
    }
}

// Open keeps what its list needs, however many problems a file holds; its
// line numbers go past 2^31; a file whose first line is no "K" is told apart.
TEST(ProblemFile, OpenStaysBoundedAndCountsEveryLine)
{
    // Problems without end, made as they are read.
    struct Many final : ByteSource {
        std::int64_t left;
        explicit Many(std::int64_t count) : left(count) {}
        std::ptrdiff_t Read(char* data, std::size_t size) override
        {
            constexpr std::string_view One = "K\n1 0\n1\nM\n1 0\n1\n";
            std::size_t put = 0;
            for (; left > 0 && put + One.size() <= size; --left, put += One.size()) One.copy(data + put, One.size());
            return static_cast<std::ptrdiff_t>(put);
        }
    } many(MaxListedProblems + 25);
    const ProblemFileScan scan = ScanProblemFile(many);
    EXPECT_EQ(scan.count, static_cast<std::int64_t>(MaxListedProblems) + 25);
    EXPECT_EQ(scan.listed.size(), MaxListedProblems);
    EXPECT_EQ(scan.listed.back().line, 6 * static_cast<std::int64_t>(MaxListedProblems) - 5);
    EXPECT_EQ(scan.listed.back().offset, 16 * (MaxListedProblems - 1));

    TextSource far("K\n2 0\n6\nM\n1 0\n");
    const ProblemFileScan late = ScanProblemFile(far, {.firstLine = std::int64_t{1} << 31});
    EXPECT_EQ(late.error, "line 2147483652: M has 1 row; n is 2, so a row of M is missing.");

    // A file of rows that never ends is refused at its first line.
    struct Endless final : ByteSource {
        std::ptrdiff_t Read(char* data, std::size_t size) override
        {
            for (std::size_t k = 0; k < size; ++k) data[k] = k % 4 == 3 ? '\n' : '1';
            return static_cast<std::ptrdiff_t>(size);
        }
    } endless;
    EXPECT_EQ(ScanProblemFile(endless).error, "line 1: rows before the line \"K\".");

    const struct {
        const char* text;
        bool notProblems;
    } starts[] = {{"notes on the beam\nK\n", true}, {"# mine\n\nM\n", true}, {"K\n1 2 3\n", false}};
    for (const auto& start : starts) EXPECT_EQ(Scan(start.text).notProblems, start.notProblems) << start.text;
}

}  // namespace
}  // namespace varno::test
