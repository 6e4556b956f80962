#include "base/codepage.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace tovrel {
namespace {

TEST(Codepage, Utf8ToAnsi) {
    struct Row {
        std::string utf8, ansi;
    };
    const Row rows[] = {
        {"", ""},
        {"abc", "abc"},
        // 汉字
        {"\xe6\xb1\x89\xe5\xad\x97", "\xba\xba\xd7\xd6"},
        // U+20AC is the single byte 0x80 in code page 936.
        {"\xe2\x82\xac", "\x80"},
        // A Thai letter and an emoji have no form in code page 936.
        {"a\xe0\xb8\x81"
         "b",
         "a?b"},
        {"\xf0\x9f\x98\x80", "?"},
        // Malformed: a lone trail byte, a cut-off sequence, an overlong form.
        {"a\x80"
         "b",
         "a?b"},
        {"x\xe6\xb1", "x??"},
        {"\xc0\xaf", "??"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.utf8);
        EXPECT_EQ(utf8ToAnsi(row.utf8), row.ansi);
    }
}

TEST(Codepage, LongTextsConvertAcrossInternalBuffers) {
    // Pieces of 1 to 4 UTF-8 bytes and a malformed byte, repeated far past any
    // buffer the conversion works through.
    const std::string piece =
        "\xe6\xb1\x89"
        "a\x80\xf0\x9f\x98\x80\xc3\xa9";
    const std::string ansiPiece =
        "\xba\xba"
        "a??\xa8\xa6";
    std::string utf8;
    std::string ansi;
    for (int i = 0; i < 50000; ++i) {
        utf8 += piece;
        ansi += ansiPiece;
    }
    EXPECT_EQ(utf8ToAnsi(utf8), ansi);
    EXPECT_EQ(utf8ToAnsi(utf8 + "\xe6\xb1"), ansi + "??");
}

TEST(Codepage, Utf8CharacterLength) {
    struct Row {
        std::string text;
        std::size_t length;
    };
    const Row rows[] = {
        {"", 0},
        {"a\x80", 1},
        {"\xc3\xa9x", 2},
        {"\xe6\xb1\x89", 3},
        {"\xf0\x9f\x98\x80", 4},
        // The edges of each lead byte's second byte.
        {"\xc1\xbf", 0},  // overlong
        {"\xc2\x80", 2},
        {"\xe0\x9f\xbf", 0},  // overlong
        {"\xe0\xa0\x80", 3},
        {"\xed\x9f\xbf", 3},
        {"\xed\xa0\x80", 0},      // a surrogate
        {"\xf0\x8f\xbf\xbf", 0},  // overlong
        {"\xf0\x90\x80\x80", 4},
        {"\xf4\x8f\xbf\xbf", 4},
        {"\xf4\x90\x80\x80", 0},  // past U+10FFFF
        {"\xf5\x80\x80\x80", 0},
        {"\xff", 0},
        // A lone trail byte, a sequence cut short or broken by ASCII.
        {"\x80", 0},
        {"\xe6\xb1", 0},
        {"\xe6\xb1\x41", 0},
        {"\xe6\x41\x89", 0},
        {"\xf0\x9f\x98", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.text));
        EXPECT_EQ(utf8CharacterLength(row.text), row.length);
    }
}

TEST(Codepage, Utf8ToAnsiPercentEncodingLosesNoCharacter) {
    struct Row {
        std::string utf8, ansi;
    };
    const Row rows[] = {
        {"", ""},
        {"a b%41?", "a b%41?"},
        // 汉字, テ, é and U+20AC have code page 936 forms.
        {"\xe6\xb1\x89\xe5\xad\x97", "\xba\xba\xd7\xd6"},
        {"\xe3\x83\x86", "\xa5\xc6"},
        {"\xc3\xa9", "\xa8\xa6"},
        {"\xe2\x82\xac", "\x80"},
        // 한, a Thai letter, an emoji and a private-use character have none.
        {"a\xed\x95\x9c"
         "b",
         "a%ED%95%9Cb"},
        {"\xe0\xb8\x81", "%E0%B8%81"},
        {"\xf0\x9f\x98\x80", "%F0%9F%98%80"},
        {"\xee\x80\x80", "%EE%80%80"},
        // Malformed bytes keep their values too.
        {"a\x80"
         "b",
         "a%80b"},
        {"x\xe6\xb1", "x%E6%B1"},
        {"\xc0\xaf", "%C0%AF"},
        {"\xed\xa0\x80\xe6\xb1\x89", "%ED%A0%80\xba\xba"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.utf8));
        EXPECT_EQ(utf8ToAnsiPercentEncoding(row.utf8), row.ansi);
    }
}

TEST(Codepage, Utf8ToWideAndBack) {
    EXPECT_EQ(utf8ToWide(""), "");
    EXPECT_EQ(utf8ToWide("A\xe2\x82\xac"), std::string("A\0\xac\x20", 4));
    // A character outside the basic plane takes a surrogate pair.
    EXPECT_EQ(utf8ToWide("\xf0\x9f\x98\x80"), std::string("\x3d\xd8\x00\xde", 4));
    // A malformed byte becomes U+FFFD.
    EXPECT_EQ(utf8ToWide("\xff"), "\xfd\xff");

    EXPECT_EQ(ansiToUtf8("\xba\xba\xd7\xd6\x80"), "\xe6\xb1\x89\xe5\xad\x97\xe2\x82\xac");
    EXPECT_EQ(ansiToUtf8("a\xff"), "a\xef\xbf\xbd");

    // 分配 N 字节内存失败!
    const std::string ansi = "\xb7\xd6\xc5\xe4 7 \xd7\xd6\xbd\xda\xc4\xda\xb4\xe6\xca\xa7\xb0\xdc!";
    EXPECT_EQ(utf8ToAnsi(ansiToUtf8(ansi)), ansi);
}

}  // namespace
}  // namespace tovrel
