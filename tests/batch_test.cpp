#include "cli/batch.h"

#include <gtest/gtest.h>

namespace varno::test {
namespace {

TEST(BatchInput, AcceptsFullRowsAndTriangles)
{
    const BatchParse full = ParseRowsArguments("2 9; 0 6", "1 0;0 2");
    ASSERT_TRUE(full.ok()) << full.error;
    EXPECT_EQ(full.problem.n, 2);
    EXPECT_EQ(full.problem.K[0][1], 9);
    EXPECT_EQ(full.problem.K[1][1], 6);
    const BatchParse triangle = ParseRowsArguments("1 2 3; 4 5; 6", "1 0 0\t;\t1 0 ; 1");
    ASSERT_TRUE(triangle.ok()) << triangle.error;
    EXPECT_EQ(triangle.problem.K[1][2], 5);
    EXPECT_EQ(triangle.problem.K[2][2], 6);
    EXPECT_EQ(triangle.problem.M[2][2], 1);
}

TEST(BatchInput, EntriesParseLikeCells)
{
    const BatchParse p = ParseRowsArguments("-1 2.5e2x; abc 1,5", "1 0; 0 1");
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.problem.K[0][0], -1);
    EXPECT_EQ(p.problem.K[0][1], 250);
    EXPECT_EQ(p.problem.K[1][1], 1);  // the entry below the diagonal ("abc") is ignored
}

TEST(BatchInput, RejectionsSayWhatAndWhere)
{
    struct ArgumentCase {
        const char* k;
        const char* m;
        const char* message;
    };
    const ArgumentCase argumentCases[] = {
        {"1 2 3; 4 5 6 7; 8", "1 0 0; 1 0; 1", "row 2 of K has 4 entries; expected 2 or 3"},
        {"1 0; 1", "1 2; 3 4 5; ", "row 2 of M has 3 entries; expected 1 or 2"},
        {"1 0; 1", "1; 3", "row 1 of M has 1 entries; expected 2"},
        {"1", "1", "K has 1 rows; n must be 2, 3 or 4"},
        {"1 0; 1", "", "M has 0 rows; n must be 2, 3 or 4"},
        {"1 0 0 0 0; 1 0 0 0; 1 0 0; 1 0; 1", "1", "K has 5 rows; n must be 2, 3 or 4"},
        {"1 0 0; 1 0; 1", "1 0; 1", "K has 3 rows but M has 2"},
    };
    for (const auto& c : argumentCases) EXPECT_EQ(ParseRowsArguments(c.k, c.m).error, c.message) << c.k;
    const std::pair<const char*, const char*> fileCases[] = {
        {"1 2\nK\n", "line 1: rows before the line \"K\""},
        {"K\n1 0\n0 1\n", "no line \"M\" in the input"},
        {"# nothing\n\n", "no line \"K\" in the input"},
        {"M\n1 0\n", "line 1: unexpected \"M\"; the file holds a line K, K's rows, a line M, M's rows"},
        {"K\n1 0\n1 2 3\nM\n1 0\n1\n", "line 3: row 2 of K has 3 entries; expected 1 or 2"},
    };
    for (const auto& [text, message] : fileCases) EXPECT_EQ(ParseProblemFile(text).error, message) << text;
}

TEST(BatchInput, FileSkipsCommentsBlankLinesAndCarriageReturns)
{
    const BatchParse p = ParseProblemFile("# a bar\r\n\r\n K \r\n2 0\r\n6\r\n# mass\nM\n1 0\n2");
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.problem.K[1][1], 6);
    EXPECT_EQ(p.problem.M[1][1], 2);
}

TEST(BatchRun, JsonOfTheWorkedTwoByTwo)
{
    ProgramState state;
    const BatchRun run = RunBatch(ParseRowsArguments("2 0; 0 6", "1 0; 0 2").problem, state);
    EXPECT_EQ(ExitStatusOf(run), 0);
    EXPECT_EQ(JsonOutput(run),
              "{\"n\": 2, \"messages\": [\"Eigenvalues \\n\\n lambda1=           2 \\n lambda2=           3\"], "
              "\"reports\": [[[2, 0], [3, 0]]], \"mended\": false}\n");
    EXPECT_EQ(PlainOutput(run), "Eigenvalues \n\n lambda1=           2 \n lambda2=           3\n\n");
}

TEST(BatchRun, RefusedAndSingularEndWithoutAReport)
{
    for (const auto& [k, m] : {std::pair{"0 0; 0 0", "1 0; 0 1"}, std::pair{"1 0; 0 1", "1 1; 1 1"}}) {
        ProgramState state;
        const BatchRun run = RunBatch(ParseRowsArguments(k, m).problem, state);
        EXPECT_EQ(ExitStatusOf(run), 1) << k << " / " << m;
        EXPECT_EQ(run.channel.messages.size(), 1u);
    }
}

}  // namespace
}  // namespace varno::test
