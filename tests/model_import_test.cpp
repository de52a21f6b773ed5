// K and M from other programs' files: one good and the malformed of each
// format, each fault in one line that names the file and the line.
#include "core/model_import.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace varno::test {
namespace {

constexpr const char* Mtx = "%%MatrixMarket matrix coordinate real symmetric\n% stiffness\n2 2 3\n1 1 2\n2 1 -1\n2 2 6\n";
constexpr const char* MtxGeneral = "%%MatrixMarket matrix coordinate integer general\n2 2 3\n1 1 1\n2 2 2\n1 2 0\n";
constexpr const char* Sti = "1 1 2\n1 2 -1\n2 2 6\n";
constexpr const char* Mas = "1 1 1\n2 2 2\n";

TEST(ModelImport, EachFormatGoodAndMalformed)
{
    const struct {
        const char* kName;
        std::string kText;
        const char* mName;
        const char* mText;
        const char* error;  // "" where it reads as K = [2 -1; -1 6], M = diag(1, 2)
    } cases[] = {
        {"K.mtx", Mtx, "M.mtx", MtxGeneral, ""},
        {"K.sti", Sti, "M.mas", Mas, ""},
        {"K.csv", "2,-1\n-1,6\n", "M.tsv", "1\t0\n\t2\n", ""},
        {"K.txt", "# K\n2 -1\n6\n", "M", "1 0\n0 2\n", ""},  // M by content: a symmetric 2 x 2
        {"K", Mtx, "M", Mas, ""},                              // by content: Matrix Market, triplets
        {"K.mtx", "%%MatrixMarket matrix coordinate real general\n2 2 4\n1 1 2\n1 2 -1\n2 1 -0.5\n2 2 6\n", "M.mtx",
         MtxGeneral,
         "K.mtx: line 5: not symmetric: entry (1, 2) is -1 but (2, 1) is -0.5, the largest difference, 0.5, beyond "
         "rounding"},
        {"K.mtx", "%%MatrixMarket matrix array real general\n", "M.mtx", MtxGeneral,
         "K.mtx: line 1: not \"%%MatrixMarket matrix coordinate\" with real or integer entries, symmetric or general"},
        {"K.mtx", "%%MatrixMarket matrix coordinate real symmetric\n7 7 1\n1 1 1\n", "M.mtx", MtxGeneral,
         "K.mtx: the model has 7 degrees of freedom; the program takes at most 6"},
        {"K.mtx", "%%MatrixMarket matrix coordinate real symmetric\n6 6 1\n6 6 1\n", "M.mtx",
         "%%MatrixMarket matrix coordinate real symmetric\n5 5 1\n1 1 1\n",
         "K.mtx holds K of order 6 but M.mtx holds M of order 5"},
        {"K.mtx", "%%MatrixMarket matrix coordinate real symmetric\n2 3 1\n", "M.mtx", MtxGeneral,
         "K.mtx: line 2: the matrix is 2 x 3, not square"},
        {"K.mtx", "%%MatrixMarket matrix coordinate real symmetric\n2 2 1\n1 1 x\n", "M.mtx", MtxGeneral,
         "K.mtx: line 3: \"x\" is not a number"},
        {"K.mtx", "%%MatrixMarket matrix coordinate real symmetric\n2 2 1\n3 1 1\n", "M.mtx", MtxGeneral,
         "K.mtx: line 3: entry (3, 1) lies outside the 2 x 2 matrix"},
        {"K.mtx", "%%MatrixMarket matrix coordinate real symmetric\n2 2 2\n1 1 1\n", "M.mtx", MtxGeneral,
         "K.mtx: line 3: the size line gives 2 entries, the file holds 1"},
        {"K.mtx", "%%MatrixMarket matrix coordinate real symmetric\n2 2 1\n1 1 1\n2 2 1\n", "M.mtx", MtxGeneral,
         "K.mtx: line 4: more entries than the 1 the size line gives"},
        {"K.mtx", "%%MatrixMarket matrix coordinate real symmetric\n2 2 2\n1 2 1\n2 1 1\n", "M.mtx", MtxGeneral,
         "K.mtx: line 4: entry (1, 2) was given on line 3 already"},
        {"K.sti", "1 1\n", "M.mas", Mas, "K.sti: line 1: a line needs a row, a column and a value"},
        {"K.sti", Sti, "M.mas", "1 1 1\n7 7 1\n", "M.mas: the model has 7 degrees of freedom; the program takes at most 6"},
        {"K.sti", "1 1 1\n", "M.mas", "1 1 1\n", "K.sti: the model has 1 degree of freedom; the program takes at least 2"},
        {"K.csv", "2;1,5\n1,5;6\n", "M.csv", "1,0\n0,2\n",
         "K.csv: line 1: \"1,5\" is not a number (the decimal separator is '.')"},
        {"K.csv", "2,-1\n-1,6,7\n", "M.csv", "1,0\n0,2\n", "K.csv: line 2: row 2 has 3 entries; expected 1 or 2"},
        {"K.csv", "2,-1,0\n-1,6,0\n0,0,1\n", "M.csv", "1,0\n0,2\n", "K.csv holds K of order 3 but M.csv holds M of order 2"},
        // What a file holds that is no matrix of the kind its name says.
        {"K.mtx", "%%MatrixMarket matrix coordinate integer symmetric\n2 2 1\n1 1 2.5\n", "M.mtx", MtxGeneral,
         "K.mtx: line 3: \"2.5\" is not an integer, as the header's \"integer\" says"},
        {"K.sti", "0 1 2\n", "M.mas", Mas, "K.sti: line 1: row 0: rows and columns are counted from 1"},
        {"K.sti", "1 1 2\n+1 +2 -1\n2 2 6\n", "M.mas", Mas, ""},
        {"K.csv", "\xEF\xBB\xBF" "2,-1\n-1,6\n", "M.csv", "1,0\n0,2\n", ""},
        {"K.csv", std::string("\xFF\xFE" "2\0,\0-\0" "1\0\n\0", 12), "M.csv", "1,0\n0,2\n",
         "K.csv is UTF-16 text, which is not read: save it as UTF-8 or plain text"},
        {"K.csv", std::string("2\0,\0-\0" "1\0\n\0", 10), "M.csv", "1,0\n0,2\n",
         "K.csv is UTF-16 text, which is not read: save it as UTF-8 or plain text"},
        {"beam.varno", "# n = 2\nK\n2 -1\n6\nM\n1 0\n2\n", "M.mas", Mas,
         "beam.varno is a problem file, with K and M together, not one matrix of a model"},
        {"K.sti", "1 1 \x9b\xc2\x9b\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\n",
         "M.mas", Mas,
         "K.sti: line 1: \"\\x9b\\xc2\\x9b\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac...\" is not a number"},
        // By content, three lines of three numbers that make a symmetric matrix are one.
        {"K", "2 1 1\n1 2 1\n1 1 2\n", "M.csv", "1,0\n0,2\n", "K holds K of order 3 but M.csv holds M of order 2"},
    };
    for (const auto& c : cases) {
        const ImportedModel model = ImportModel(c.kName, c.kText, c.mName, c.mText);
        EXPECT_EQ(model.error, c.error) << c.kName << ": " << c.kText;
        EXPECT_EQ(model.problemFile, std::string_view(c.kName).ends_with(".varno")) << c.kName;
        if (!model.ok()) continue;
        EXPECT_EQ(model.n, 2);
        EXPECT_EQ(model.K[1][1], 2);
        EXPECT_EQ(model.K[1][2], -1);
        EXPECT_EQ(model.K[2][2], 6);
        EXPECT_EQ(model.M[1][1], 1);
        EXPECT_EQ(model.M[1][2], 0);
        EXPECT_EQ(model.M[2][2], 2);
    }
}

// A CalculiX mass matrix writes no line for a degree of freedom without
// mass: the model's order is K's.
TEST(ModelImport, AMasslessLastDegreeOfFreedom)
{
    const ImportedModel model = ImportModel("job.sti", Sti, "job.mas", "1 1 1\n");
    ASSERT_TRUE(model.ok()) << model.error;
    EXPECT_EQ(model.n, 2);
    EXPECT_EQ(model.M[1][1], 1);
    EXPECT_EQ(model.M[2][2], 0);
    // And the other way round: a stiffness without its last row, beside a
    // mass that has it.
    const ImportedModel loose = ImportModel("job.sti", "1 1 2\n", "job.mas", Mas);
    ASSERT_TRUE(loose.ok()) << loose.error;
    EXPECT_EQ(loose.n, 2);
    EXPECT_EQ(loose.K[2][2], 0);
}

// CalculiX's files on disk, with the labels of the .dof named with them;
// only regular files are read, none larger than a model needs, and none
// that was not named.
TEST(ModelImport, FilesWithTheirLabels)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("varno-import-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto write = [&](const char* name, const char* text) { std::ofstream(dir / name) << text; };
    write("job.sti", Sti);
    write("job.mas", Mas);
    write("job.dof", "1.1\n1.2\n");
    const ImportedModel model = ImportModelFiles(
        {.k = (dir / "job.sti").string(), .m = (dir / "job.mas").string(), .dof = (dir / "job.dof").string()});
    EXPECT_TRUE(model.ok()) << model.error;
    EXPECT_EQ(model.labels, (std::vector<std::string>{"1.1", "1.2"}));
    const ImportedModel unnamed = ImportModelFiles({.k = (dir / "job.sti").string(), .m = (dir / "job.mas").string()});
    EXPECT_TRUE(unnamed.ok() && unnamed.labels.empty()) << unnamed.error;
    std::filesystem::create_directory(dir / "models");
    ASSERT_EQ(mkfifo((dir / "pipe.sti").c_str(), 0600), 0);
    {
        std::ofstream((dir / "huge.sti")) << std::string(MaxModelBytes + 1, ' ');
    }
    const struct {
        std::string k;
        const char* error;
    } unread[] = {
        {"none.sti", "cannot read none.sti: No such file or directory"},
        {"models", "cannot read models: Is a directory"},
        {"pipe.sti", "cannot read pipe.sti: it is a named pipe, not a regular file"},
        {"/dev/zero", "cannot read /dev/zero: it is a device, not a regular file"},
        {"huge.sti", "huge.sti is 1.01 MiB; a model of at most 6 degrees of freedom takes far less: a file larger than "
                     "1 MiB is not read"},
    };
    for (const auto& c : unread) {
        const std::string path = c.k.starts_with('/') ? c.k : (dir / c.k).string();
        EXPECT_EQ(ImportModelFiles({.k = path, .m = (dir / "job.mas").string(), .shownK = c.k}).error, c.error);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace varno::test
