#include "links/screen.h"

namespace tovrel {

namespace {

// The screen of a program that has none.
class QuietScreen final : public ScreenPort {
  public:
    std::string getControlText(Control) override { return {}; }
    void setControlText(Control, std::string_view) override {}
    void navigateBrowser(Control, std::string_view) override {}
    bool setClipboardText(std::string_view) override { return false; }
    void processEvents() override {}
};

QuietScreen quietScreen;
ScreenPort* installed = &quietScreen;

}  // namespace

ScreenPort* installScreenPort(ScreenPort* port) {
    ScreenPort* previous = installed == &quietScreen ? nullptr : installed;
    installed = port != nullptr ? port : &quietScreen;
    return previous;
}

std::string getControlText(Control control) {
    return installed->getControlText(control);
}
void setControlText(Control control, std::string_view text) {
    installed->setControlText(control, text);
}
void navigateBrowser(Control control, std::string_view url) {
    installed->navigateBrowser(control, url);
}
bool setClipboardText(std::string_view text) {
    return installed->setClipboardText(text);
}
void processEvents() {
    installed->processEvents();
}
bool keepAliveWhileWaiting() {
    return installed->keepAliveWhileWaiting();
}

}  // namespace tovrel
