// Saving never empties, cuts short or drops a file: a failure at any call
// that reaches the disk leaves the file as it was and nothing beside it; a
// problem saved back into its file changes its own rows and nothing else.
#include "core/file_save.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "core/problem_document.h"
#include "core/problem_file.h"
#include "core/problem_splice.h"

namespace varno::test {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return std::move(all).str();
}

void Put(const fs::path& path, std::string_view text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> Names(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct Folder {
    fs::path path = fs::temp_directory_path() / ("varno-save-" + std::to_string(::getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() { fs::remove_all(path); }
};

// A disk that fails as real ones do, each at one call.
struct FailingIo final : SaveIo {
    enum Kind { ShortThenFull, TakesNothing, SyncFails, Cached } kind;
    bool once = false;
    explicit FailingIo(Kind k) : kind(k) {}
    ssize_t Write(int fd, const char* data, std::size_t size) override
    {
        switch (kind) {
        case ShortThenFull:
            if (std::exchange(once, true)) break;
            return SaveIo::Write(fd, data, size / 2);
        case TakesNothing: return 0;
        case Cached: return static_cast<ssize_t>(size);  // taken, never written
        case SyncFails: return SaveIo::Write(fd, data, size);
        }
        errno = ENOSPC;
        return -1;
    }
    int Sync(int fd) override
    {
        if (kind != SyncFails) return SaveIo::Sync(fd);
        errno = EIO;
        return -1;
    }
};

TEST(FileSave, AFailedSaveLeavesTheFileAsItWas)
{
    const std::string text(5000, '7');
    const struct {
        FailingIo::Kind kind;
        std::string error;
    } cases[] = {
        {FailingIo::ShortThenFull, "No space left on device"},
        {FailingIo::TakesNothing, "No space left on device"},
        {FailingIo::SyncFails, "Input/output error"},
        {FailingIo::Cached, "only 0 of its 5000 bytes reached the disk"},
    };
    for (const auto& c : cases) {
        const Folder dir;
        Put(dir.path / "orig.varno", "K\n1 0\n1\nM\n1 0\n1\n");
        FailingIo io(c.kind);
        const SaveOutcome outcome = SaveFile((dir.path / "orig.varno").string(), text, io);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(Slurp(dir.path / "orig.varno"), "K\n1 0\n1\nM\n1 0\n1\n") << c.error;
        EXPECT_EQ(Names(dir.path), std::vector<std::string>{"orig.varno"}) << c.error;  // no hidden file left
    }
}

// A real filesystem that fills up: the kernel's own answers, where the test
// may mount one.
TEST(FileSave, AFullFilesystemLeavesTheFileAsItWas)
{
    const Folder dir;
    const fs::path disk = dir.path / "disk";
    fs::create_directories(disk);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << SystemError(errno) << "): the injected failures above stand in";
    const std::string before = "# beam\nK\n2 -1\n2\nM\n1 0\n1\n";
    Put(disk / "orig.varno", before);
    {
        std::ofstream fill(disk / "fill", std::ios::binary);
        const std::string block(4096, 'x');
        for (int k = 0; k < 64 && fill; ++k) fill << block << std::flush;
    }
    const SaveOutcome outcome = SaveFile((disk / "orig.varno").string(), std::string(20000, '9'), SystemSaveIo());
    EXPECT_EQ(outcome.error, "No space left on device");
    EXPECT_EQ(Slurp(disk / "orig.varno"), before);
    EXPECT_EQ(Names(disk), (std::vector<std::string>{"fill", "orig.varno"}));
    umount(disk.c_str());
}

TEST(FileSave, KeepsOwnerModeAndLinks)
{
    const Folder dir;
    const fs::path file = dir.path / "p.varno";
    Put(file, "old");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(file.c_str(), 1234, 4321), 0);
    }
    // Saved through a symbolic link, which stays one, and over a file that
    // has a second name.
    fs::create_symlink(file, dir.path / "link.varno");
    fs::create_hard_link(file, dir.path / "other.varno");
    const SaveOutcome outcome = SaveFile((dir.path / "link.varno").string(), "new", SystemSaveIo());
    ASSERT_TRUE(outcome.ok()) << outcome.error;
    EXPECT_TRUE(fs::is_symlink(dir.path / "link.varno"));
    EXPECT_EQ(Slurp(file), "new");
    EXPECT_EQ(Slurp(dir.path / "other.varno"), "old");
    EXPECT_EQ(outcome.notes, std::vector<std::string>{"its other name (a hard link) keeps the old contents"});
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(info.st_uid, 1234u);
        EXPECT_EQ(info.st_gid, 4321u);
    }
}

// A file its owner made read-only is not saved over, although its folder
// would let a new file take its name. Root may write anything: the check is
// made as another user.
TEST(FileSave, AReadOnlyFileStaysAsItIs)
{
    const Folder dir;
    ASSERT_EQ(chmod(dir.path.c_str(), 0777), 0);
    const fs::path file = dir.path / "kept.varno";
    Put(file, "old");
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    const auto attempt = [&] { return SaveFile(file.string(), "new", SystemSaveIo()).error; };
    if (geteuid() != 0) {
        EXPECT_EQ(attempt(), "Permission denied");
    } else {
        ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) _exit(setgid(65534) == 0 && setuid(65534) == 0 && attempt() == "Permission denied" ? 0 : 1);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(Slurp(file), "old");
    EXPECT_EQ(Names(dir.path), std::vector<std::string>{"kept.varno"});
}

// Between Open and Save the file changed: nothing is saved in place, and
// the problem can go elsewhere; a problem picked from a file that changed
// since the scan is not read.
TEST(ProblemDocument, AFileChangedSinceItWasReadIsLeftAlone)
{
    const Folder dir;
    const fs::path file = dir.path / "two.varno";
    const std::string two = "K\n2 0\n6\nM\n1 0\n2\nK\n1 0\n1\nM\n1 0\n1\n";
    Put(file, two);
    const ProblemFileOpen opened = OpenProblemFile(file.string(), nullptr);
    ASSERT_TRUE(opened.ok()) << opened.error;
    ASSERT_EQ(opened.scan.count, 2);
    Put(file, two + "# theirs\n");
    EXPECT_EQ(ReadPickedProblem(file.string(), opened.stamp, opened.scan.listed[1], nullptr).error,
              "it changed since it was opened");
    const ProblemSource source{file.string(), opened.stamp, opened.scan.first};
    const ProblemSave save = SaveProblemInPlace(source, source.read.K, source.read.M, 2, {}, SystemSaveIo(), nullptr);
    EXPECT_TRUE(save.elsewhere);
    EXPECT_EQ(save.outcome.error, "it changed on disk since it was opened");
    EXPECT_EQ(Slurp(file), two + "# theirs\n");
}

// The problem picked from a file, changed and saved back: the bytes after,
// exactly; each also reads back as the values saved.
TEST(ProblemSplice, RewritesOnlyTheProblemPicked)
{
    const std::string three =
        "# three problems\nK\n2 0\n6\nM\n1 0\n2\n\n"
        "# the second, a comment inside\nK\n3000 -1000\n# stiffer\n1000\nM\n10 0\n5\n"
        "K\n1 0 0\n1 0\n1\nM\n1 0 0\n1 0\n1\n# end\n";
    const struct {
        const char* name;
        std::string before;
        int pick;  // which problem, from 0
        std::function<void(Matrix10& K, Matrix10& M, int& n, std::vector<Direction>& d)> edit;
        std::string after;
    } cases[] = {
        {"one value", three, 1, [](Matrix10& K, Matrix10&, int&, auto&) { K[1][1] = 9; },
         "# three problems\nK\n2 0\n6\nM\n1 0\n2\n\n"
         "# the second, a comment inside\nK\n9 -1000\n# stiffer\n1000\nM\n10 0\n5\n"
         "K\n1 0 0\n1 0\n1\nM\n1 0 0\n1 0\n1\n# end\n"},
        {"alone, full rows kept", "# mine\r\nK\r\n2 -1\r\n-1 6\r\nM\r\n1 0\r\n0 2\r\n",
         0, [](Matrix10&, Matrix10& M, int&, auto&) { M[2][2] = 0.1; }, "# mine\r\nK\r\n2 -1\r\n-1 6\r\nM\r\n1 0\r\n0.1\r\n"},
        {"grown, no last line end", "K\n2 0\n6\nM\n1 0\n2", 0,
         [](Matrix10& K, Matrix10& M, int& n, auto&) { n = 3, K[3][3] = 4, M[3][3] = 1; },
         "K\n2 0 0\n6 0\n4\nM\n1 0 0\n2 0\n1"},
        {"shrunk, comment kept", three, 2,
         [](Matrix10&, Matrix10&, int& n, auto&) { n = 2; },
         three.substr(0, three.rfind("K\n1 0 0")) + "K\n1 0\n1\nM\n1 0\n1\n# end\n"},
        // Directions: a line of their own after the last row, with no last
        // line end kept so; one among the comments after it replaced.
        {"directions given", "K\n2 0\n6\nM\n1 0\n2", 0,
         [](Matrix10&, Matrix10&, int&, auto& d) { d = {Direction::X, Direction::RZ}; },
         "K\n2 0\n6\nM\n1 0\n2\n# directions: x,rz"},
        {"directions changed", "K\n2 0\n6\nM\n1 0\n2\n\n# directions: y,y\n# end\nK\n1 0\n1\nM\n1 0\n1\n", 0,
         [](Matrix10&, Matrix10&, int&, auto& d) { d = {Direction::X, Direction::Y}; },
         "K\n2 0\n6\nM\n1 0\n2\n\n# directions: x,y\n# end\nK\n1 0\n1\nM\n1 0\n1\n"},
    };
    for (const auto& c : cases) {
        TextSource all(c.before);
        const ProblemFileScan scan = ScanProblemFile(all);
        ASSERT_TRUE(scan.ok()) << c.name << ": " << scan.error;
        const ProblemEntry entry = scan.listed.at(static_cast<std::size_t>(c.pick));
        TextSource from(std::string_view(c.before).substr(entry.offset));
        const FileProblem read =
            ScanProblemFile(from, {.firstLine = entry.line, .firstOffset = entry.offset, .firstOnly = true}).first;
        Matrix10 K = read.K, M = read.M;
        int n = read.n;
        std::vector<Direction> directions = read.directions;
        c.edit(K, M, n, directions);
        TextSource original(c.before, 5);
        std::string after;
        const std::string why = SpliceProblem(original, read, K, M, n, directions, [&](std::string_view piece) {
            after += piece;
            return true;
        });
        EXPECT_EQ(why, "") << c.name;
        EXPECT_EQ(after, c.after) << c.name;
        TextSource back(after);
        const ProblemFileScan again = ScanProblemFile(back);
        ASSERT_EQ(again.count, scan.count) << c.name;
        TextSource at(std::string_view(after).substr(again.listed[static_cast<std::size_t>(c.pick)].offset));
        const FileProblem saved = ScanProblemFile(at, {.firstOnly = true}).first;
        EXPECT_EQ(saved.n, n) << c.name;
        EXPECT_TRUE(saved.directions == directions || (saved.directions.empty() && read.directions == directions)) << c.name;
        for (std::size_t i = 1; i <= static_cast<std::size_t>(n); ++i)
            for (std::size_t j = i; j <= static_cast<std::size_t>(n); ++j) {
                EXPECT_EQ(saved.K[i][j], K[i][j]) << c.name;
                EXPECT_EQ(saved.M[i][j], M[i][j]) << c.name;
            }
    }
    // The file no longer holds the problem where it was read, or a line of
    // it is too long to hold: nothing is rewritten, for the user to save
    // elsewhere.
    TextSource all(three);
    const FileProblem first = ScanProblemFile(all).first;
    const auto splice = [&](std::string_view now) {
        TextSource in(now);
        return SpliceProblem(in, first, first.K, first.M, 2, {}, [](std::string_view) { return true; });
    };
    EXPECT_EQ(splice("# three problems\nK\n2 0\n7\nM\n1 0\n2\n"), "the problem is no longer where it was read");
    EXPECT_EQ(splice("# three problems\nK\n2 0\n#" + std::string(5 << 20, '-') + "\n6\nM\n1 0\n2\n"),
              "a line of the problem is too long to rewrite in place");
}

}  // namespace
}  // namespace varno::test
