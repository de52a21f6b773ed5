// Where bytes come from and go to, whatever holds them: a file, a pipe, a
// text in memory. Readers take their input through ByteSource, so that what
// they keep stays bounded whatever the input holds.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace varno {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads at most size bytes into data: how many, 0 at the end of the
    // input, -1 on an error, with the message for the user in error.
    virtual std::ptrdiff_t Read(char* data, std::size_t size) = 0;
    // Whether Read would wait for input that has not come yet.
    virtual bool WouldWait() { return false; }
    std::string error;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all of text; false on an error, with the message in error.
    virtual bool Write(std::string_view text) = 0;
    std::string error;
};

// A text in memory, read at most chunk bytes at a time.
class TextSource final : public ByteSource {
public:
    explicit TextSource(std::string_view text, std::size_t chunk = std::size_t{1} << 16)
        : text_(text), chunk_(std::max<std::size_t>(chunk, 1))
    {
    }
    std::ptrdiff_t Read(char* data, std::size_t size) override
    {
        const std::size_t n = std::min({size, chunk_, text_.size()});
        std::copy_n(text_.data(), n, data);  // text_ may be empty, with no data at all
        text_.remove_prefix(n);
        return static_cast<std::ptrdiff_t>(n);
    }

private:
    std::string_view text_;
    std::size_t chunk_;
};

class StringSink final : public ByteSink {
public:
    explicit StringSink(std::string& text) : text_(text) {}
    bool Write(std::string_view text) override
    {
        text_ += text;
        return true;
    }

private:
    std::string& text_;
};

}  // namespace varno
