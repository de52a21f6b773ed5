// The stream's ends on file descriptors: a file, a pipe, a terminal.
#pragma once

#include <cstdint>
#include <string>

#include "cli/problem_stream.h"

namespace varno {

class FdSource final : public ByteSource {
public:
    // name: what a message calls it ("standard input", a path).
    FdSource(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    std::ptrdiff_t Read(char* data, std::size_t size) override;
    bool WouldWait() override;
    // The bytes in all for a regular file; -1 for anything else.
    std::int64_t Size() const;

private:
    int fd_;
    std::string name_;
};

class FdSink final : public ByteSink {
public:
    FdSink(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    bool Write(std::string_view text) override;

private:
    int fd_;
    std::string name_;
};

}  // namespace varno
