// The character walk over code page 936 text, for the toolkit's own use.
//
// A byte below 0x80 is a one-byte character. A byte of 0x80 or above starts a
// two-byte character with the byte after it, whatever that byte is; as the last
// byte of a text (a dangling lead byte) it is a one-byte character.
#pragma once

#include <cstddef>
#include <string_view>

namespace tovrel {

inline bool isLeadByte(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

// The index of the character after the one that begins at i.
inline std::size_t nextCharacter(std::string_view text, std::size_t i) {
    return isLeadByte(text[i]) && i + 1 < text.size() ? i + 2 : i + 1;
}

// Whether the character beginning at i is a dangling lead byte.
inline bool isDanglingLead(std::string_view text, std::size_t i) {
    return i + 1 == text.size() && isLeadByte(text[i]);
}

// Whether a character begins at index p, given that one begins at known <= p.
bool isCharacterStart(std::string_view text, std::size_t known, std::size_t p);

// The index of the first occurrence of sought (not empty) that begins at a
// character at or after `from`, itself a character start; npos if there is
// none. With ignoreCase the bytes A-Z equal a-z, trail bytes included.
std::size_t findAtCharacter(std::string_view text, std::string_view sought, std::size_t from,
                            bool ignoreCase);

}  // namespace tovrel
