#include "links/decode.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/recording_screen.h"

namespace tovrel {
namespace {

using fakes::RecordingScreen;

ByteSet bytesOf(std::string_view bytes) {
    return ByteSet{std::string(bytes)};
}

const std::string kAddress = "http://example.invalid/a.zip";
// "AA" + kAddress + "ZZ"
const std::string kThunder = "thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL2EuemlwWlo=";
// "[FLASHGET]" + kAddress + "[FLASHGET]"
const std::string kFlashgetBase64 =
    "W0ZMQVNIR0VUXWh0dHA6Ly9leGFtcGxlLmludmFsaWQvYS56aXBbRkxBU0hHRVRd";
const std::string kQqdl = "qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC9hLnppcA==";

TEST(DecodeDownloadLink, SchemesAndResults) {
    struct Row {
        std::string link;
        int scheme;
        std::string address;
    };
    const std::vector<Row> rows = {
        {kAddress, 1, kAddress},
        {kThunder, 2, kAddress},
        {kThunder + "/", 2, kAddress},
        {"THUNDER" + kThunder.substr(7), 2, kAddress},
        {"flashget://" + kFlashgetBase64 + "&abc", 3, kAddress},
        {kQqdl, 4, kAddress},
        {"ftp://example.invalid/a.zip", -1, ""},
        {"", -1, ""},
        // Plain addresses pass through untouched, letter case included.
        {"https://example.invalid/A.zip", 1, "https://example.invalid/A.zip"},
        {"HTTP://Example.Invalid/a.zip", 1, "HTTP://Example.Invalid/a.zip"},
        {"Http", 1, "Http"},
        // Only the first letters count.
        {"qqdlx://QUJD", 4, "ABC"},
        {"qqdl://", 4, ""},
        {"qqd", -1, ""},
        {"thunde://QUFodHRw", -1, ""},
        {" http://example.invalid/", -1, ""},
        // The wrapper around the address: thunder "AAZZ", "AAxZZ"; flashget
        // twice "[FLASHGET]" alone.
        {"thunder://QUFaWg==", 2, ""},
        {"thunder://QUF4Wlo=", 2, "x"},
        {"thunder://", 2, ""},
        {"flashget://W0ZMQVNIR0VUXVtGTEFTSEdFVF0=&abc", 3, ""},
        // What follows "&" never changes the result.
        {"flashget://" + kFlashgetBase64 + "&", 3, kAddress},
        {"flashget://" + kFlashgetBase64 + "&QUJDRA==&x", 3, kAddress},
        {"flashget://" + kFlashgetBase64 + "&&&====", 3, kAddress},
        {"FlashGet://" + kFlashgetBase64 + "&abc/", 3, kAddress},
        {"flashget://&" + kFlashgetBase64, 3, ""},
        // "&" inside a group: the whole link and its part before "&" decode
        // differently from there on, but only within the wrapper's end.
        {"flashget://W0ZMQVNIR0VUXWh0W0ZMQVNIR0VUXQ&x", 3, "ht"},
        // qqdl carries the bare address; the decoded text ends at a zero byte.
        {"qqdl://QUI", 4, "AB"},
        {"QQDL://QUJD/", 4, "ABC"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.link);
        EXPECT_EQ(linkScheme(row.link), row.scheme);
        EXPECT_EQ(decodeDownloadLink(row.link), row.address);
    }
}

TEST(DecodeDownloadLink, ParametersAppendedAfterTheBase64TextAreIgnored) {
    // An "&" inside the address is part of the decoded text, never of the
    // Base64 text, and survives.
    const std::string withAmpersand = "http://example.invalid/get?id=1&name=a.zip";
    const std::string thunderAmp =
        "thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL2dldD9pZD0xJm5hbWU9YS56aXBaWg==";
    const std::string qqdlAmp = "qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC9nZXQ/aWQ9MSZuYW1lPWEuemlw";
    const std::string flashgetAmp =
        "flashget://"
        "W0ZMQVNIR0VUXWh0dHA6Ly9leGFtcGxlLmludmFsaWQvZ2V0P2lkPTEmbmFtZT1hLnppcFtGTEFTSEdFVF0=";
    struct Row {
        std::string link;
        std::string address;
    };
    const std::vector<Row> rows = {
        {kThunder + "&srcid=119&verno=1", kAddress},
        // Unpadded, so that the parameters would otherwise run on in the
        // same Base64 groups.
        {"thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL2EuemlwWlo&srcid=119&verno=1", kAddress},
        {kThunder + "&", kAddress},
        {kThunder + "&srcid=119/", kAddress},
        {"thunder://&QUFodHRw", ""},
        {kQqdl + "&srcid=119", kAddress},
        {"qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC9hLnppcA&from=share", kAddress},
        {"flashget://" + kFlashgetBase64 + "&srcid=119&verno=1", kAddress},
        {thunderAmp, withAmpersand},
        {thunderAmp + "&srcid=119", withAmpersand},
        {qqdlAmp, withAmpersand},
        {qqdlAmp + "&srcid=119", withAmpersand},
        {flashgetAmp + "&abc", withAmpersand},
        // A plain address keeps all of itself.
        {"http://example.invalid/a.zip?x=1&y=2", "http://example.invalid/a.zip?x=1&y=2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.link);
        EXPECT_EQ(decodeDownloadLink(row.link), row.address);
    }
}

TEST(DecodeDownloadLink, FlashgetWithoutAmpersandDecodesTheWholeLink) {
    EXPECT_EQ(decodeDownloadLink("flashget://" + kFlashgetBase64), kAddress);
    EXPECT_EQ(decodeDownloadLink("flashget://" + kFlashgetBase64 + "/"), kAddress);
    // Still too short once the wrapper is off.
    EXPECT_EQ(decodeDownloadLink("flashget://W0ZMQVNIR0VUXVtGTEFTSEdFVF0="), "");
    EXPECT_EQ(decodeDownloadLink("flashget://"), "");
}

TEST(DecodeDownloadLink, CodePage936AddressComesBackByteForByte) {
    // "http://example.invalid/汉字.zip" in code page 936 (汉 BA BA, 字 D7 D6).
    const std::string address = "http://example.invalid/\xba\xba\xd7\xd6.zip";
    EXPECT_EQ(decodeDownloadLink("qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC+6utfWLnppcA=="), address);
    EXPECT_EQ(decodeDownloadLink("thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL7q619YuemlwWlo="),
              address);
}

TEST(StripScheme, CutsThroughTheFirstDoubleSlashAndOneTrailingSlash) {
    struct Row {
        std::string link;
        std::string stripped;
    };
    const std::vector<Row> rows = {
        {"thunder://QUJD", "QUJD"},
        {"thunder://QUJD/", "QUJD"},
        {"thunder://QUJD//", "QUJD/"},
        {"thunder://", ""},
        {"no-slashes", "no-slashes"},
        {"no-slashes/", "no-slashes"},
        {"/", ""},
        {"//", ""},
        {"a//b//c", "b//c"},
        {"", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.link);
        EXPECT_EQ(stripScheme(row.link), row.stripped);
    }
}

TEST(Base64Decode, CleanAndUncleanText) {
    struct Row {
        std::string text;
        std::string bytes;
    };
    using namespace std::string_literals;
    const std::vector<Row> rows = {
        {"QUJD", "ABC"},
        {"QUI=", "AB"},
        {"QQ==", "A"},
        {"QUI", "AB\0"s},
        {"QQ", "A\0\0"s},
        {"QU JD", "ABC"},
        {"QU\r\nJD", "ABC"},
        {"", ""},
        {"QQ==QUJD", "\x41\x0f\x40\x41\x42\x43"},
        // Full-width blank, and blanks and CR LF pairs together.
        {"QU\xa1\xa1JD", "ABC"},
        {" Q U\r\n\r\nJ D \r\n", "ABC"},
        {"   ", ""},
        // A blank that is the second byte of a two-byte character stays.
        {"QU\xb0 JD", "\x41\x6c\x00\x24\x30\x00"s},
        {"\r\n", ""},
        // Lower- and upper-case letters are different characters.
        {"qujd", "\xaa\xe8\xdd"},
        // A lone CR is no blank: it stops the first group at its third place.
        {"QU\rJD", "\x41\x43\x40\x0c\x00\x00"s},
        // The slots a stopped group does not reach keep the values of the
        // group before ("J" and "D" here).
        {"QUJDQ=QUJD", "\x41\x42\x43\x43\xd2\x43\x24\x30\x00"s},
        // A last group stopped at its fourth, third or second place.
        {"QUJDQUI.", "ABCAB"},
        {"QUJDQQ=", "ABCA"},
        {"QUJDQ=", "ABC"},
        {"Q", "\x40\x00\x00"s},
        // A zero byte reads as the value 0, as the end of the text does.
        {"QU\0D"s, "\x41\x40\x03"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.text));
        EXPECT_EQ(base64Decode(row.text), bytesOf(row.bytes));
    }
}

TEST(Base64Decode, LastGroupStoppedAtItsFirstPlaceRemovesOnlyItsOwnBytes) {
    // Removing four bytes here would take the "C" decoded from "QUJD".
    EXPECT_EQ(base64Decode("QUJD="), bytesOf("ABC"));
    EXPECT_EQ(base64Decode("QUJD===="), bytesOf("ABC"));
    EXPECT_EQ(base64Decode("QUJD\n"), bytesOf("ABC"));
    EXPECT_EQ(base64Decode("QQ==QUJD=..."), bytesOf("\x41\x0f\x40\x41\x42\x43"));
    EXPECT_EQ(base64Decode("="), bytesOf(""));
    EXPECT_EQ(base64Decode("\xa1"), bytesOf(""));
}

// An encoder written from RFC 4648, independent of the decoder under test.
std::string encodeBase64(const std::string& bytes, bool pad) {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6) out += alphabet[(v >> shift) & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        if (rest == 2) out += alphabet[(v >> 6) & 63];
        if (pad) out.append(3 - rest, '=');
    }
    return out;
}

TEST(Base64Decode, DecodesWhatAStandardEncoderWrites) {
    std::mt19937 random(20261211);
    const std::vector<std::string> fillers = {" ", "\xa1\xa1", "\r\n"};
    for (int round = 0; round < 2000; ++round) {
        const std::size_t size = random() % 64;
        std::string bytes;
        for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>(random() & 0xFF);
        const bool pad = (round & 1) != 0;
        const std::string encoded = encodeBase64(bytes, pad);

        // Without padding a short last group is completed with zero values.
        std::string expected = bytes;
        if (!pad) expected.append((3 - size % 3) % 3, '\0');

        std::string spread;
        for (const char c : encoded) {
            while (random() % 4 == 0) spread += fillers[random() % fillers.size()];
            spread += c;
        }
        if (random() % 2 == 0) spread += fillers[random() % fillers.size()];

        SCOPED_TRACE(::testing::PrintToString(spread));
        EXPECT_EQ(base64Decode(encoded), bytesOf(expected));
        EXPECT_EQ(base64Decode(spread), bytesOf(expected));
    }
}

TEST(Base64Decode, ProcessEventsOncePerGroup) {
    struct Row {
        std::string text;
        int groups;
    };
    const std::vector<Row> rows = {
        {"", 0},
        {"  \r\n", 0},
        {"Q", 1},
        {"QUJD", 1},
        {"QUJDQ", 2},
        {"QQ==QUJD", 2},
        {"QU JD\r\nQUJD QUI=", 3},
        {std::string(4000, 'A'), 1000},
        {std::string(4001, '.'), 1001},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 20));
        RecordingScreen shell;
        base64Decode(row.text);
        EXPECT_EQ(shell.processEventsCalls, row.groups);
    }

    // A flashget link is decoded twice: whole, and its part before "&".
    RecordingScreen shell;
    EXPECT_EQ(decodeDownloadLink("flashget://" + kFlashgetBase64 + "&abc"), kAddress);
    EXPECT_EQ(shell.processEventsCalls, 17 + 16);
}

TEST(Base64Decode, NestedDecodeInsideProcessEventsDisturbsNeither) {
    RecordingScreen shell;
    std::vector<std::string> nested;
    bool inside = false;
    shell.onProcessEvents = [&] {
        // One nested decode at each of the outer decode's groups, none deeper.
        if (inside) return;
        inside = true;
        nested.push_back(decodeDownloadLink(kQqdl));
        nested.push_back(base64Decode("QQ==QUJD").bytes);
        inside = false;
    };
    // The second group relies on the slots the first one left.
    EXPECT_EQ(base64Decode("QUJDQ=QUJD"),
              bytesOf(std::string("\x41\x42\x43\x43\xd2\x43\x24\x30\x00", 9)));
    ASSERT_EQ(nested.size(), 6u);
    for (std::size_t i = 0; i < nested.size(); i += 2) {
        EXPECT_EQ(nested[i], kAddress);
        EXPECT_EQ(nested[i + 1], "\x41\x0f\x40\x41\x42\x43");
    }

    // Eleven groups, each with its nested pair.
    nested.clear();
    EXPECT_EQ(decodeDownloadLink(kThunder), kAddress);
    ASSERT_EQ(nested.size(), 22u);
    for (std::size_t i = 0; i < nested.size(); i += 2) {
        EXPECT_EQ(nested[i], kAddress);
        EXPECT_EQ(nested[i + 1], "\x41\x0f\x40\x41\x42\x43");
    }
}

TEST(Base64Decode, CallerTextRewrittenDuringProcessEventsDoesNotChangeTheDecode) {
    // The text lives where a handler run by processEvents can rewrite it.
    for (const char* original : {"QUJDQUJDQUJD", "QU JD QUJD\r\nQUJD"}) {
        SCOPED_TRACE(original);
        std::string shared = original;
        RecordingScreen shell;
        shell.onProcessEvents = [&] { shared.assign(4096, '='); };
        EXPECT_EQ(base64Decode(shared), bytesOf("ABCABCABC"));
    }
}

}  // namespace
}  // namespace tovrel
