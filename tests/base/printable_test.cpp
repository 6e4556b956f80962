#include "base/printable.h"

#include <gtest/gtest.h>

#include <string>

namespace tovrel {
namespace {

TEST(Printable, WritesControlBytesAsEscapesAndKeepsTheRest) {
    struct Row {
        std::string text;
        std::string want;
    };
    const Row rows[] = {
        {"http://host/a.zip", "http://host/a.zip"},
        {"a\r\necho PASTED", "a\\x0D\\x0Aecho PASTED"},
        {"\x1b]0;title\x07", "\\x1B]0;title\\x07"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"del\x7f", "del\\x7F"},
        // Code page 936 and UTF-8 bytes stay as they are.
        {"\xd6\xd0 \xe4\xb8\xad", "\xd6\xd0 \xe4\xb8\xad"},
        {"", ""},
    };
    for (const Row& row : rows) EXPECT_EQ(printable(row.text), row.want);
}

}  // namespace
}  // namespace tovrel
