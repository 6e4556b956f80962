#include "base/fatal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tovrel {
namespace {

TEST(FatalReport, TextHasOnlyTheLinesThatApply) {
    struct Row {
        std::string message;
        int code;
        std::string want;
    };
    const std::string head = "\xd4\xcb\xd0\xd0\xca\xb1\xb3\xf6\xb4\xed!\r\n\r\n";
    const std::string codeLine = "\xb4\xed\xce\xf3\xb4\xfa\xc2\xeb\xa3\xba";
    const std::string messageLine = "\xb4\xed\xce\xf3\xd0\xc5\xcf\xa2\xa3\xba";
    const Row rows[] = {
        {"", 0, head},
        {"m", 0, head + messageLine + "m\r\n"},
        {"", -7, head + codeLine + "-7\r\n\r\n"},
        {"m", 1, head + codeLine + "1\r\n\r\n" + messageLine + "m\r\n"},
    };
    for (const Row& row : rows) EXPECT_EQ(fatalReportText(row.message, row.code), row.want);
}

void sayExitHandlersRan() {
    std::fputs("exit handlers ran", stderr);
}

TEST(FatalReportDeathTest, EndsWithStatus255WithoutTheExitHandlers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto fail = [] {
        std::atexit(sayExitHandlersRan);
        // "载入启动窗口失败"
        reportFatalError("\xd4\xd8\xc8\xeb\xc6\xf4\xb6\xaf\xb4\xb0\xbf\xda\xca\xa7\xb0\xdc", 0);
    };
    EXPECT_EXIT(fail(), ::testing::ExitedWithCode(255),
                ::testing::Eq(std::string("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n")));
}

}  // namespace
}  // namespace tovrel
