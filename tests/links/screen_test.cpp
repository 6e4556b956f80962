#include "links/screen.h"

#include <gtest/gtest.h>

#include "links/exchange.h"
#include "tests/support/recording_screen.h"

namespace tovrel {
namespace {

TEST(ScreenWithoutPort, ReadsEmptyAndIgnoresWrites) {
    setControlText(Control::pageAddressBox, "typed");
    EXPECT_EQ(getControlText(Control::pageAddressBox), "");
    navigateBrowser(Control::browserPane, "http://example.invalid/");
    EXPECT_FALSE(setClipboardText("x"));
    processEvents();
}

TEST(ScreenPorts, InstalledPortServesAndUninstallRestoresTheQuietOne) {
    {
        fakes::RecordingScreen shell;
        setControlText(Control::captchaBox, "1234");
        EXPECT_EQ(getControlText(Control::captchaBox), "1234");
        EXPECT_TRUE(setClipboardText("copied"));
        EXPECT_EQ(shell.clipboard, "copied");
        processEvents();
        EXPECT_EQ(shell.processEventsCalls, 1);
    }
    EXPECT_EQ(getControlText(Control::captchaBox), "");
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
