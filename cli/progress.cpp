#include "cli/progress.h"

#include <cmath>

namespace varno {
namespace {

constexpr std::string_view Erase = "\r\x1b[K";  // to the start of the line, and clear it

std::string Grouped(std::int64_t value)
{
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0 && digits[i - 1] != '-') out += ',';
        out += digits[i];
    }
    return out;
}

std::string Duration(double seconds)
{
    const auto total = static_cast<std::int64_t>(std::ceil(seconds));
    const std::int64_t h = total / 3600, m = total / 60 % 60, s = total % 60;
    std::string out;
    const auto two = [&out](std::int64_t v) {
        out += ':';
        out += static_cast<char>('0' + v / 10);
        out += static_cast<char>('0' + v % 10);
    };
    if (h > 0) {
        out = std::to_string(h);
        two(m);
    } else {
        out = std::to_string(m);
    }
    two(s);
    return out;
}

}  // namespace

ProgressLine::ProgressLine(ByteSink& terminal, std::int64_t size, std::function<Clock::time_point()> now)
    : terminal_(terminal), size_(size), now_(std::move(now)), start_(now_()), drawn_(start_)
{
}

std::string ProgressLine::Text(std::int64_t problems, std::int64_t bytesRead, std::int64_t size, double elapsed)
{
    std::string text = "varno-cli: " + Grouped(problems) + (problems == 1 ? " problem" : " problems");
    if (elapsed > 0) text += ", " + Grouped(std::llround(static_cast<double>(problems) / elapsed)) + " a second";
    if (size > 0) {
        const double share = std::min(1.0, static_cast<double>(bytesRead) / static_cast<double>(size));
        text += ", " + std::to_string(static_cast<int>(share * 100)) + " % read";
        if (bytesRead > 0 && elapsed > 0)
            text += ", " + Duration(elapsed * static_cast<double>(size - bytesRead) / static_cast<double>(bytesRead)) +
                    " left";
    }
    return text;
}

void ProgressLine::Update(std::int64_t problems, std::int64_t bytesRead)
{
    problems_ = problems;
    bytesRead_ = bytesRead;
    const Clock::time_point now = now_();
    if (shown_ && now - drawn_ < std::chrono::milliseconds(100)) return;
    drawn_ = now;
    line_ = Text(problems, bytesRead, size_, std::chrono::duration<double>(now - start_).count());
    shown_ = true;
    terminal_.Write(std::string(Erase) + line_);
}

bool ProgressLine::Write(std::string_view text)
{
    if (!shown_) return terminal_.Write(text);
    return terminal_.Write(std::string(Erase) + std::string(text) + line_);
}

bool ProgressLine::WriteAround(ByteSink& sink, std::string_view text)
{
    if (!shown_) return sink.Write(text);
    terminal_.Write(Erase);
    const bool ok = sink.Write(text);
    terminal_.Write(line_);
    return ok;
}

void ProgressLine::End()
{
    if (shown_) terminal_.Write(Erase);
    shown_ = false;
}

}  // namespace varno
