// A shell backend for tests: boxes are plain strings, and every call is counted
// and recorded, so that a test sees what the core did to the screen.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "links/screen.h"

namespace tovrel::fakes {

class RecordingScreen : public ScreenPort {
  public:
    RecordingScreen();
    ~RecordingScreen() override;
    RecordingScreen(const RecordingScreen&) = delete;
    RecordingScreen& operator=(const RecordingScreen&) = delete;

    std::string getControlText(Control control) override;
    void setControlText(Control control, std::string_view text) override;
    void navigateBrowser(Control control, std::string_view url) override;
    bool setClipboardText(std::string_view text) override;
    void processEvents() override;

    std::map<Control, std::string> boxes;
    // Every text written to a box, in order, with the box it went to.
    std::vector<std::pair<Control, std::string>> writes;
    std::vector<std::string> navigations;
    std::string clipboard;
    bool clipboardAvailable = true;
    int processEventsCalls = 0;
    // Runs inside processEvents, as a waiting event would.
    std::function<void()> onProcessEvents;

  private:
    ScreenPort* previous_;
};

}  // namespace tovrel::fakes
