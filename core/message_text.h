// Texts that come from outside (file names, file contents, arguments) made
// safe for a one-line message: nothing in them may act on a terminal, break
// a line, or be cut inside a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varno {

// The length of the UTF-8 character text starts with, or 0 where its bytes
// are not one (a byte of another encoding, such as Latin-1's "\xB2").
std::size_t Utf8Length(std::string_view text);

// Appends text with every C0 and C1 control character, DEL and every byte
// that is not UTF-8 escaped as "\xHH" (each byte of a C1 character, which a
// terminal takes for the start of a control sequence), and '"' and '\\'
// escaped too, so that an escape reads one way only.
void AppendEscaped(std::string& out, std::string_view text, bool quotes = true);

// A name (a path) for a one-line message, escaped as above.
std::string EscapedName(std::string_view name);

// The same for a window, where quotes and backslashes show as they are:
// only control characters and bytes that are not UTF-8 escaped.
std::string PrintableName(std::string_view name);

// A text for a message, quoted and escaped; one longer than 40 bytes cut
// short between characters, with "..." before the closing quote.
std::string Quoted(std::string_view text);

}  // namespace varno
