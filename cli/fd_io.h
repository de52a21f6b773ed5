// The batch command's output on a file descriptor: a file, a pipe, a terminal.
#pragma once

#include <string>

#include "core/byte_stream.h"
#include "core/file_io.h"

namespace varno {

class FdSink final : public ByteSink {
public:
    FdSink(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    bool Write(std::string_view text) override;

private:
    int fd_;
    std::string name_;
};

}  // namespace varno
