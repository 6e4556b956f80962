#include "text/markers.h"

#include <gtest/gtest.h>

namespace tovrel {
namespace {

TEST(TextBetween, Cuts) {
    struct Row {
        TextView source, startMarker, endMarker;
        int startPosition;
        bool caseSensitive;
        Text want;
    };
    const Row rows[] = {
        {"id=42&k=7", "id=", "&", 0, false, "42"},
        {"id=42", "id=", "&", 0, false, ""},
        {"&id=42", "id=", "&", 0, false, ""},
        {"<A HREF=x>", "href=", ">", 0, false, "x"},
        {"<A HREF=x>", "href=", ">", 0, true, ""},
        {"<a href=\"u\">", "href=#\xd2\xfd\xba\xc5", "#\xd2\xfd\xba\xc5", 0, false, "u"},
        {"<a href=u>", "href=#\xd2\xfd\xba\xc5", ">", 0, false, ""},
        {"ab id=", "id=", "", 0, false, ""},
        {"ab;cd", "", ";", 0, false, "ab"},
        {"ab;cd", "a", "", 0, false, ""},
        {"", "", "", 0, false, ""},
        {"", "a", "b", 0, false, ""},
        {"a=1;a=2;", "a=", ";", 3, false, "2"},
        {"a=1;a=2;", "a=", ";", 99, false, ""},
        {"x=;", "x=", ";", 0, false, ""},
        // The end marker is sought only after the start marker, never inside it.
        {"ab=b", "ab", "b", 0, false, "="},
        // Markers are found only where a character begins.
        {"\xc4\x41=1;A=2;", "A=", ";", 0, false, "2"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(textBetween(row.source, row.startMarker, row.endMarker, row.startPosition,
                              row.caseSensitive),
                  row.want)
            << row.source << " | " << row.startMarker << " | " << row.endMarker;
    }
}

TEST(ValueAfterColon, HeaderValues) {
    struct Row {
        TextView line;
        Text want;
    };
    const Row rows[] = {
        {"Location:  /next/page ", "/next/page"},
        {"k:a:b", "a:b"},
        {"k:", ""},
        {"no colon", ""},
        {"k:\tv ", "\tv"},
        {"k:\xa1\xa1v\xa1\xa1", "v"},
        {":", ""},
    };
    for (const Row& row : rows) EXPECT_EQ(valueAfterColon(row.line), row.want) << row.line;
}

}  // namespace
}  // namespace tovrel
