// One line on a terminal that says how far a long run has come.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "cli/problem_stream.h"

namespace varno {

// Stands between the run and its terminal: messages written through it go
// on their own lines, with the progress line drawn again below them.
class ProgressLine final : public ByteSink, public ProgressObserver {
public:
    using Clock = std::chrono::steady_clock;

    // size: the input's length in bytes, or -1 when it is not known (a pipe).
    ProgressLine(ByteSink& terminal, std::int64_t size, std::function<Clock::time_point()> now = Clock::now);

    bool Write(std::string_view text) override;
    // Writes text to sink, another stream to the same terminal, with the
    // line erased first and drawn again after it.
    bool WriteAround(ByteSink& sink, std::string_view text);
    // Redraws the line, at most ten times a second.
    void Update(std::int64_t problems, std::int64_t bytesRead) override;
    // Erases the line.
    void End();

    // The line for problems done and bytes read after elapsed seconds:
    // "varno-cli: 1,234,567 problems, 312,000 a second, 45 % read, 0:12 left",
    // without the share and the time left when the size is not known.
    static std::string Text(std::int64_t problems, std::int64_t bytesRead, std::int64_t size, double elapsed);

private:
    ByteSink& terminal_;
    std::int64_t size_;
    std::function<Clock::time_point()> now_;
    Clock::time_point start_;
    Clock::time_point drawn_;
    std::int64_t problems_ = 0;
    std::int64_t bytesRead_ = 0;
    bool shown_ = false;
    std::string line_;  // as last drawn
};

}  // namespace varno
