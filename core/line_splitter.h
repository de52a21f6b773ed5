// Splits a stream of bytes into the lines of a FILE of problems, in memory
// bounded whatever the input holds: the one splitter of the batch command's
// stream and of the desktop program's Open, so that both see the same lines.
//
// Handler provides
//     void Line(std::string_view line, std::int64_t number, std::uint64_t offset);
//         a line without its '\n', numbered from 1, starting offset bytes
//         into the input (a UTF-8 byte-order mark at the start counts);
//         one longer than MaxProblemBytes arrives with each run of blanks
//         read as one blank;
//     void OversizeLine(std::int64_t number);
//         a line that is no comment and too long even so: seen, not kept;
//     bool AtFirstLine() const;
//         whether no line that counts has come yet: a start that can no
//         longer be blank, a comment, "K" or "M" then arrives at once as
//         its line, so that an input without line ends (/dev/zero) is
//         answered after its first bytes;
//     bool Stopped() const;
//         whether it wants no more lines: the rest of the bytes taken is
//         passed over.
// A comment line is passed over as it arrives, whatever its length; only a
// directions line arrives whole.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "core/problem_lines.h"

namespace varno {

template <class Handler>
class LineSplitter {
public:
    explicit LineSplitter(Handler& handler, std::int64_t firstLine = 1, std::uint64_t firstOffset = 0)
        : handler_(handler), lineNumber_(firstLine - 1), offset_(firstOffset), lineStart_(firstOffset)
    {
    }

    // The next bytes of the input. At its very start, a byte-order mark is
    // skipped, however the bytes arrive.
    void Take(std::string_view bytes)
    {
        if (!markChecked_) {
            static constexpr std::string_view Mark = "\xEF\xBB\xBF";
            const std::size_t wanted = Mark.size() - head_.size();
            head_.append(bytes.substr(0, wanted));
            bytes.remove_prefix(std::min(wanted, bytes.size()));
            if (head_.size() < Mark.size() && Mark.starts_with(head_)) return;  // too early to tell
            markChecked_ = true;
            const std::string head = std::move(head_);
            head_.clear();
            if (head == Mark) {
                offset_ += Mark.size();
                lineStart_ = offset_;
            } else {
                Split(head);
            }
        }
        Split(bytes);
    }

    // The input has ended: its last line, if unterminated, arrives now.
    void End()
    {
        if (!markChecked_) {
            markChecked_ = true;
            Split(std::exchange(head_, std::string()));
        }
        if (handler_.Stopped()) {
        } else if (skip_ != Skip::None) {
            EndSkippedLine();
        } else if (!carry_.empty()) {
            Emit(carry_);
        }
        ClearCarry();
        skip_ = Skip::None;
    }

    std::int64_t lineNumber() const { return lineNumber_; }

private:
    enum class Skip { None, Comment, Oversize };

    // Only a line that runs past the end of bytes is copied, and a comment
    // or an overlong row only as far as needed.
    void Split(std::string_view bytes)
    {
        std::size_t pos = 0;
        while (pos < bytes.size() && !handler_.Stopped()) {
            const void* found = std::memchr(bytes.data() + pos, '\n', bytes.size() - pos);
            if (skip_ != Skip::None) {
                if (found == nullptr) {
                    offset_ += bytes.size() - pos;
                    return;
                }
                const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data()) + 1;
                offset_ += end - pos;
                pos = end;
                EndSkippedLine();
                continue;
            }
            if (found == nullptr) {
                offset_ += bytes.size() - pos;
                Carry(bytes.substr(pos));
                return;
            }
            const auto end = static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
            offset_ += end + 1 - pos;
            if (carry_.empty()) {
                Emit(bytes.substr(pos, end - pos));
            } else {
                carry_.append(bytes, pos, end - pos);
                Emit(carry_);
                ClearCarry();
            }
            pos = end + 1;
        }
    }

    // The start of a line whose end has not been read yet.
    void Carry(std::string_view part)
    {
        carry_.append(part);
        if (handler_.AtFirstLine() && !MayStartProblems(carry_)) {  // a row, and /dev/zero has no line end to wait for
            Emit(carry_);
            ClearCarry();
            return;
        }
        // A comment: nothing of it is needed, but for a directions line.
        if (carry_.front() == '#' && !MayBeDirectionsLine(carry_)) {
            ClearCarry();
            skip_ = Skip::Comment;
            return;
        }
        if (carry_.size() <= MaxProblemBytes) return;
        // A run of blanks reads as one blank wherever it stands, so an overlong
        // line of blanks, or "K" padded with them, still reads as it should.
        std::size_t to = compacted_;
        for (std::size_t from = compacted_; from < carry_.size(); ++from) {
            const char c = carry_[from];
            const bool blank = c == ' ' || c == '\t';
            if (blank && to > 0 && (carry_[to - 1] == ' ' || carry_[to - 1] == '\t')) continue;
            carry_[to++] = c;
        }
        carry_.resize(to);
        compacted_ = to;
        if (carry_.size() > MaxProblemBytes) {
            ClearCarry();
            skip_ = Skip::Oversize;
        }
    }

    void ClearCarry()
    {
        carry_.clear();
        compacted_ = 0;
    }

    void Emit(std::string_view line)
    {
        handler_.Line(line, ++lineNumber_, lineStart_);
        lineStart_ = offset_;
    }

    void EndSkippedLine()
    {
        ++lineNumber_;
        if (skip_ == Skip::Oversize) handler_.OversizeLine(lineNumber_);
        skip_ = Skip::None;
        lineStart_ = offset_;
    }

    Handler& handler_;
    std::string carry_;
    std::size_t compacted_ = 0;  // carry_ has no runs of blanks before this
    std::string head_;           // the first bytes, until a byte-order mark can be told
    bool markChecked_ = false;
    Skip skip_ = Skip::None;
    std::int64_t lineNumber_;
    std::uint64_t offset_;     // bytes of the input taken so far
    std::uint64_t lineStart_;  // where the line being read starts
};

}  // namespace varno
