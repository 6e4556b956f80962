#include "text/walk.h"

#include "text/text.h"

#include <algorithm>

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

// Yields, in increasing order, the indexes where sought's bytes stand, at a
// character start or not. Ignoring case, the first byte is looked up in both
// cases with memchr and the rest compared folded.
class Candidates {
  public:
    Candidates(std::string_view text, std::string_view sought, std::size_t pos, bool ignoreCase)
        : text_(text), sought_(sought), ignoreCase_(ignoreCase) {
        if (!ignoreCase_) return;
        lower_ = foldCase(sought[0]);
        upper_ = lower_ >= 'a' && lower_ <= 'z' ? static_cast<char>(lower_ - 0x20) : lower_;
        nextLower_ = text_.find(lower_, pos);
        nextUpper_ = upper_ == lower_ ? npos : text_.find(upper_, pos);
    }

    std::size_t next(std::size_t pos) {
        if (!ignoreCase_) return text_.find(sought_, pos);
        for (;;) {
            if (nextLower_ < pos) nextLower_ = text_.find(lower_, pos);
            if (nextUpper_ < pos && upper_ != lower_) nextUpper_ = text_.find(upper_, pos);
            const std::size_t p = std::min(nextLower_, nextUpper_);
            if (p == npos || text_.size() - p < sought_.size()) return npos;
            if (equalIgnoringCase(text_.data() + p + 1, sought_.data() + 1, sought_.size() - 1)) {
                return p;
            }
            pos = p + 1;
        }
    }

  private:
    std::string_view text_;
    std::string_view sought_;
    bool ignoreCase_;
    char lower_ = 0;
    char upper_ = 0;
    std::size_t nextLower_ = npos;
    std::size_t nextUpper_ = npos;
};

}  // namespace

bool startsWithIgnoringCase(std::string_view text, std::string_view word) {
    return text.size() >= word.size() && equalIgnoringCase(text.data(), word.data(), word.size());
}

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
    Candidates candidates(text, sought, from, ignoreCase);
    std::size_t known = from;
    std::size_t pos = from;
    for (;;) {
        const std::size_t p = candidates.next(pos);
        if (p == npos) return npos;
        if (isCharacterStart(text, known, p)) return p;
        known = p - 1;  // p is a trail byte, so its lead begins a character
        pos = p + 1;
    }
}

}  // namespace tovrel
