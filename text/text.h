// Text, ByteSet and TextArray: the value types every routine of Tovrel is
// written over, and the operations on them.
//
// A Text holds code page 936 bytes and never a zero byte. A byte below 0x80 is
// a one-byte character; a byte of 0x80 or above starts a two-byte character
// with the byte after it. Positions and lengths are 1-based byte counts.
// Searching, splitting, trimming and lower-casing walk the text character by
// character and only try a match where a character begins; operations that cut
// by a position or a length count bytes.
//
// Every operation accepts every argument: an out-of-range position or count
// gives the empty value, 0 or -1. The absent value and the empty value are the
// same. The one error is reading a TextArray member outside 1..arraySize,
// which ends the process through reportFatalError.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tovrel {

using Text = std::string;
using TextView = std::string_view;

// Arbitrary bytes, zero bytes included: request and response bodies and
// decoded data.
struct ByteSet {
    std::string bytes;
    friend bool operator==(const ByteSet&, const ByteSet&) = default;
};

// An ordered list of texts read 1-based through member(); a read outside
// 1..arraySize is fatal (code 4 below 1, code 1 above).
class TextArray {
  public:
    const Text& member(int index) const;
    int size() const { return static_cast<int>(members_.size()); }
    void append(TextView text);

  private:
    std::vector<Text> members_;
};

// --- texts -----------------------------------------------------------------

int textLength(TextView text);
Text leftText(TextView text, int n);
Text rightText(TextView text, int n);
Text midText(TextView text, int start, int n);

// The 1-based position of the first occurrence of sought beginning at or after
// start (0 or 1: the whole text), or -1. An empty sought gives 1 when any byte
// lies at or after start.
int findText(TextView text, TextView sought, int start = 0, bool ignoreCase = false);
// The position of the last occurrence of sought (occurrences may overlap), or -1.
int findTextReverse(TextView text, TextView sought, bool ignoreCase = false);

Text toLowerCase(TextView text);
// Whether text begins with word, the bytes A-Z equal to a-z (as findText with
// ignoreCase compares them).
bool startsWithIgnoringCase(TextView text, TextView word);
// The decimal number at the start of the text (full-width digits, signs and
// spaces read as their ASCII forms), wrapping in 32 bits.
std::int32_t toInteger(TextView text);
Text trimBothEnds(TextView text);
Text removeAllSpaces(TextView text);
Text replaceSubtext(TextView text, TextView sought, TextView replacement = {},
                    bool caseSensitive = false);
TextArray splitText(TextView text, TextView separator);

Text charFromCode(int code);
int charCodeAt(TextView text, int position);
int compareText(TextView a, TextView b);
Text blankText(int n);

Text concatViews(std::initializer_list<TextView> parts);
template <class... Parts>
Text concatText(const Parts&... parts) {
    return concatViews({TextView(parts)...});
}

// --- byte sets -------------------------------------------------------------

ByteSet toByteSet(TextView text);
ByteSet toByteSet(const std::vector<std::uint8_t>& values);
// The bytes before the first zero byte.
Text byteSetToText(const ByteSet& bytes);
int byteSetLength(const ByteSet& bytes);
ByteSet leftBytes(const ByteSet& bytes, int n);
// The 1-based position of pattern stepping one byte at a time, or -1; an
// empty pattern gives -1.
int findBytes(const ByteSet& bytes, const ByteSet& pattern);
ByteSet blankByteSet(int n);
ByteSet concatByteSet(const ByteSet& a, const ByteSet& b);

// --- arrays ----------------------------------------------------------------

int arraySize(const TextArray& array);
void appendMember(TextArray& array, TextView text);

// --- arithmetic ------------------------------------------------------------

double integerDivide(double a, double b);
double modulo(double a, double b);
std::int32_t bitOr(std::int32_t a, std::int32_t b);

}  // namespace tovrel
