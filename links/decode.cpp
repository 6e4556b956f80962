#include "links/decode.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/storage.h"
#include "links/screen.h"

namespace tovrel {

namespace {

struct SchemeWord {
    int code;
    TextView word;
};

// Tested in this order; the first match decides.
constexpr std::array<SchemeWord, 4> kSchemeWords{{
    {1, "http"},
    {2, "thunder"},
    {3, "flashget"},
    {4, "qqdl"},
}};

constexpr int kPlain = 1;
constexpr int kThunder = 2;
constexpr int kFlashget = 3;
constexpr int kQqdl = 4;

// The value of each Base64 character, or kOutside.
constexpr std::uint8_t kOutside = 0xFF;
constexpr std::array<std::uint8_t, 256> kValues = [] {
    std::array<std::uint8_t, 256> values{};
    values.fill(kOutside);
    constexpr TextView alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i) {
        values[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
    }
    return values;
}();

// Whether cleaning would leave the text as it is: it holds no blank, no CR
// and no byte of a two-byte character (whose walk could take a blank along or
// drop a dangling lead byte).
bool isAlreadyClean(TextView text) {
    for (const char c : text) {
        if (c == ' ' || c == '\r' || static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

Text decodedText(TextView base64) {
    return byteSetToText(base64Decode(base64));
}

// The stripped link up to its first "&": sites append parameters such as
// "&srcid=119" after the Base64 text, and "&" is no Base64 character.
Text payloadBeforeAmpersand(TextView link) {
    const Text s = stripScheme(link);
    const int amp = findText(s, "&");
    return amp == -1 ? s : leftText(s, amp - 1);
}

}  // namespace

int linkScheme(TextView link) {
    for (const SchemeWord& scheme : kSchemeWords) {
        if (startsWithIgnoringCase(link, scheme.word)) return scheme.code;
    }
    return -1;
}

Text stripScheme(TextView link) {
    const int p = findText(link, "//");
    Text tail = rightText(link, textLength(link) - p - 1);
    if (!tail.empty() && tail.back() == '/') tail.pop_back();
    return tail;
}

ByteSet base64Decode(TextView text) {
    // Blanks go first, then CR LF pairs. The decoder reads its own copy: a
    // handler run by processEvents may rewrite the text the caller passed.
    const Text clean = isAlreadyClean(text)
                           ? concatText(text)
                           : replaceSubtext(removeAllSpaces(text), "\r\n", "", true);
    const std::size_t length = clean.size();
    const std::size_t groups = length / 4 + (length % 4 != 0 ? 1 : 0);

    ByteSet output{newStorage(groups * 3)};
    // The slots keep their values from one group to the next.
    std::array<std::uint8_t, 4> slot{};
    int stop = 5;
    for (std::size_t g = 0; g < groups; ++g) {
        stop = 5;
        for (std::size_t k = 0; k < 4; ++k) {
            const std::size_t at = 4 * g + k;
            // A position past the end reads as the byte 0, which like a zero
            // byte in the text stands for the value 0.
            const auto byte = at < length ? static_cast<unsigned char>(clean[at]) : 0u;
            const std::uint8_t value = kValues[byte];
            if (byte == 0) {
                slot[k] = 0;
            } else if (value != kOutside) {
                slot[k] = value;
            } else {
                slot[k] = static_cast<std::uint8_t>(byte);
                stop = static_cast<int>(k) + 1;
                break;
            }
        }
        const char three[3] = {
            static_cast<char>((slot[0] << 2) | (slot[1] >> 4)),
            static_cast<char>((slot[1] << 4) | (slot[2] >> 2)),
            static_cast<char>((slot[2] << 6) | slot[3]),
        };
        output.bytes.append(three, 3);
        processEvents();
    }
    if (groups > 0 && stop < 5) {
        // A last group stopped at its first character yields nothing of its
        // own; only its three bytes go, never a byte of the group before.
        const std::size_t drop = stop == 1 ? 3 : static_cast<std::size_t>(5 - stop);
        output.bytes.resize(output.bytes.size() - drop);
    }
    return output;
}

Text decodeDownloadLink(TextView link) {
    switch (linkScheme(link)) {
        case kPlain:
            return concatText(link);
        case kThunder: {
            // "AA" + address + "ZZ"
            const Text t = decodedText(payloadBeforeAmpersand(link));
            return midText(t, 3, textLength(t) - 4);
        }
        case kFlashget: {
            // "[FLASHGET]" + address + "[FLASHGET]", then perhaps "&" and more.
            // The whole stripped link is decoded too, "&" part included; the
            // result never reaches the bytes that part adds.
            const Text full = decodedText(stripScheme(link));
            const Text clean = decodedText(payloadBeforeAmpersand(link));
            return midText(full, 11, textLength(clean) - 20);
        }
        case kQqdl:
            return decodedText(payloadBeforeAmpersand(link));
        default:
            return {};
    }
}

}  // namespace tovrel
