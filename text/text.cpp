#include "text/text.h"

#include <cmath>
#include <cstddef>
#include <new>

#include "base/fatal.h"
#include "base/storage.h"
#include "text/walk.h"

namespace tovrel {

namespace {

constexpr std::size_t npos = TextView::npos;

Text copyOf(TextView view) {
    Text copy = newStorage(view.size());
    copy.append(view);
    return copy;
}

int positionOf(std::size_t index) {
    return index == npos ? -1 : static_cast<int>(index + 1);
}

// The byte index where a search that the caller starts at `start` begins, or
// npos when start lies beyond the text.
std::size_t searchBegin(TextView text, int start) {
    if (start <= 1) return 0;
    if (static_cast<std::size_t>(start) > text.size()) return npos;
    return static_cast<std::size_t>(start) - 1;
}

bool isBlankAt(TextView text, std::size_t i, std::size_t width) {
    if (width == 1) return text[i] == ' ';
    return text[i] == '\xa1' && text[i + 1] == '\xa1';
}

}  // namespace

// --- TextArray ---------------------------------------------------------------

const Text& TextArray::member(int index) const {
    if (index < 1) {
        // "数组成员引用下标必须大于等于1"
        reportFatalError(
            "\xca\xfd\xd7\xe9\xb3\xc9\xd4\xb1\xd2\xfd\xd3\xc3\xcf\xc2\xb1\xea"
            "\xb1\xd8\xd0\xeb\xb4\xf3\xd3\xda\xb5\xc8\xd3\xda"
            "1",
            4);
    }
    if (index > size()) {
        // "数组成员引用下标超出定义范围"
        reportFatalError(
            "\xca\xfd\xd7\xe9\xb3\xc9\xd4\xb1\xd2\xfd\xd3\xc3\xcf\xc2\xb1\xea"
            "\xb3\xac\xb3\xf6\xb6\xa8\xd2\xe5\xb7\xb6\xce\xa7",
            1);
    }
    return members_[static_cast<std::size_t>(index) - 1];
}

void TextArray::append(TextView text) {
    Text copy = copyOf(text);
    try {
        members_.push_back(std::move(copy));
    } catch (const std::bad_alloc&) {
        reportAllocationFailure((members_.size() + 1) * sizeof(Text));
    }
}

// --- texts -----------------------------------------------------------------

int textLength(TextView text) {
    return static_cast<int>(text.size());
}

Text leftText(TextView text, int n) {
    if (n <= 0) return {};
    return copyOf(text.substr(0, static_cast<std::size_t>(n)));
}

Text rightText(TextView text, int n) {
    if (n <= 0) return {};
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(n));
    return copyOf(text.substr(text.size() - count));
}

Text midText(TextView text, int start, int n) {
    if (start < 1 || static_cast<std::size_t>(start) > text.size() || n <= 0) return {};
    return copyOf(text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(n)));
}

int findText(TextView text, TextView sought, int start, bool ignoreCase) {
    const std::size_t begin = searchBegin(text, start);
    if (begin == npos) return -1;
    if (sought.empty()) return begin < text.size() ? 1 : -1;
    return positionOf(findAtCharacter(text, sought, begin, ignoreCase));
}

int findTextReverse(TextView text, TextView sought, bool ignoreCase) {
    if (sought.empty()) return text.empty() ? -1 : 1;
    std::size_t last = npos;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t found = findAtCharacter(text, sought, from, ignoreCase);
        if (found == npos) break;
        last = found;
        from = nextCharacter(text, found);
    }
    return positionOf(last);
}

Text toLowerCase(TextView text) {
    Text lower = copyOf(text);
    for (std::size_t i = 0; i < lower.size(); i = nextCharacter(lower, i)) {
        if (lower[i] >= 'A' && lower[i] <= 'Z') lower[i] = static_cast<char>(lower[i] + 0x20);
    }
    return lower;
}

std::int32_t toInteger(TextView text) {
    // The character at i read as ASCII: full-width forms A3 A1..A3 FE as the
    // byte 0x80 lower, the full-width space A1 A1 as a blank, any other
    // two-byte character as a value that is neither digit, sign nor space.
    std::size_t i = 0;
    auto next = [&]() -> int {
        if (i >= text.size()) return -1;
        const std::size_t width = nextCharacter(text, i) - i;
        const auto lead = static_cast<unsigned char>(text[i]);
        int value = lead;
        if (width == 2) {
            const auto trail = static_cast<unsigned char>(text[i + 1]);
            if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
                value = trail - 0x80;
            } else if (lead == 0xA1 && trail == 0xA1) {
                value = ' ';
            } else {
                value = 0x100;
            }
        }
        i += width;
        return value;
    };
    int c = next();
    while (c == ' ' || (c >= 0x09 && c <= 0x0D)) c = next();
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = next();
    }
    std::uint32_t value = 0;
    while (c >= '0' && c <= '9') {
        value = value * 10u + static_cast<std::uint32_t>(c - '0');
        c = next();
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

Text trimBothEnds(TextView text) {
    std::size_t first = npos;  // the first character that is not a blank
    std::size_t end = 0;       // just after the last character that is not a blank
    std::size_t i = 0;
    while (i < text.size()) {
        if (isDanglingLead(text, i)) {
            // The dangling byte goes; blanks before it stay.
            if (first == npos) first = i;
            end = i;
            break;
        }
        const std::size_t width = nextCharacter(text, i) - i;
        if (!isBlankAt(text, i, width)) {
            if (first == npos) first = i;
            end = i + width;
        }
        i += width;
    }
    if (first == npos) return {};
    return copyOf(text.substr(first, end - first));
}

Text removeAllSpaces(TextView text) {
    Text kept = newStorage(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (isDanglingLead(text, i)) break;
        const std::size_t width = nextCharacter(text, i) - i;
        if (!isBlankAt(text, i, width)) kept.append(text.data() + i, width);
        i += width;
    }
    return kept;
}

Text replaceSubtext(TextView text, TextView sought, TextView replacement, bool caseSensitive) {
    if (text.empty() || sought.empty()) return copyOf(text);
    const bool ignoreCase = !caseSensitive;

    // First find every occurrence, so that the result's size is known.
    std::vector<std::size_t> found;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t at = findAtCharacter(text, sought, from, ignoreCase);
        if (at == npos) break;
        found.push_back(at);
        from = at + sought.size();
    }
    // A dangling lead byte that the walk reaches after the last occurrence goes.
    std::size_t tailEnd = text.size();
    if (from < text.size() && isCharacterStart(text, from, text.size() - 1) &&
        isDanglingLead(text, text.size() - 1)) {
        tailEnd = text.size() - 1;
    }

    const std::size_t size = text.size() - found.size() * sought.size() +
                             found.size() * replacement.size() - (text.size() - tailEnd);
    Text result = newStorage(size);
    std::size_t copied = 0;
    for (const std::size_t at : found) {
        result.append(text.data() + copied, at - copied);
        result.append(replacement);
        copied = at + sought.size();
    }
    if (copied < tailEnd) result.append(text.data() + copied, tailEnd - copied);
    return result;
}

TextArray splitText(TextView text, TextView separator) {
    TextArray pieces;
    if (text.empty()) return pieces;
    if (separator.empty()) {
        pieces.append(text);
        return pieces;
    }
    std::size_t segment = 0;
    while (segment < text.size()) {
        const std::size_t at = findAtCharacter(text, separator, segment, false);
        if (at == npos) break;
        pieces.append(text.substr(segment, at - segment));
        segment = at + separator.size();
    }
    if (segment < text.size()) pieces.append(text.substr(segment));
    return pieces;
}

Text charFromCode(int code) {
    const auto byte = static_cast<char>(static_cast<unsigned>(code) & 0xFFu);
    if (byte == '\0') return {};
    return Text(1, byte);
}

int charCodeAt(TextView text, int position) {
    if (position < 1 || static_cast<std::size_t>(position) > text.size()) return 0;
    return static_cast<signed char>(text[static_cast<std::size_t>(position) - 1]);
}

int compareText(TextView a, TextView b) {
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

Text blankText(int n) {
    if (n <= 0) return {};
    Text blanks = newStorage(static_cast<std::size_t>(n));
    blanks.append(static_cast<std::size_t>(n), ' ');
    return blanks;
}

Text concatViews(std::initializer_list<TextView> parts) {
    std::size_t size = 0;
    for (const TextView part : parts) size += part.size();
    Text joined = newStorage(size);
    for (const TextView part : parts) joined.append(part);
    return joined;
}

// --- byte sets -------------------------------------------------------------

ByteSet toByteSet(TextView text) {
    return ByteSet{copyOf(text)};
}

ByteSet toByteSet(const std::vector<std::uint8_t>& values) {
    ByteSet bytes{newStorage(values.size())};
    for (const std::uint8_t value : values) bytes.bytes.push_back(static_cast<char>(value));
    return bytes;
}

Text byteSetToText(const ByteSet& bytes) {
    const TextView all(bytes.bytes);
    return copyOf(all.substr(0, all.find('\0')));
}

int byteSetLength(const ByteSet& bytes) {
    return static_cast<int>(bytes.bytes.size());
}

ByteSet leftBytes(const ByteSet& bytes, int n) {
    if (n <= 0) return {};
    return ByteSet{copyOf(TextView(bytes.bytes).substr(0, static_cast<std::size_t>(n)))};
}

int findBytes(const ByteSet& bytes, const ByteSet& pattern) {
    if (pattern.bytes.empty()) return -1;
    return positionOf(TextView(bytes.bytes).find(pattern.bytes));
}

ByteSet blankByteSet(int n) {
    if (n <= 0) return {};
    ByteSet zeros{newStorage(static_cast<std::size_t>(n))};
    zeros.bytes.append(static_cast<std::size_t>(n), '\0');
    return zeros;
}

ByteSet concatByteSet(const ByteSet& a, const ByteSet& b) {
    return ByteSet{concatViews({a.bytes, b.bytes})};
}

// --- arrays ----------------------------------------------------------------

int arraySize(const TextArray& array) {
    return array.size();
}

void appendMember(TextArray& array, TextView text) {
    array.append(text);
}

// --- arithmetic ------------------------------------------------------------

double integerDivide(double a, double b) {
    return std::trunc(a / b);
}

double modulo(double a, double b) {
    return std::fmod(a, b);
}

std::int32_t bitOr(std::int32_t a, std::int32_t b) {
    return a | b;
}

}  // namespace tovrel
