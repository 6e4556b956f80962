// Feeds arbitrary bytes to every text operation and to the marker helpers.
// The input is split at its first two zero bytes into a text, a sought text
// and a third text; two integers come from the last bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "text/markers.h"
#include "text/text.h"

using namespace tovrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    int a = 0;
    int b = 0;
    if (size >= 8) {
        std::memcpy(&a, data + size - 8, 4);
        std::memcpy(&b, data + size - 4, 4);
    }
    const ByteSet bytes{std::string(all)};
    const Text text = byteSetToText(bytes);
    std::string_view rest = all.substr(std::min(all.size(), text.size() + 1));
    const Text sought = byteSetToText(ByteSet{std::string(rest)});
    rest = rest.substr(std::min(rest.size(), sought.size() + 1));
    const Text third = byteSetToText(ByteSet{std::string(rest)});
    const bool flag = (a & 1) != 0;

    textLength(text);
    leftText(text, a);
    rightText(text, b);
    midText(text, a, b);
    const int found = findText(text, sought, a, flag);
    if (found != -1 && (found < 1 || found > textLength(text))) __builtin_trap();
    findTextReverse(text, sought, flag);
    toLowerCase(text);
    toInteger(text);
    trimBothEnds(text);
    removeAllSpaces(text);
    replaceSubtext(text, sought, third, flag);
    const TextArray pieces = splitText(text, sought);
    for (int i = 1; i <= arraySize(pieces); ++i) pieces.member(i);
    charFromCode(a);
    charCodeAt(text, a);
    compareText(text, sought);
    blankText(a & 0xFFFF);
    concatText(text, sought, third);
    findBytes(bytes, ByteSet{std::string(sought)});
    leftBytes(bytes, a);
    blankByteSet(b & 0xFFFF);
    concatByteSet(bytes, bytes);
    bitOr(a, b);
    if (b != 0) {
        integerDivide(a, b);
        modulo(a, b);
    }
    textBetween(text, sought, third, a, flag);
    valueAfterColon(text);
    return 0;
}
