#include "text/walk.h"

namespace tovrel {

namespace {

constexpr std::size_t npos = std::string_view::npos;

inline char foldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c;
}

bool equalIgnoringCase(const char* a, const char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    }
    return true;
}

// The first index at or after pos where sought's bytes stand, wherever a
// character begins or not.
std::size_t nextCandidate(std::string_view text, std::string_view sought, std::size_t pos,
                          bool ignoreCase) {
    if (!ignoreCase) return text.find(sought, pos);
    if (sought.size() > text.size()) return npos;
    const char first = foldCase(sought[0]);
    const std::size_t last = text.size() - sought.size();
    for (std::size_t i = pos; i <= last; ++i) {
        if (foldCase(text[i]) == first &&
            equalIgnoringCase(text.data() + i + 1, sought.data() + 1, sought.size() - 1)) {
            return i;
        }
    }
    return npos;
}

}  // namespace

bool isCharacterStart(std::string_view text, std::size_t known, std::size_t p) {
    // Walking back from p over lead-range bytes: the first byte of that run is
    // a character start (it is `known`, or it follows a byte below 0x80, which
    // is a character of its own or a trail byte). Inside the run the bytes pair
    // up, so p begins a character when the run before it has an even length.
    std::size_t i = p;
    while (i > known && isLeadByte(text[i - 1])) --i;
    return (p - i) % 2 == 0;
}

std::size_t findAtCharacter(std::string_view text, std::string_view sought, std::size_t from,
                            bool ignoreCase) {
    std::size_t known = from;
    std::size_t pos = from;
    for (;;) {
        const std::size_t p = nextCandidate(text, sought, pos, ignoreCase);
        if (p == npos) return npos;
        if (isCharacterStart(text, known, p)) return p;
        known = p - 1;  // p is a trail byte, so its lead begins a character
        pos = p + 1;
    }
}

}  // namespace tovrel
