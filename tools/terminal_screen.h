// The core's screen as a terminal command plays it: the boxes are strings the
// command fills and reads, the browser pane only remembers the address it was
// asked to show (the command loads and draws the image itself), there is no
// clipboard and no event queue. Texts are code page 936, as in the core.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "links/screen.h"

namespace tovrel {

class TerminalScreen final : public ScreenPort {
  public:
    std::string getControlText(Control control) override;
    void setControlText(Control control, std::string_view text) override;
    // Remembers the address for browserPane; other controls show no pages.
    void navigateBrowser(Control control, std::string_view url) override;
    bool setClipboardText(std::string_view text) override;
    void processEvents() override {}
    // Goes on waiting until the person presses Ctrl-C.
    bool keepAliveWhileWaiting() override;

    // The address the pane was last asked to show, emptied by the call.
    std::string takeImageAddress();

    // Makes Ctrl-C ask the command to stop: the first one sets the flag that
    // interrupted() reads and that cuts a wait for input short; a second one
    // ends the process as usual.
    static void catchInterrupt();
    static bool interrupted();

  private:
    std::array<std::string, 4> boxes_;
    std::string imageAddress_;
};

}  // namespace tovrel
