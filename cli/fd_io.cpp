#include "cli/fd_io.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varno {

std::ptrdiff_t FdSource::Read(char* data, std::size_t size)
{
    while (true) {
        const ssize_t got = read(fd_, data, size);
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        error = "cannot read " + name_ + ": " + std::strerror(errno);
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

bool FdSink::Write(std::string_view text)
{
    while (!text.empty()) {
        const ssize_t wrote = write(fd_, text.data(), text.size());
        if (wrote < 0) {
            if (errno == EINTR) continue;
            error = "cannot write " + name_ + ": " + std::strerror(errno);
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

}  // namespace varno
