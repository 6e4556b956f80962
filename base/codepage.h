// Conversions between UTF-8, UTF-16LE and code page 936 (Windows' GBK, where
// U+20AC is the byte 0x80). None of them adds a terminating zero. A character
// that has no form in the target becomes "?"; a malformed UTF-8 sequence is read
// as U+FFFD first, so it too becomes "?" in code page 936.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tovrel {

// UTF-8 to UTF-16LE code units, two bytes each.
std::string utf8ToWide(std::string_view utf8);
// UTF-8 to code page 936, through UTF-16LE.
std::string utf8ToAnsi(std::string_view utf8);
// Code page 936 to UTF-8. A byte sequence that is not code page 936 becomes
// U+FFFD.
std::string ansiToUtf8(std::string_view ansi);

// The length (1 to 4) of the well-formed UTF-8 character at the start of text,
// or 0 when none starts there: no overlong form, no surrogate, nothing above
// U+10FFFF.
std::size_t utf8CharacterLength(std::string_view text);

// Appends byte as two upper-case hexadecimal digits.
void appendHexDigits(std::string& out, unsigned char byte);

// Each byte as "%" and two upper-case hexadecimal digits.
std::string percentEncoded(std::string_view bytes);

// UTF-8 to code page 936 without losing a character: one with no code page 936
// form, and a byte that starts no well-formed UTF-8 character, are written as
// their UTF-8 bytes percent-encoded ("%ED%95%9C" for U+D55C).
std::string utf8ToAnsiPercentEncoding(std::string_view utf8);

}  // namespace tovrel
