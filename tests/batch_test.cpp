#include "cli/batch.h"

#include <sched.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <iterator>
#include <sstream>

#include "cli/problem_stream.h"
#include "cli/progress.h"
#include "core/number_text.h"

namespace varno::test {
namespace {

TEST(BatchInput, AcceptsFullRowsAndTriangles)
{
    const BatchParse full = ParseRowsArguments("2 9; 0 6", "1 0;0 2");
    ASSERT_TRUE(full.ok()) << full.Message();
    EXPECT_EQ(full.problem.n, 2);
    EXPECT_EQ(full.problem.K[0][1], 9);
    EXPECT_EQ(full.problem.K[1][1], 6);
    const BatchParse triangle = ParseRowsArguments("1 2 3; 4 5; 6", "1 0 0\t;\t1 0 ; 1");
    ASSERT_TRUE(triangle.ok()) << triangle.Message();
    EXPECT_EQ(triangle.problem.K[1][2], 5);
    EXPECT_EQ(triangle.problem.K[2][2], 6);
    EXPECT_EQ(triangle.problem.M[2][2], 1);
}

TEST(BatchInput, EntriesParseLikeCells)
{
    const BatchParse p = ParseRowsArguments("-1 2.5e2x; abc 1,5", "1 0; 0 1");
    ASSERT_TRUE(p.ok()) << p.Message();
    EXPECT_EQ(p.problem.K[0][0], -1);
    EXPECT_EQ(p.problem.K[0][1], 250);
    EXPECT_EQ(p.problem.K[1][1], 1);  // the entry below the diagonal ("abc") is ignored
    // Bit for bit the cell's value, whichever way the entry is read.
    for (const char* entry : {"1", "-0", "+.5", "-1.e-3", "0.1000000000000000055511151231257827", "1e400", "-1e-400",
                              "4.9e-324", "1e", "1.", ".", "-", "+-1", "1e+", "nan", "inf", "0x1p3", "1,5", "\v2"}) {
        const BatchParse q = ParseRowsArguments(std::string("1 ") + entry + "; 1", "1 0; 1");
        EXPECT_EQ(std::bit_cast<std::uint64_t>(q.problem.K[0][1]), std::bit_cast<std::uint64_t>(ParseCellText(entry)))
            << entry;
    }
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
        {"1 0; 1", "1; 3", "row 1 of M has 1 entry; expected 2"},
        {"1", "1", "K has 1 row; n must be 2, 3, 4, 5 or 6"},
        {"1 0; 1", "", "M has 0 rows; n is 2, so 2 rows of M are missing"},
        {"1 0 0; 1 0; 1", "1 0 0", "M has 1 row; n is 3, so 2 rows of M are missing"},
        {"", "1 0; 1", "K has no rows"},
        {"1 0 0 0 0 0 0; 1 0 0 0 0 0; 1 0 0 0 0; 1 0 0 0; 1 0 0; 1 0; 1", "1", "K has 7 rows; n must be 2, 3, 4, 5 or 6"},
        {"1 0 0; 1 0; 1", "1 0; 1", "K has 3 rows but M has 2"},
    };
    for (const auto& c : argumentCases) EXPECT_EQ(ParseRowsArguments(c.k, c.m).Message(), c.message) << c.k;
    const std::pair<const char*, const char*> fileCases[] = {
        {"1 2\nK\n", "line 1: rows before the line \"K\""},
        {"K\n1 0\n0 1\n", "no line \"M\" in the input"},
        {"# nothing\n\n", "no line \"K\" in the input"},
        {"M\n1 0\n", "line 1: unexpected \"M\"; the file holds a line K, K's rows, a line M, M's rows"},
        {"K\n1 0\n1 2 3\nM\n1 0\n1\n", "line 3: row 2 of K has 3 entries; expected 1 or 2"},
    };
    for (const auto& [text, message] : fileCases) EXPECT_EQ(ParseProblemFile(text).Message(), message) << text;
    EXPECT_EQ(ParseProblemFile("K\n1 2 3\n1\nM\n1 0\n1\n", 3'000'000'000).Message(),
              "line 3000000001: row 1 of K has 3 entries; expected 2");
    // A problem not run has nothing to warn of.
    EXPECT_TRUE(ParseRowsArguments("1,5 0; 1", "1 0 0; 1").warnings.empty());
}

// An entry read other than whole is named with its line, matrix, place,
// text and value; a number too large or too small for a double, or blanks,
// are read whole.
TEST(BatchInput, MisreadEntriesAreNamed)
{
    const std::pair<const char*, const char*> cases[] = {
        {"1,5", "K row 1, column 2: \"1,5\" is read as 1"},
        {"abc", "K row 1, column 2: \"abc\" is read as 0"},
        {"2.5e2x", "K row 1, column 2: \"2.5e2x\" is read as 250"},
        {"1e5e3", "K row 1, column 2: \"1e5e3\" is read as 1e+05"},
        {"\x1b[2J", "K row 1, column 2: \"\\x1b[2J\" is read as 0"},
        // Bytes of another encoding would make the JSON that carries the note invalid.
        {"1\xB2\xC3\xA9\xED\xA0\x80", "K row 1, column 2: \"1\\xb2\xC3\xA9\\xed\\xa0\\x80\" is read as 1"},
        {"1e999", nullptr},
        {"1e-999", nullptr},
        {"-0", nullptr},
        {"\v7\f", nullptr},
    };
    for (const auto& [entry, warning] : cases) {
        const BatchParse p = ParseRowsArguments(std::string("1 ") + entry + "; 1", "1 0; 1");
        ASSERT_TRUE(p.ok()) << p.Message();
        EXPECT_EQ(p.warnings, warning ? std::vector<std::string>{warning} : std::vector<std::string>{}) << entry;
        const BatchParse strict = ParseRowsArguments(std::string("1 ") + entry + "; 1", "1 0; 1", true);
        EXPECT_EQ(strict.reason, warning ? warning : "") << entry;
    }
    // A long text is cut short, never inside a character.
    const std::string longText = "1" + std::string(38, 'x') + "\xC3\xA9yyyy";
    EXPECT_EQ(ParseRowsArguments("1 " + longText + "; 1", "1 0; 1").warnings,
              std::vector<std::string>{"K row 1, column 2: \"1" + std::string(38, 'x') + "...\" is read as 1"});
    // Below the diagonal nothing is read, so nothing is misread.
    EXPECT_TRUE(ParseRowsArguments("1 0; x,y 1", "1 0; 1").warnings.empty());
}

TEST(BatchInput, FileSkipsByteOrderMarkCommentsBlankLinesAndCarriageReturns)
{
    const BatchParse p = ParseProblemFile("\xEF\xBB\xBF# a bar\r\n\r\n K \r\n2 0\r\n6\r\n# mass\nM\n1 0\n2");
    ASSERT_TRUE(p.ok()) << p.Message();
    EXPECT_EQ(p.problem.K[1][1], 6);
    EXPECT_EQ(p.problem.M[1][1], 2);
}

TEST(BatchRun, JsonOfTheWorkedTwoByTwo)
{
    ProgramState state;
    const BatchRun run = RunBatch(ParseRowsArguments("2 0; 0 6", "1 0; 0 2").problem, state, {.eigenvalues = true});
    EXPECT_EQ(ExitStatusOf(run), 0);
    EXPECT_EQ(JsonOutput(run),
              "{\"n\": 2, \"messages\": [\"Eigenvalues \\n\\n lambda1=           2 \\n lambda2=           3\"], "
              "\"reports\": [[[2, 0], [3, 0]]], \"eigenvalues\": [[2, 0], [3, 0]], "
              "\"mended\": false}\n");
    EXPECT_EQ(PlainOutput(run), "Eigenvalues \n\n lambda1=           2 \n lambda2=           3\n\n");
}

// Six rows of each, as triangles: six eigenvalues, six modes of six
// components each, in the JSON and in the table.
TEST(BatchRun, SixDegreesOfFreedom)
{
    const BatchParse six = ParseRowsArguments("2 -1 0 0 0 0; 2 -1 0 0 0; 2 -1 0 0; 2 -1 0; 2 -1; 1",
                                              "1 0 0 0 0 0; 1 0 0 0 0; 1 0 0 0; 1 0 0; 1 0; 1");
    ASSERT_TRUE(six.ok()) << six.Message();
    ProgramState state;
    const BatchRun run = RunBatch(six.problem, state, {.eigenvalues = true, .modes = true});
    EXPECT_EQ(ExitStatusOf(run), 0);
    EXPECT_FALSE(run.mended);
    ASSERT_EQ(run.eigenvalues.size(), 6u);
    ASSERT_TRUE(run.modes);
    EXPECT_EQ(run.modes->n, 6);
    const std::string json = JsonOutput(run);
    std::size_t vectors = 0;
    for (std::size_t at = json.find("\"vector\": ["); at != std::string::npos; at = json.find("\"vector\": [", at + 1)) {
        ++vectors;
        const auto from = json.begin() + static_cast<std::ptrdiff_t>(at);
        EXPECT_EQ(std::count(from, from + static_cast<std::ptrdiff_t>(json.find(']', at) - at), ','), 5);
    }
    EXPECT_EQ(vectors, 6u);
    EXPECT_NE(json.find(" lambda6 = "), std::string::npos) << json;
    const std::string table = PlainOutput(run);
    EXPECT_NE(table.find("        mode 6\n    1"), std::string::npos) << table;
    EXPECT_NE(table.find("\n    6      "), std::string::npos) << table;
}

// The eigenvalues at full precision and the modes, as JSON and as a table:
// the two-mass chain worked by hand (lambda = 100 and 400, f = 1.5915 and
// 3.1831 Hz, effective masses 13.33 and 1.667 of 15 kg), a buckling pencil
// (K definite: an infinite eigenvalue, no frequencies), a pencil that is not
// definite (complex eigenvalues by QZ, no modes) and a refusal (nothing).
TEST(BatchRun, EigenvaluesAndModes)
{
    const struct {
        const char* k;
        const char* m;
        const char* json;
        const char* plain;  // the messages' text, then what --modes adds
    } cases[] = {
        {"3000 -1000; 1000", "10 0; 5",
         R"j({"n": 2, "messages": ["Eigenvalues \n\n lambda1=         100 \n lambda2=         400"], )j"
         R"j("reports": [[[100, 0], [400, 0]]], "eigenvalues": [[100, 0], [400, 0]], "modes": [)j"
         R"j({"lambda": 100, "bound": 4.4798191043058133e-13, "vector": [0.18257418583505539, 0.36514837167011066], )j"
         R"j("omega": 10, "hertz": 1.5915494309189535, "period": 0.6283185307179586, )j"
         R"j("participation": 3.651483716701107, "generalised_mass": 1, "gamma": 3.651483716701107, )j"
         R"j("effective_mass": 13.333333333333332}, )j"
         R"j({"lambda": 400, "bound": 8.006732904664521e-13, "vector": [0.2581988897471611, -0.2581988897471612], )j"
         R"j("omega": 20, "hertz": 3.183098861837907, "period": 0.3141592653589793, )j"
         R"j("participation": 1.2909944487358047, "generalised_mass": 1, "gamma": 1.2909944487358047, )j"
         R"j("effective_mass": 1.6666666666666643}], "mended": false})j",
         "Modes\n"
         " mode          lambda     bound       omega           f           T   eff. mass    share\n"
         "    1             100   4.5e-13          10      1.5915     0.62832      13.333  88.89 %\n"
         "    2             400   8.1e-13          20      3.1831     0.31416      1.6667  11.11 %\n"
         " total mass 15\n\n"
         "Mode shapes\n"
         "  dof        mode 1        mode 2\n"
         "    1      0.182574      0.258199\n"
         "    2      0.365148     -0.258199\n\n"},
        // A degree of freedom without mass: the finite mode is a vibration
        // mode with all of the mass, the infinite one has none.
        {"4e5 -2e5; 4e5", "1 0; 0",
         R"j({"n": 2, "messages": ["Eigenvalues \n\n lambda1=       3e+05 \n lambda2=         inf"], )j"
         R"j("reports": [[[3e+05, 0], ["inf", 0]]], "eigenvalues": [[3e+05, 0], ["inf", 0]], "modes": [)j"
         R"j({"lambda": 3e+05, "bound": 3.397966327914037e-12, "vector": [1, 0.5], "omega": 547.7225575051662, )j"
         R"j("hertz": 87.1727524698821, "period": 0.01147147441909095, "participation": 1, "generalised_mass": 1, )j"
         R"j("gamma": 1, "effective_mass": 1}, )j"
         R"j({"lambda": "inf", "bound": "inf", "vector": [0, 1], "omega": null, "hertz": null, )j"
         R"j("period": null, "participation": null, "generalised_mass": null, "gamma": null, "effective_mass": null}], )j"
         R"j("mended": true})j",
         "Modes\n"
         " mode          lambda     bound       omega           f           T   eff. mass    share\n"
         "    1          300000   3.4e-12      547.72      87.173    0.011471           1 100.00 %\n"
         "    2             inf       inf           -           -           -           -      -\n"
         " total mass 1\n\n"
         "Mode shapes\n"
         "  dof        mode 1        mode 2\n"
         "    1             1             0\n"
         "    2           0.5             1\n\n"},
        // A buckling pencil (K definite, M of both signs): no masses, and
        // the critical load factor, the smallest positive lambda, by hand
        // (sqrt(1.12e12) - 4e5) / 2.
        {"4e5 -2e5; 4e5", "1 0; -0.5",
         R"j({"n": 2, "messages": ["Eigenvalues \n\n lambda1=   3.292e+05 \n lambda2=  -7.292e+05"], )j"
         R"j("reports": [[[329150.26221291814, 0], [-729150.2622129181, 0]]], )j"
         R"j("eigenvalues": [[-729150.262212918, 0], [329150.2622129181, 0]], "modes": [)j"
         R"j({"lambda": -729150.262212918, "bound": 1.8219922905625017e-09, "vector": [0.17712434446770467, 1], )j"
         R"j("omega": null, "hertz": null, "period": null, "participation": null, "generalised_mass": null, )j"
         R"j("gamma": null, "effective_mass": null}, )j"
         R"j({"lambda": 329150.2622129181, "bound": 9.248020929049641e-10, "vector": [1, 0.3542486889354094], )j"
         R"j("omega": null, "hertz": null, "period": null, "participation": null, "generalised_mass": null, )j"
         R"j("gamma": null, "effective_mass": null}], "critical_load_factor": 329150.2622129181, "mended": false})j",
         "Modes\n"
         " mode          lambda     bound       omega           f           T   eff. mass    share\n"
         "    1      -729150.26   1.9e-09           -           -           -           -      -\n"
         "    2       329150.26   9.3e-10           -           -           -           -      -\n"
         " critical load factor 329150.26 (mode 2, the smallest positive lambda)\n\n"
         "Mode shapes\n"
         "  dof        mode 1        mode 2\n"
         "    1      0.177124             1\n"
         "    2             1      0.354249\n\n"},
        {"1 2; -1", "0 1; 0",
         R"j({"n": 2, "messages": ["Eigenvalues \n\n lambda1=           2\t+j(           1)\n )j"
         R"j(lambda2=           2 \t+j(          -1)"], "reports": [[[2, 1], [2, -1]]], )j"
         R"j("eigenvalues": [[2, -1], [2, 1]], "modes": null, "mended": false})j",
         "No modes: neither M, -M, K nor -K is safely definite.\n\n"},
        {"1 0; 0", "1 0; 0",
         R"j({"n": 2, "messages": [" The problem is singular: det(K - lambda M) = 0 for every lambda."], )j"
         R"j("reports": [], "eigenvalues": null, "modes": null, "mended": true})j",
         ""},
    };
    for (const auto& c : cases) {
        const BatchProblem problem = ParseRowsArguments(c.k, c.m).problem;
        ProgramState state;
        const BatchRun json = RunBatch(problem, state, {.eigenvalues = true, .modes = true});
        EXPECT_EQ(JsonOutput(json), std::string(c.json) + "\n") << c.k;
        ProgramState fresh;
        const BatchRun plain = RunBatch(problem, fresh, {.modes = true});
        std::string messages;
        for (const std::string& message : plain.channel.messages) (messages += message) += "\n\n";
        EXPECT_EQ(PlainOutput(plain), messages + c.plain) << c.k;
    }
}

// However small a mode's share of the mass, every value of a row of the
// table stands apart: nine fields, the last "%".
TEST(BatchRun, ModesTableColumnsStayApart)
{
    ProgramState state;
    const BatchParse light = ParseRowsArguments("3e6 -1e6 0; 2e6 -1e6; 1e6", "1000 0 0; 10 0; 1");
    std::istringstream table(PlainOutput(RunBatch(light.problem, state, {.modes = true})));
    std::string line;
    while (std::getline(table, line) && !line.starts_with(" mode ")) {}
    for (int k = 1; k <= 3 && std::getline(table, line); ++k) {
        std::istringstream fields(line);
        std::vector<std::string> words{std::istream_iterator<std::string>(fields), {}};
        EXPECT_EQ(words.size(), 9u) << line;
    }
}

TEST(BatchRun, RefusedAndSingularEndWithoutAReport)
{
    for (const auto& [k, m] : {std::pair{"0 0; 0 0", "1 0; 0 1"}, std::pair{"1 0; 0 0", "1 0; 0 0"}}) {
        ProgramState state;
        const BatchRun run = RunBatch(ParseRowsArguments(k, m).problem, state);
        EXPECT_EQ(ExitStatusOf(run), 1) << k << " / " << m;
        EXPECT_EQ(run.channel.messages.size(), 1u);
    }
}

// Problems of every n in one stream, a malformed one in the middle and a
// refused one: each answer is the single-problem answer, in its place, with
// its line; the others go on; the exit status says the worst.
TEST(ProblemStream, AnswersEachProblemAsAlone)
{
    const std::string problems[] = {
        "# two masses\nK\n2 0\n6\nM\n1 0\n2\n",
        "K\n2 -1 0\n2 -1\n1\nM\n1 0 0\n1 0\n1\n",
        "K\n1 2\n3 4 5\nM\n1 0\n1\n",  // malformed: its row 2 has three entries
        "K\n1 0\n0\nM\n1 0\n0\n",        // singular: det(K - lambda M) = 0 for every lambda
        "K\n2 -1 0 0\n2 -1 0\n2 -1\n1\nM\n1 0 0 0\n1 0 0\n1 0\n1\n",
    };
    std::string input;
    std::vector<int> kLines;
    for (const std::string& p : problems) {  // the line of each problem's "K"
        const std::size_t k = input.size() + (p.rfind("K\n", 0) == 0 ? 0 : p.find("\nK\n") + 1);
        input += p;
        kLines.push_back(1 + static_cast<int>(std::count(input.begin(), input.begin() + static_cast<long>(k), '\n')));
    }
    const auto alone = [](const std::string& p, BatchExtras extras) {
        ProgramState state;
        return RunBatch(ParseProblemFile(p).problem, state, extras);
    };
    for (const auto& [json, modes] : {std::pair{true, false}, std::pair{false, false}, std::pair{true, true},
                                      std::pair{false, true}}) {
        std::string out, err;
        EXPECT_EQ(RunProblemText(input, out, err, {.json = json, .modes = modes}), 2);
        std::string expected;
        for (std::size_t k = 0; k < std::size(problems); ++k) {
            const std::string line = std::to_string(kLines[k]);
            if (k == 2) {
                expected += json ? "{\"line\": " + line + ", \"error\": \"row 2 of K has 3 entries; expected 1 or 2\"}\n"
                                 : "# problem 3 (line " + line + ")\nrow 2 of K has 3 entries; expected 1 or 2\n\n";
                continue;
            }
            const BatchRun run = alone(problems[k], {.eigenvalues = json, .modes = modes});
            expected += json ? "{\"line\": " + line + ", " + JsonOutput(run).substr(1)
                             : "# problem " + std::to_string(k + 1) + " (line " + line + ")\n" + PlainOutput(run);
        }
        EXPECT_EQ(out, expected);
        EXPECT_EQ(err, "varno-cli: line " + std::to_string(kLines[2] + 2) +
                                 ": row 2 of K has 3 entries; expected 1 or 2\n");
    }
    // Without the malformed one a singular pencil is the worst; without both, none.
    for (const auto& [drop, status] : {std::pair{std::vector<int>{2}, 1}, std::pair{std::vector<int>{2, 3}, 0}}) {
        std::string rest;
        for (std::size_t k = 0; k < std::size(problems); ++k)
            if (std::find(drop.begin(), drop.end(), static_cast<int>(k)) == drop.end()) rest += problems[k];
        std::string out, err;
        EXPECT_EQ(RunProblemText(rest, out, err, {}), status);
        EXPECT_EQ(err, "");
    }
}

// A stream of every kind of problem: every n, malformed ones, refused ones,
// misread entries, a byte-order mark; five thousand, so that many batches go
// to the workers at once.
std::string MixedStream()
{
    const std::string problems[] = {
        "K\n2 0\n6\nM\n1 0\n2\n",
        "K\n2 -1 0\n2 -1\n1\nM\n1 0 0\n1 0\n1\n",
        "# a chain\nK\n2 -1 0 0\n2 -1 0\n2 -1\n1\n\nM\n1 0 0 0\n1 0 0\n1 0\n1\n",
        "K\n1 2\n3 4 5\nM\n1 0\n1\n",       // malformed
        "K\n3000 -1000\n1000\nM\n1,5 0\n5\n",  // misread
        "K\n1 0\n0\nM\n1 0\n0\n",             // singular: det(K - lambda M) = 0 for every lambda
        "K\n1 0\n1\nM\n1 0\n",                // malformed: M has one row
    };
    std::string input = "\xEF\xBB\xBF";
    for (int k = 0; k < 5000; ++k) input += problems[(k * 5 + k / 7) % std::size(problems)];
    return input;
}

// Any number of worker threads, and any size of what a read returns, give
// the same bytes as one thread.
TEST(ProblemStream, WorkersGiveTheSameBytes)
{
    const std::string input = MixedStream();
    for (const StreamOptions& options : {StreamOptions{}, StreamOptions{.json = true, .stream = true, .strict = true},
                                        StreamOptions{.modes = true}, StreamOptions{.json = true, .modes = true}}) {
        std::string out1, err1;
        EXPECT_EQ(RunProblemText(input, out1, err1, options), 2);
        std::size_t answers = 0;
        for (const std::string_view head : {"# problem ", "{\"line\": "})
            for (std::size_t at = out1.find(head); at != std::string::npos; at = out1.find(head, at + 1)) ++answers;
        EXPECT_EQ(answers, 5000u);
        EXPECT_TRUE(out1.starts_with(options.json ? "{\"line\": 1, \"n\": 2" : "# problem 1 (line 1)\nEigenvalues"));
        for (const auto& [jobs, chunk] : {std::pair{4, std::size_t{1} << 16}, std::pair{2, std::size_t{1000}}}) {
            StreamOptions threaded = options;
            threaded.jobs = jobs;
            std::string out, err;
            EXPECT_EQ(RunProblemText(input, out, err, threaded, chunk), 2);
            EXPECT_TRUE(out == out1) << "the answers differ with " << jobs << " threads";
            EXPECT_TRUE(err == err1) << "the messages differ with " << jobs << " threads";
        }
    }
}

// A misread entry: a warning on stderr and in the problem's "warnings", or
// with strict a malformed problem; the run goes on either way.
TEST(ProblemStream, MisreadEntryWarnsOrWithStrictIsMalformed)
{
    const std::string input = "K\n3000 -1000\n1000\nM\n1,5 0\n5\nK\n2 0\n6\nM\n1 0\n2\n";
    const std::string note = "M row 1, column 1: \\\"1,5\\\" is read as 1";
    std::string out, err;
    EXPECT_EQ(RunProblemText(input, out, err, {.json = true}), 0);
    EXPECT_EQ(err, "varno-cli: line 5: M row 1, column 1: \"1,5\" is read as 1\n");
    const std::size_t first = out.find('\n');
    EXPECT_TRUE(out.substr(0, first).ends_with("\"warnings\": [\"line 5: " + note + "\"]}")) << out;
    EXPECT_EQ(out.find("warnings", first), std::string::npos);
    out.clear();
    err.clear();
    EXPECT_EQ(RunProblemText(input, out, err, {.json = true, .strict = true}), 2);
    EXPECT_EQ(err, "varno-cli: line 5: M row 1, column 1: \"1,5\" is read as 1\n");
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), "{\"line\": 1, \"error\": \"" + note + "\"}\n");
    EXPECT_TRUE(out.substr(out.find('\n') + 1).starts_with("{\"line\": 7, \"n\": 2")) << out;
}

// Memory is bounded whatever the lines: a comment, a blank line and a "K"
// padded with blanks of any length read as they should, a problem with more
// than 1 MiB of rows is malformed, and the next problem is still answered.
TEST(ProblemStream, OverlongLines)
{
    const std::string huge(3 << 20, ' ');
    const std::string problem = "K\n2 0\n6\nM\n1 0\n2\n";
    const std::pair<std::string, std::string> cases[] = {
        {"#" + std::string(3 << 20, 'x') + "\n" + problem + problem, ""},
        {problem.substr(0, 6) + huge + "\n" + problem.substr(6) + problem, ""},
        {"K" + huge + "\t\r\n" + problem.substr(2) + problem, ""},
        {"K\n2 0" + std::string(3 << 20, '0') + "\n6\nM\n1 0\n2\n" + problem,
         "varno-cli: line 2: the rows of this problem hold more than 1 MiB\n"},
        {"K\n" + std::string(4, 'x').append(800000, ' ').append(4, 'x') + "\n" +
             std::string(4, 'x').append(800000, ' ').append(4, 'x') + "\n" + "M\n1 0\n2\n" + problem,
         "varno-cli: line 3: the rows of this problem hold more than 1 MiB\n"},
    };
    for (const auto& [input, message] : cases) {
        std::string out, err;
        EXPECT_EQ(RunProblemText(input, out, err, {}), message.empty() ? 0 : 2);
        EXPECT_EQ(err, message);
        EXPECT_EQ(std::count(out.begin(), out.end(), '#'), 2) << out.substr(0, 200);
    }
}

// With stream, even a single problem has the stream form, and a problem
// ends with its M's n-th row: what follows belongs to the next one.
TEST(ProblemStream, StreamFormAndEnd)
{
    std::string out, err;
    EXPECT_EQ(RunProblemText("K\n2 0\n6\nM\n1 0\n2\n", out, err, {.stream = true}), 0);
    ProgramState state;
    const BatchParse alone = ParseProblemFile("K\n2 0\n6\nM\n1 0\n2\n");
    EXPECT_EQ(out, "# problem 1 (line 1)\n" + PlainOutput(RunBatch(alone.problem, state)));
    out.clear();
    const std::string extraRow = "K\n2 0\n6\nM\n1 0\n2\n5 5\nK\n2 0\n6\nM\n1 0\n2\n";
    EXPECT_EQ(RunProblemText(extraRow, out, err, {.json = true, .stream = true}), 2);
    EXPECT_TRUE(out.starts_with("{\"line\": 1, \"n\": 2")) << out;
    EXPECT_NE(out.find("\n{\"line\": 7, \"error\": \"rows before the line \\\"K\\\"\"}\n{\"line\": 8, \"n\": 2"),
              std::string::npos) << out;
    EXPECT_EQ(err, "varno-cli: line 7: rows before the line \"K\"\n");
    // No problem at all: one message, as ever.
    out.clear();
    err.clear();
    EXPECT_EQ(RunProblemText("# nothing\n", out, err, {.json = true, .stream = true}), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "varno-cli: no line \"K\" in the input\n");
}

// With stream, a malformed problem is answered as soon as no line to come
// could mend it, before more is read; what is left of it is passed over.
TEST(ProblemStream, MalformedAnsweredAsSoonAsCertain)
{
    const struct {
        const char* first;  // written, then the answer waited for
        const char* rest;
        const char* answer;
    } cases[] = {
        {"K\n2 -1; 2\nM\n", "1 0; 1\n",
         "K has 1 row; n must be 2, 3, 4, 5 or 6; \";\" does not separate rows in a file, where each row has a line of its own"},
        {"K\n1 2 3\n4\nM\n", "1 0\n1\n", "row 1 of K has 3 entries; expected 2"},
        {"K\n2 0\n6\nM\n1 2 3\n", "2\n", "row 1 of M has 3 entries; expected 2"},
    };
    struct Pipe : ByteSource {
        std::vector<std::string_view> pieces;
        const std::string* out = nullptr;
        std::vector<std::string> answered;  // the output when each piece was asked for
        std::ptrdiff_t Read(char* data, std::size_t) override
        {
            answered.push_back(*out);
            if (answered.size() > pieces.size()) return 0;
            const std::string_view piece = pieces[answered.size() - 1];
            std::copy(piece.begin(), piece.end(), data);
            return static_cast<std::ptrdiff_t>(piece.size());
        }
        bool WouldWait() override { return true; }
    };
    struct Text : ByteSink {
        std::string text;
        bool Write(std::string_view t) override { return text += t, true; }
    };
    for (const auto& c : cases) {
        Text out, err;
        Pipe in;
        in.pieces = {c.first, c.rest};
        in.out = &out.text;
        EXPECT_EQ(RunProblemStream(in, out, err, {.stream = true}), 2);
        const std::string answer = "# problem 1 (line 1)\n" + std::string(c.answer) + "\n\n";
        ASSERT_EQ(in.answered.size(), 3u);
        EXPECT_EQ(in.answered[1], answer) << c.first;
        EXPECT_EQ(out.text, answer) << c.first;
    }
}

// An input whose first line is no line "K" is refused there: NULs without
// end, as /dev/zero gives them, are read no further than their first piece.
TEST(ProblemStream, RefusedAtItsFirstLine)
{
    struct Zeros : ByteSource {
        int reads = 0;
        std::ptrdiff_t Read(char* data, std::size_t size) override
        {
            if (++reads > 100) return 0;
            std::fill_n(data, size, '\0');
            return static_cast<std::ptrdiff_t>(size);
        }
    };
    struct Text : ByteSink {
        std::string text;
        bool Write(std::string_view t) override { return text += t, true; }
    };
    Zeros in;
    Text out, err;
    EXPECT_EQ(RunProblemStream(in, out, err, {}), 2);
    EXPECT_EQ(in.reads, 1);
    EXPECT_EQ(err.text, "varno-cli: line 1: rows before the line \"K\"\n");
    // The same whole line, however it comes in pieces.
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{1} << 16}) {
        std::string text, message;
        EXPECT_EQ(RunProblemText("M\nK\n2 0\n6\nM\n1 0\n2\n", text, message, {}, chunk), 2);
        EXPECT_EQ(message, "varno-cli: line 1: unexpected \"M\"; the file holds a line K, K's rows, a line M, M's rows\n");
        EXPECT_EQ(text, "");  // nothing after it answered
    }
}

// A read that fails half-way: what was read whole is answered, then one
// message, and the exit status says so.
TEST(ProblemStream, ReadErrorAfterSomeProblems)
{
    struct Failing : ByteSource {
        std::string_view text = "K\n2 0\n6\nM\n1 0\n2\nK\n2 0\n6\nM\n1 0\n2\nK\n2 0\n";
        std::ptrdiff_t Read(char* data, std::size_t size) override
        {
            if (text.empty()) {
                error = "cannot read disk.txt: Input/output error";
                return -1;
            }
            const std::size_t n = std::min(size, text.size());
            std::copy_n(text.data(), n, data);
            text.remove_prefix(n);
            return static_cast<std::ptrdiff_t>(n);
        }
    };
    struct Text : ByteSink {
        std::string text;
        bool Write(std::string_view t) override { return text += t, true; }
    };
    Failing in;
    Text out, err;
    EXPECT_EQ(RunProblemStream(in, out, err, {.json = true}), 2);
    EXPECT_EQ(std::count(out.text.begin(), out.text.end(), '\n'), 2);
    EXPECT_EQ(err.text, "varno-cli: cannot read disk.txt: Input/output error\n");
}

// At most ten updates a second; a message on its own line with the progress
// drawn again below it; erased at the end.
TEST(Progress, LineAndUpdates)
{
    EXPECT_EQ(ProgressLine::Text(1234567, 450, 1000, 4.0),
              "varno-cli: 1,234,567 problems, 308,642 a second, 45 % read, 0:05 left");
    EXPECT_EQ(ProgressLine::Text(1, 0, -1, 0.0), "varno-cli: 1 problem");
    EXPECT_EQ(ProgressLine::Text(999, 10, -1, 1.0), "varno-cli: 999 problems, 999 a second");
    EXPECT_EQ(ProgressLine::Text(10, 1, 100, 40.0), "varno-cli: 10 problems, 0 a second, 1 % read, 1:06:00 left");
    struct Text : ByteSink {
        std::string text;
        bool Write(std::string_view t) override { return text += t, true; }
    } terminal;
    ProgressLine::Clock::time_point now{};
    ProgressLine line(terminal, -1, [&] { return now; });
    line.Write("before\n");
    now += std::chrono::seconds(1);
    line.Update(10, 0);
    now += std::chrono::milliseconds(50);
    line.Update(20, 0);  // too soon
    line.Write("warning\n");
    now += std::chrono::milliseconds(100);
    line.Update(40, 0);
    line.End();
    EXPECT_EQ(terminal.text, "before\n\r\x1b[Kvarno-cli: 10 problems, 10 a second\r\x1b[Kwarning\n"
                             "varno-cli: 10 problems, 10 a second\r\x1b[Kvarno-cli: 40 problems, 35 a second\r\x1b[K");
}

// The cores this process may run on, not those of the machine.
TEST(Progress, DefaultJobsFollowTheAffinity)
{
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &one);
            break;
        }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(DefaultJobs(), 1);
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(DefaultJobs(), CPU_COUNT(&all));
}

// --directions and the like hold for every problem of a file; one they do not
// fit is answered by why, in its place, and the others as alone.
TEST(ProblemStream, ModalOptionsForEveryProblem)
{
    const std::string chain = "K\n400 -200\n200\nM\n2 0\n1\n";
    const std::string three = "K\n2 0 0\n3 0\n4\nM\n1 0 0\n1 0\n1\n";
    ModalOptions modal;
    ASSERT_EQ(ParseDirectionsOption("x,y", modal.directions), "");
    const std::string reason = "--directions gives 2 labels for n = 3";
    for (const bool json : {false, true}) {
        std::string out, err;
        EXPECT_EQ(RunProblemText(chain + three + chain, out, err, {.json = json, .modal = modal}), 2);
        ProgramState state;
        const BatchRun run = RunBatch(ParseProblemFile(chain).problem, state, {.eigenvalues = json, .modes = true}, modal);
        const std::string answer = json ? JsonOutput(run).substr(1) : PlainOutput(run);
        EXPECT_EQ(out, json ? "{\"line\": 1, " + answer + "{\"line\": 7, \"error\": \"" + reason + "\"}\n{\"line\": 15, " + answer
                            : "# problem 1 (line 1)\n" + answer + "# problem 2 (line 7)\n" + reason +
                                  "\n\n# problem 3 (line 15)\n" + answer);
        EXPECT_EQ(err, "varno-cli: line 7: " + reason + "\n");
    }
}

}  // namespace
}  // namespace varno::test
