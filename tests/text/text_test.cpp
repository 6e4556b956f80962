#include "text/text.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <climits>
#include <random>
#include <vector>

namespace tovrel {
namespace {

// A straightforward walk, character by character, used to check the fast
// search on random code page 936 text.
int walkingFind(TextView text, TextView sought, std::size_t from, bool ignoreCase) {
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (std::size_t i = from; i + sought.size() <= text.size();) {
        bool match = true;
        for (std::size_t k = 0; k < sought.size() && match; ++k) {
            match = ignoreCase ? fold(text[i + k]) == fold(sought[k]) : text[i + k] == sought[k];
        }
        if (match) return static_cast<int>(i + 1);
        i += (static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size()) ? 2 : 1;
    }
    return -1;
}

std::vector<Text> membersOf(const TextArray& array) {
    std::vector<Text> members;
    for (int i = 1; i <= arraySize(array); ++i) members.push_back(array.member(i));
    return members;
}

TEST(Cutting, ByLengthAndPosition) {
    struct Row {
        Text got, want;
    };
    const Row rows[] = {
        {leftText("abc", -2), ""},
        {leftText("abc", 0), ""},
        {leftText("abc", 2), "ab"},
        {leftText("abc", 10), "abc"},
        {rightText("abc", 2), "bc"},
        {rightText("abc", 0), ""},
        {rightText("abc", 9), "abc"},
        {midText("abcdef", 0, 3), ""},
        {midText("abcdef", 5, 10), "ef"},
        {midText("abc", 4, 1), ""},
        {midText("abc", 2, 0), ""},
        {midText("abc", -1, 2), ""},
        {midText("abc", 1, INT_MAX), "abc"},
        // Cutting by bytes may halve a two-byte character.
        {leftText("\xc4\xe3z", 1), "\xc4"},
        {midText("a\xc4\xe3", 3, 1), "\xe3"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.got, row.want);
    EXPECT_EQ(textLength(""), 0);
    EXPECT_EQ(textLength("\xc4\xe3z"), 3);
}

TEST(FindText, Positions) {
    struct Row {
        TextView text, sought;
        int start;
        bool ignoreCase;
        int want;
    };
    const Row rows[] = {
        {"abc", "", 2, false, 1},
        {"abc", "", 4, false, -1},
        {"", "", 0, false, -1},
        {"abc", "", 0, false, 1},
        {"abc", "bc", 0, false, 2},
        {"abc", "bc", -5, false, 2},
        {"abc", "a", 4, false, -1},
        {"abcabc", "bc", 3, false, 5},
        {"abc", "abcd", 0, false, -1},
        {"User-agent: x", "USER-AGENT:", 0, true, 1},
        {"User-agent: x", "USER-AGENT:", 0, false, -1},
        // No character begins at a trail byte...
        {"\xc4\x41", "A", 0, false, -1},
        {"\xc4\x41", "a", 0, true, -1},
        // ...but folding applies to trail bytes inside a match.
        {"\xc4\x41", "\xc4\x61", 0, true, 1},
        {"\xc4\x41", "\xc4\x61", 0, false, -1},
        // A start is taken as a character start whatever it holds.
        {"\xc4\x41", "A", 2, false, 2},
        // After a two-byte character the walk is in step again.
        {"\xc4\x41\x41", "A", 0, false, 3},
        {"\xb0\xa1\xb0\xa1", "\xa1\xb0", 0, false, -1},
        {"a\xb0\xa1\xb0\xa1", "\xa1\xb0", 0, false, -1},
        {"\xb0\xa1\xb0\xa1", "\xb0\xa1", 2, false, -1},
        {"\xb0\xa1\xb0\xa1", "\xb0\xa1", 3, false, 3},
        // A dangling lead byte begins a character of its own.
        {"ab\xc4", "\xc4", 0, false, 3},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(findText(row.text, row.sought, row.start, row.ignoreCase), row.want)
            << "findText(\"" << row.text << "\", \"" << row.sought << "\", " << row.start << ")";
    }
}

TEST(FindText, StartsWithIgnoringCase) {
    struct Row {
        TextView text, word;
        bool want;
    };
    const Row rows[] = {
        {"THUNDER://QUFa", "thunder://", true},
        {"Set-Cookie: a=1;", "set-cookie:", true},
        {"thunder:/", "thunder://", false},    // shorter than the word
        {" location: x", "location:", false},  // only at the start
        {"Magnet:?xt", "MAGNET:?", true},
        {"\xc4\x41x", "\xc4\x61", true},  // trail bytes fold, as in findText
        {"\xc4\x41x", "\xc5\x41", false},
        {"anything", "", true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(startsWithIgnoringCase(row.text, row.word), row.want)
            << "\"" << row.text << "\", \"" << row.word << "\"";
    }
}

TEST(FindText, Reverse) {
    EXPECT_EQ(findTextReverse("ab:cd:ef", ":"), 6);
    EXPECT_EQ(findTextReverse("aaa", "aa"), 2);
    EXPECT_EQ(findTextReverse("abc", "x"), -1);
    EXPECT_EQ(findTextReverse("xAx", "a", true), 2);
    EXPECT_EQ(findTextReverse("\xc4\x41"
                              "A\xc4\x41",
                              "A"),
              3);
    EXPECT_EQ(findTextReverse("abc", ""), 1);
    EXPECT_EQ(findTextReverse("", ""), -1);
}

TEST(FindText, AgreesWithACharacterWalkOnRandomText) {
    std::mt19937 random(7);
    const char alphabet[] = {'a', 'A', 'b', ';', '\xa1', '\xb0', '\xc4', '\x41', '\x61'};
    auto randomText = [&](std::size_t maxLength) {
        Text text(random() % (maxLength + 1), ' ');
        for (char& c : text) c = alphabet[random() % sizeof alphabet];
        return text;
    };
    for (int round = 0; round < 20000; ++round) {
        const Text text = randomText(24);
        const Text sought = randomText(3);
        if (sought.empty()) continue;
        const int start = static_cast<int>(random() % (text.size() + 2));
        const bool ignoreCase = random() % 2 == 0;
        const std::size_t from = start <= 1 ? 0 : static_cast<std::size_t>(start - 1);
        const int want =
            start > textLength(text) ? -1 : walkingFind(text, sought, from, ignoreCase);
        ASSERT_EQ(findText(text, sought, start, ignoreCase), want)
            << testing::PrintToString(text) << " " << testing::PrintToString(sought) << " " << start
            << " " << ignoreCase;
    }
}

TEST(Walking, TrimRemoveLowerCase) {
    struct Row {
        Text got, want;
    };
    const Row rows[] = {
        {trimBothEnds("\xa1\xa1"
                      "ab\t"),
         "ab\t"},
        {trimBothEnds("  a b  "), "a b"},
        {trimBothEnds("\r\n a \n"), "\r\n a \n"},
        {trimBothEnds("   "), ""},
        {trimBothEnds(""), ""},
        // A1 A1 counts only where a character begins: here A1 is a trail byte.
        {trimBothEnds("\xb0\xa1\xa1\xa1"), "\xb0\xa1"},
        {trimBothEnds("\xb0\xa1\xa1"), "\xb0\xa1"},
        // A dangling lead byte goes, and the blanks before it stay.
        {trimBothEnds(" a  \xc4"), "a  "},
        {trimBothEnds("  \xc4"), ""},
        {removeAllSpaces("a b\xa1\xa1"
                         "d"),
         "abd"},
        {removeAllSpaces(" \t\r\n "), "\t\r\n"},
        {removeAllSpaces("a \xc4"), "a"},
        {removeAllSpaces("\xb0\x20 x"), "\xb0\x20x"},
        {toLowerCase("AbC-Z"), "abc-z"},
        {toLowerCase("\xc4\x41"
                     "A"),
         "\xc4\x41"
         "a"},
        {toLowerCase("A\xc4"), "a\xc4"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.got, row.want);
}

TEST(Walking, ReplaceSubtext) {
    struct Row {
        Text got, want;
    };
    const Row rows[] = {
        {replaceSubtext("a\r\nb\r\n", "\r\n", {}, true), "ab"},
        {replaceSubtext("aaa", "aa", "b", true), "ba"},
        {replaceSubtext("xAx", "a", "-", false), "x-x"},
        {replaceSubtext("xAx", "a", "-", true), "xAx"},
        {replaceSubtext("", "a", "b", true), ""},
        {replaceSubtext("abc", "", "b", true), "abc"},
        {replaceSubtext("ab", "b", "long", true), "along"},
        // No occurrence begins at a trail byte.
        {replaceSubtext("\xc4\x41"
                        "A",
                        "A", "b", true),
         "\xc4\x41"
         "b"},
        // A dangling lead byte that the walk reaches unmatched goes...
        {replaceSubtext("ab\xc4", "b", "", true), "a"},
        {replaceSubtext("\xc4", "x", "y", true), ""},
        // ...but can be matched itself, and an unchanged text keeps it.
        {replaceSubtext("a\xc4", "\xc4", "z", true), "az"},
        {replaceSubtext("a\xc4", "", "z", true), "a\xc4"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.got, row.want);
}

TEST(Walking, SplitText) {
    struct Row {
        TextView text, separator;
        std::vector<Text> want;
    };
    const Row rows[] = {
        {"a;b", ";", {"a", "b"}},
        {"a;;b", ";", {"a", "", "b"}},
        {";a", ";", {"", "a"}},
        {"a;", ";", {"a"}},
        {";", ";", {""}},
        {"", ";", {}},
        {"abc", "", {"abc"}},
        {"a\r\nb", "\r\n", {"a", "b"}},
        {"a;B", "b", {"a;B"}},
        // A separator byte inside a two-byte character does not split.
        {"\xc4;;x", ";", {"\xc4;", "x"}},
        // A dangling lead byte stays with its segment.
        {"a;b\xc4", ";", {"a", "b\xc4"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(membersOf(splitText(row.text, row.separator)), row.want)
            << testing::PrintToString(Text(row.text));
    }
}

TEST(ToInteger, DecimalPrefix) {
    struct Row {
        TextView text;
        std::int32_t want;
    };
    const Row rows[] = {
        {"8080", 8080},
        {" 443x", 443},
        {"", 0},
        {"x1", 0},
        {"\t\r\n -12", -12},
        {"+7", 7},
        {"--7", 0},
        {"- 7", 0},
        // Full-width digits, signs and space.
        {"\xa3\xb1\xa3\xb2", 12},
        {"\xa1\xa1\xa3\xad\xa3\xb3", -3},
        {"\xa3\xab"
         "5",
         5},
        {"1\xa3\xb2"
         "3",
         123},
        {"\xb0\xa1"
         "1",
         0},
        // 32-bit wrap-around.
        {"2147483647", 2147483647},
        {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN},
        {"4294967297", 1},
        {"99999999999999999999", 1661992959},
    };
    for (const Row& row : rows) EXPECT_EQ(toInteger(row.text), row.want) << row.text;
}

TEST(SmallOperations, CodesBlanksComparison) {
    EXPECT_EQ(charCodeAt("abc", 4), 0);
    EXPECT_EQ(charCodeAt("abc", 0), 0);
    EXPECT_EQ(charCodeAt("abc", 1), 97);
    EXPECT_EQ(charCodeAt("\xc4", 1), -60);
    EXPECT_EQ(charFromCode(0), "");
    EXPECT_EQ(charFromCode(65), "A");
    EXPECT_EQ(charFromCode(256 + 66), "B");
    EXPECT_EQ(charFromCode(-1), "\xff");
    EXPECT_EQ(blankText(3), "   ");
    EXPECT_EQ(blankText(-1), "");
    EXPECT_EQ(compareText(Text(), ""), 0);
    EXPECT_LT(compareText("ab", "abc"), 0);
    EXPECT_GT(compareText("\xc4", "a"), 0);  // unsigned byte order
    EXPECT_LT(compareText("A", "a"), 0);
    EXPECT_EQ(concatText("a", Text(), "bc"), "abc");
    EXPECT_EQ(concatText("a", "b", "c", "d", "e"), "abcde");
}

TEST(ByteSets, Operations) {
    const ByteSet zeroInside{Text("a\0b", 3)};
    EXPECT_EQ(byteSetToText(zeroInside), "a");
    EXPECT_EQ(byteSetToText(toByteSet("abc")), "abc");
    EXPECT_EQ(byteSetLength(zeroInside), 3);
    EXPECT_EQ(byteSetLength(ByteSet{}), 0);
    EXPECT_EQ(findBytes(zeroInside, ByteSet{}), -1);
    EXPECT_EQ(findBytes(zeroInside, ByteSet{Text("\0b", 2)}), 2);
    EXPECT_EQ(findBytes(zeroInside, toByteSet("c")), -1);
    // Byte sets step one byte at a time, unlike texts.
    EXPECT_EQ(findBytes(toByteSet("\xc4\x41"), toByteSet("A")), 2);
    EXPECT_EQ(leftBytes(zeroInside, 2), (ByteSet{Text("a\0", 2)}));
    EXPECT_EQ(leftBytes(zeroInside, 0), ByteSet{});
    EXPECT_EQ(leftBytes(zeroInside, 9), zeroInside);
    EXPECT_EQ(blankByteSet(2), (ByteSet{Text(2, '\0')}));
    EXPECT_EQ(blankByteSet(0), ByteSet{});
    EXPECT_EQ(toByteSet(std::vector<std::uint8_t>{0x41, 0x00, 0xff}),
              (ByteSet{Text("A\0\xff", 3)}));
    EXPECT_EQ(concatByteSet(zeroInside, toByteSet("c")), (ByteSet{Text("a\0bc", 4)}));
}

TEST(Arrays, AppendAndRead) {
    TextArray array;
    EXPECT_EQ(arraySize(array), 0);
    Text value = "one";
    appendMember(array, value);
    value = "changed";  // members are copies
    appendMember(array, "");
    ASSERT_EQ(arraySize(array), 2);
    EXPECT_EQ(array.member(1), "one");
    EXPECT_EQ(array.member(2), "");
}

TEST(Arithmetic, DivideModuloOr) {
    EXPECT_EQ(integerDivide(7, 2), 3);
    EXPECT_EQ(integerDivide(-7, 2), -3);
    EXPECT_EQ(integerDivide(7.9, 1), 7);
    EXPECT_EQ(modulo(-7, 3), -1);
    EXPECT_EQ(modulo(7, -3), 1);
    EXPECT_EQ(modulo(7.5, 2), 1.5);
    EXPECT_EQ(bitOr(0x0F, 0xF0), 0xFF);
    EXPECT_EQ(bitOr(INT32_MIN, 1), INT32_MIN + 1);
}

// The report as it reaches standard error: UTF-8, with CR LF line ends.
constexpr const char* kBelowOneReport =
    "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n";
constexpr const char* kAboveSizeReport =
    "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n";

// Matches standard error that is exactly `want`.
::testing::Matcher<const std::string&> isExactly(const char* want) {
    return ::testing::Eq(std::string(want));
}

TEST(ArraysDeathTest, MemberOutsideTheArrayIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TextArray array;
    appendMember(array, "only");
    EXPECT_EXIT(array.member(0), ::testing::ExitedWithCode(255), isExactly(kBelowOneReport));
    EXPECT_EXIT(array.member(-3), ::testing::ExitedWithCode(255), isExactly(kBelowOneReport));
    EXPECT_EXIT(array.member(2), ::testing::ExitedWithCode(255), isExactly(kAboveSizeReport));
    TextArray empty;
    EXPECT_EXIT(empty.member(1), ::testing::ExitedWithCode(255), isExactly(kAboveSizeReport));
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(StorageDeathTest, ValueThatCannotBeStoredIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto askTooMuch = [] {
        const rlimit limit{std::size_t{1} << 30, std::size_t{1} << 30};
        setrlimit(RLIMIT_AS, &limit);
        blankText(INT_MAX);
    };
    EXPECT_EXIT(askTooMuch(), ::testing::ExitedWithCode(255),
                isExactly("运行时出错!\r\n\r\n错误信息：分配 2147483647 字节内存失败!\r\n"));
}
#endif

}  // namespace
}  // namespace tovrel
