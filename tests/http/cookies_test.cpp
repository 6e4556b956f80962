#include "http/cookies.h"

#include <gtest/gtest.h>

namespace tovrel {
namespace {

TEST(MergeCookies, RewritesBothTexts) {
    struct Row {
        Text cookies, newCookies;
        Text merged, newAfter;
    };
    const Row rows[] = {
        {"a=1; b=2", "b=3; d=4", "b=3; d=4; a=1", "b=3;d=4"},
        {"a=1; b=2", "a=deleted", "b=2", "a=deleted"},
        // A deleted new entry still drops the old one of its name.
        {"a=1", "a=deleted", "", "a=deleted"},
        {"a=1;a=2", "", "a=1", ""},
        {"", "a=1; a=2", "a=1; a=2", "a=1;a=2"},
        {"", "a=1; a=1", "a=1", "a=1;a=1"},
        {"A=1", "a=2", "a=2; A=1", "a=2"},
        {"x=y=deleted; deleted; y=DELETED", "", "deleted; y=DELETED", ""},
        {"k=x y", "", "k=xy", ""},
        {"k=x\ty", "", "k=x\ty", ""},
        // Full-width blanks go too.
        {"k=\xa1\xa1v", "", "k=v", ""},
        {"a=1;;b=2", "", "a=1; ; b=2", ""},
        {"a=1;;;b=2", "", "a=1; ; b=2", ""},
        {"", "", "", ""},
        {" sid = 1 ", "sid=2", "sid=2", "sid=2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cookies + " | " + row.newCookies);
        Text cookies = row.cookies;
        Text newCookies = row.newCookies;
        const Text result = mergeCookies(cookies, newCookies);
        EXPECT_EQ(cookies, row.merged);
        EXPECT_EQ(newCookies, row.newAfter);
        EXPECT_EQ(result, row.merged);
    }
}

TEST(MergeCookies, Helpers) {
    EXPECT_EQ(cookieName(" sid =42"), "sid");
    EXPECT_EQ(cookieName("=v"), "");
    EXPECT_EQ(cookieName("flag"), "flag");
    EXPECT_EQ(cookieName(" a=b=c"), "a");

    EXPECT_EQ(joinUnique("x; y; x", "; "), "x; y");
    EXPECT_EQ(joinUnique("", "; "), "");
    EXPECT_EQ(joinUnique("x", "; "), "x");
    EXPECT_EQ(joinUnique("a,b,,a,,c", ","), "a,b,,c");

    const TextArray list = splitText("a=1;b=2;a=3", ";");
    EXPECT_TRUE(cookieNameListed(list, "b"));
    EXPECT_FALSE(cookieNameListed(list, "B"));
    EXPECT_FALSE(cookieNameListed(TextArray{}, ""));
    EXPECT_EQ(indexOfText(list, "a=3"), 3);
    EXPECT_EQ(indexOfText(list, "a"), -1);
    EXPECT_EQ(indexOfText(TextArray{}, ""), -1);
}

}  // namespace
}  // namespace tovrel
