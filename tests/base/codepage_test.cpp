#include "base/codepage.h"

#include <gtest/gtest.h>

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
