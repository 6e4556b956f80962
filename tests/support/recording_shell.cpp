#include "tests/support/recording_shell.h"

namespace tovrel::testing {

RecordingShell::RecordingShell() : previous_(installShellBackend(this)) {}

RecordingShell::~RecordingShell() {
    installShellBackend(previous_);
}

std::string RecordingShell::getControlText(Control control) {
    return boxes[control];
}

void RecordingShell::setControlText(Control control, std::string_view text) {
    boxes[control] = std::string(text);
    writes.emplace_back(control, std::string(text));
}

void RecordingShell::navigateBrowser(Control, std::string_view url) {
    navigations.emplace_back(url);
}

bool RecordingShell::setClipboardText(std::string_view text) {
    if (!clipboardAvailable) return false;
    clipboard = std::string(text);
    return true;
}

void RecordingShell::processEvents() {
    ++processEventsCalls;
    if (onProcessEvents) onProcessEvents();
}

}  // namespace tovrel::testing
