#include "core/message_text.h"

#include <algorithm>

namespace varno {

std::size_t Utf8Length(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const unsigned lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned low = 0x80;  // the range of the second byte: no overlong form, no surrogate, nothing past U+10FFFF
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    return length;
}

void AppendEscaped(std::string& out, std::string_view text, bool quotes)
{
    static constexpr char Hex[] = "0123456789abcdef";
    const auto escape = [&](unsigned char c) {
        out += "\\x";
        out += Hex[c >> 4];
        out += Hex[c & 15];
    };
    for (std::size_t i = 0; i < text.size();) {
        const char ch = text[i];
        const auto c = static_cast<unsigned char>(ch);
        const std::size_t length = Utf8Length(text.substr(i));
        // U+0080 ... U+009F: 0xC2 then 0x80 ... 0x9F.
        const bool c1 = length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (quotes && (c == '"' || c == '\\')) {
            out += '\\';
            out += ch;
        } else if (c1) {
            escape(c);
            escape(static_cast<unsigned char>(text[i + 1]));
            i += 2;
            continue;
        } else if (c < 0x20 || c == 0x7f || length == 0) {
            escape(c);
        } else {
            out.append(text, i, length);
            i += length;
            continue;
        }
        ++i;
    }
}

std::string EscapedName(std::string_view name)
{
    std::string out;
    AppendEscaped(out, name);
    return out;
}

std::string PrintableName(std::string_view name)
{
    std::string out;
    AppendEscaped(out, name, false);
    return out;
}

std::string Quoted(std::string_view text)
{
    constexpr std::size_t Shown = 40;
    bool cut = false;
    if (text.size() > Shown) {
        // Whole characters only: the last one that starts within the first
        // Shown bytes goes only where it ends within them too.
        std::size_t end = 0;
        while (end < Shown) {
            const std::size_t length = std::max<std::size_t>(Utf8Length(text.substr(end)), 1);
            if (end + length > Shown) break;
            end += length;
        }
        text = text.substr(0, end);
        cut = true;
    }
    std::string out = "\"";
    AppendEscaped(out, text);
    out += cut ? "...\"" : "\"";
    return out;
}

}  // namespace varno
