#include "core/file_io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <clocale>
#include <cstring>

#include <locale.h>

#include "core/number_text.h"

namespace varno {
namespace {

FileStamp StampFrom(const struct stat& info)
{
    FileStamp stamp;
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    stamp.size = static_cast<std::int64_t>(info.st_size);
    stamp.modifiedSeconds = static_cast<std::int64_t>(info.st_mtim.tv_sec);
    stamp.modifiedNanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_nsec);
    stamp.links = static_cast<std::uint64_t>(info.st_nlink);
    stamp.owner = info.st_uid;
    stamp.group = info.st_gid;
    stamp.mode = info.st_mode & 07777;
    return stamp;
}

// What a file is where it is not a regular one, for a message.
const char* KindOf(mode_t mode)
{
    if (S_ISFIFO(mode)) return "it is a named pipe, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
    if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
    return "it is not a regular file";
}

}  // namespace

std::string SystemError(int error)
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
    return c != locale_t{} ? strerror_l(error, c) : std::strerror(error);
}

bool StampOf(const std::string& path, FileStamp& stamp, std::string& error)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        error = SystemError(errno);
        return false;
    }
    stamp = StampFrom(info);
    return true;
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = other.release();
    }
    return *this;
}

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0) close(fd_);
}

OpenedFile OpenRegularFile(const std::string& path, std::string_view shown)
{
    OpenedFile file;
    const auto fail = [&](const std::string& why) {
        file.reason = why;
        file.error = "cannot read " + std::string(shown) + ": " + why;
        file.fd = FileDescriptor();
        return std::move(file);
    };
    // O_NONBLOCK: a FIFO without a writer would block the open itself;
    // O_NOCTTY: a terminal named by mistake must not become ours.
    file.fd = FileDescriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.fd.get() < 0) {
        file.missing = errno == ENOENT;
        return fail(SystemError(errno));
    }
    struct stat info {};
    if (fstat(file.fd.get(), &info) != 0) return fail(SystemError(errno));
    if (S_ISDIR(info.st_mode)) return fail(SystemError(EISDIR));
    if (!S_ISREG(info.st_mode)) return fail(KindOf(info.st_mode));
    // Reads of a regular file wait for the disk only, as they should.
    const int flags = fcntl(file.fd.get(), F_GETFL);
    if (flags < 0 || fcntl(file.fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return fail(SystemError(errno));
    file.stamp = StampFrom(info);
    return file;
}

std::ptrdiff_t FdSource::Read(char* data, std::size_t size)
{
    while (true) {
        const ssize_t got = read(fd_, data, size);
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        error = "cannot read " + name_ + ": " + SystemError(errno);
        return -1;
    }
}

bool FdSource::WouldWait()
{
    pollfd ready{fd_, POLLIN, 0};
    return poll(&ready, 1, 0) == 0;
}

std::int64_t FdSource::Size() const
{
    struct stat info {};
    return fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) ? static_cast<std::int64_t>(info.st_size) : -1;
}

WholeFile ReadWholeFile(const std::string& path, std::string_view shown, std::size_t limit, std::string_view why)
{
    WholeFile whole;
    OpenedFile file = OpenRegularFile(path, shown);
    if (!file.ok()) {
        whole.error = std::move(file.error);
        whole.missing = file.missing;
        return whole;
    }
    whole.stamp = file.stamp;
    const auto tooLarge = [&](std::uint64_t bytes, bool atLeast) {
        whole.text.clear();
        whole.error = std::string(shown) + " is " + (atLeast ? "more than " : "") + SizeText(bytes) + "; " +
                      std::string(why) + ": a file larger than " + SizeText(limit) + " is not read";
        return std::move(whole);
    };
    if (static_cast<std::uint64_t>(file.stamp.size) > limit) return tooLarge(static_cast<std::uint64_t>(file.stamp.size), false);
    FdSource in(file.fd.get(), std::string(shown));
    whole.text.resize(static_cast<std::size_t>(file.stamp.size) + 1);
    std::size_t got = 0;
    while (true) {
        if (got == whole.text.size()) {
            if (got > limit) return tooLarge(limit, true);
            whole.text.resize(std::min(limit + 1, 2 * got + 4096));
        }
        const std::ptrdiff_t n = in.Read(whole.text.data() + got, whole.text.size() - got);
        if (n < 0) {
            whole.text.clear();
            whole.error = in.error;
            return whole;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    whole.text.resize(got);
    return whole;
}

std::string SizeText(std::uint64_t bytes)
{
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    static constexpr const char* Units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    auto value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(Units)) {
        value /= 1024.0;
        ++unit;
    }
    // Three digits, rounded up: a file just over a limit never shows as at it.
    const double scale = value < 10.0 ? 100.0 : value < 100.0 ? 10.0 : 1.0;
    return FormatG(std::ceil(value * scale) / scale, 0, 4) + " " + Units[unit];
}

}  // namespace varno
