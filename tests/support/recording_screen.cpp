#include "tests/support/recording_screen.h"

namespace tovrel::fakes {

RecordingScreen::RecordingScreen() : previous_(installScreenPort(this)) {}

RecordingScreen::~RecordingScreen() {
    installScreenPort(previous_);
}

std::string RecordingScreen::getControlText(Control control) {
    return boxes[control];
}

void RecordingScreen::setControlText(Control control, std::string_view text) {
    boxes[control] = std::string(text);
    writes.emplace_back(control, std::string(text));
}

void RecordingScreen::navigateBrowser(Control, std::string_view url) {
    navigations.emplace_back(url);
}

bool RecordingScreen::setClipboardText(std::string_view text) {
    if (!clipboardAvailable) return false;
    clipboard = std::string(text);
    return true;
}

void RecordingScreen::processEvents() {
    ++processEventsCalls;
    if (onProcessEvents) onProcessEvents();
}

}  // namespace tovrel::fakes
