#include "shell/api/shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/recording_shell.h"

namespace tovrel {
namespace {

TEST(ShellWithoutBackend, ReadsEmptyAndIgnoresWrites) {
    setControlText(Control::pageAddressBox, "typed");
    EXPECT_EQ(getControlText(Control::pageAddressBox), "");
    navigateBrowser(Control::browserPane, "http://example.invalid/");
    EXPECT_FALSE(setClipboardText("x"));
    processEvents();
}

TEST(ShellBackends, InstalledBackendServesAndUninstallRestoresDefault) {
    {
        testing::RecordingShell shell;
        setControlText(Control::captchaBox, "1234");
        EXPECT_EQ(getControlText(Control::captchaBox), "1234");
        EXPECT_TRUE(setClipboardText("copied"));
        EXPECT_EQ(shell.clipboard, "copied");
        processEvents();
        EXPECT_EQ(shell.processEventsCalls, 1);
    }
    EXPECT_EQ(getControlText(Control::captchaBox), "");
}

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

TEST(FatalReportDeathTest, EndsWithStatus255WithoutTheExitStep) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto fail = [] {
        registerExitStep();
        std::atexit(sayExitHandlersRan);
        // "载入启动窗口失败"
        reportFatalError("\xd4\xd8\xc8\xeb\xc6\xf4\xb6\xaf\xb4\xb0\xbf\xda\xca\xa7\xb0\xdc", 0);
    };
    EXPECT_EXIT(fail(), ::testing::ExitedWithCode(255),
                ::testing::Eq(std::string("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n")));
}

TEST(ExitStep, ReleasesTheSessionValuesOnce) {
    currentFileId = "f";
    currentKey = "k";
    const int before = exitStepRuns();
    releaseSessionValues();
    releaseSessionValues();
    EXPECT_EQ(exitStepRuns() - before, 1);
    EXPECT_EQ(currentFileId, "");
    EXPECT_EQ(currentKey, "");
}

}  // namespace
}  // namespace tovrel
