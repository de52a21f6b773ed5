// Files as both programs read them: opened without ever waiting on them,
// regular files only where a file is to be read whole, and told apart from
// what was opened before by their identity, size and time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/byte_stream.h"

namespace varno {

// errno's text, in English whatever the locale: Qt puts the C library into
// the user's locale, and a message must not be half in one language.
std::string SystemError(int error);

// What tells one state of a file from another.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::uint64_t links = 0;  // hard links: more than 1 where another name shares the file
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::uint32_t mode = 0;  // the permission bits, with set-user-ID, set-group-ID and sticky
    bool SameFile(const FileStamp& other) const { return device == other.device && inode == other.inode; }
    // The same file with the same contents, as far as a stat can tell.
    bool Unchanged(const FileStamp& other) const
    {
        return SameFile(other) && size == other.size && modifiedSeconds == other.modifiedSeconds &&
               modifiedNanoseconds == other.modifiedNanoseconds;
    }
};

// The stamp of the file path names (through symbolic links); false where
// there is none, with errno's text in error.
bool StampOf(const std::string& path, FileStamp& stamp, std::string& error);

// A descriptor closed when it goes.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();
    int get() const { return fd_; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

// A regular file opened for reading, or why not: "cannot read NAME: " and
// the reason ("No such file or directory", "Is a directory", "it is a named
// pipe, not a regular file"). Opening never waits: a FIFO without a writer
// or a device is refused, not read. shown is what the message calls the file.
struct OpenedFile {
    FileDescriptor fd;
    FileStamp stamp;
    std::string error;
    std::string reason;    // the error without "cannot read NAME: "
    bool missing = false;  // there is no such file
    bool ok() const { return error.empty(); }
};
OpenedFile OpenRegularFile(const std::string& path, std::string_view shown);

// A file, a pipe or a terminal read through its descriptor, which it does
// not own.
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

// All of a regular file of at most limit bytes, or why not: the size of
// one that is larger, measured before a byte of it is read (and again after,
// for one that grows meanwhile), followed by why, in "NAME is 4 GiB; WHY:
// a file larger than 1 MiB is not read".
struct WholeFile {
    std::string text;
    FileStamp stamp;
    std::string error;
    bool missing = false;  // there is no such file
    bool ok() const { return error.empty(); }
};
WholeFile ReadWholeFile(const std::string& path, std::string_view shown, std::size_t limit, std::string_view why);

// A size for people, three digits rounded up: "512 bytes", "1.01 MiB", "4.2 GiB".
std::string SizeText(std::uint64_t bytes);

}  // namespace varno
