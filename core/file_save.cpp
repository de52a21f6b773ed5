#include "core/file_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace varno {
namespace {

std::string Folder(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a name stands for: through symbolic links, so that a link stays
// one and the file it names is the one saved. A link to nothing yet names
// the file to make.
std::string Target(const std::string& path)
{
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
        std::string link(PATH_MAX, '\0');
        const ssize_t length = readlink(target.c_str(), link.data(), link.size());
        if (length <= 0) return target;
        link.resize(static_cast<std::size_t>(length));
        target = link.front() == '/' ? link : Folder(target) + "/" + link;
    }
    return target;
}

// A hidden name beside target, made here and now so that nothing else has it.
FileDescriptor MakeHidden(const std::string& target, mode_t mode, std::string& name)
{
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device entropy;
    std::mt19937 pick(entropy());
    // Within NAME_MAX whatever the target's name.
    const std::string base = BaseName(target).substr(0, 200);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix(6, 'x');
        for (char& c : suffix) c = Letters[pick() % (sizeof Letters - 1)];
        name = Folder(target) + "/." + base + "." + suffix;
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return FileDescriptor(fd);
    }
    return FileDescriptor(-1);
}

void SyncFolder(const std::string& target)
{
    // Where the folder cannot be synced the file still holds every byte; only
    // its new name may not yet outlast a crash.
    const FileDescriptor folder(open(Folder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) fsync(folder.get());
}

class PosixSaveIo final : public SaveIo {};

}  // namespace

ssize_t SaveIo::Write(int fd, const char* data, std::size_t size) { return write(fd, data, size); }

int SaveIo::Sync(int fd) { return fsync(fd); }

SaveIo& SystemSaveIo()
{
    static PosixSaveIo io;
    return io;
}

SaveOutcome SaveFile(const std::string& path, const SaveContents& contents, SaveIo& io)
{
    SaveOutcome outcome;
    const std::string target = Target(path);
    struct stat old {};
    const bool exists = stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        outcome.error = SystemError(EISDIR);
        return outcome;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        outcome.error = "it is not a regular file";
        return outcome;
    }
    // A file its owner made read-only stays as it is, although the folder
    // would let a new one take its name.
    if (exists && access(target.c_str(), W_OK) != 0) {
        outcome.error = SystemError(errno);
        return outcome;
    }
    std::string hidden;
    // A new file gets the permissions the user's umask gives; one that was
    // there keeps its own, given below once its owner is.
    FileDescriptor fd = MakeHidden(target, exists ? 0600 : 0666, hidden);
    if (fd.get() < 0) {
        outcome.error = SystemError(errno);
        return outcome;
    }
    const auto fail = [&](std::string why) {
        unlink(hidden.c_str());
        outcome.error = std::move(why);
        return outcome;
    };
    if (exists) {
        struct stat made {};
        if (fstat(fd.get(), &made) != 0) return fail(SystemError(errno));
        if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) && fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
            // Only root may give a file away: the saver owns it now.
            if (made.st_uid != old.st_uid)
                outcome.notes.push_back("it was owned by user " + std::to_string(old.st_uid) + " and is now yours");
            else
                outcome.notes.push_back("its group was " + std::to_string(old.st_gid) + " and is now yours");
        }
        if (fchmod(fd.get(), old.st_mode & 07777) != 0) return fail(SystemError(errno));
    }
    std::size_t written = 0;
    int writeError = 0;
    const auto put = [&](std::string_view piece) {
        while (!piece.empty()) {
            const ssize_t wrote = io.Write(fd.get(), piece.data(), piece.size());
            if (wrote < 0 && errno == EINTR) continue;
            if (wrote <= 0) {
                writeError = wrote < 0 ? errno : ENOSPC;  // a disk that takes no byte more is full
                return false;
            }
            piece.remove_prefix(static_cast<std::size_t>(wrote));
            written += static_cast<std::size_t>(wrote);
        }
        return true;
    };
    const std::string why = contents(put);
    if (writeError != 0) return fail(SystemError(writeError));
    if (!why.empty()) return fail(why);
    if (io.Sync(fd.get()) != 0) return fail(SystemError(errno));
    struct stat done {};
    if (fstat(fd.get(), &done) != 0) return fail(SystemError(errno));
    if (static_cast<std::uint64_t>(done.st_size) != written)
        return fail("only " + std::to_string(done.st_size) + " of its " + std::to_string(written) +
                    " bytes reached the disk");
    if (close(fd.release()) != 0) return fail(SystemError(errno));
    if (rename(hidden.c_str(), target.c_str()) != 0) return fail(SystemError(errno));
    SyncFolder(target);
    if (exists && old.st_nlink > 1)
        outcome.notes.push_back(old.st_nlink == 2 ? "its other name (a hard link) keeps the old contents"
                                                  : "its " + std::to_string(old.st_nlink - 1) +
                                                        " other names (hard links) keep the old contents");
    std::string unused;
    StampOf(target, outcome.stamp, unused);
    return outcome;
}

SaveOutcome SaveFile(const std::string& path, std::string_view text, SaveIo& io)
{
    // A refused piece is told by the writer itself.
    return SaveFile(
        path,
        [text](const std::function<bool(std::string_view)>& put) {
            put(text);
            return std::string();
        },
        io);
}

}  // namespace varno
