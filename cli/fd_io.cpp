#include "cli/fd_io.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varno {

bool FdSink::Write(std::string_view text)
{
    while (!text.empty()) {
        const ssize_t wrote = write(fd_, text.data(), text.size());
        if (wrote < 0) {
            if (errno == EINTR) continue;
            error = "cannot write " + name_ + ": " + SystemError(errno);
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

}  // namespace varno
