#include "tools/terminal_screen.h"

#include <signal.h>

#include <csignal>
#include <cstddef>
#include <utility>

namespace tovrel {

namespace {

volatile std::sig_atomic_t interruptSeen = 0;

void onInterrupt(int) {
    interruptSeen = 1;
}

std::size_t slot(Control control) {
    return static_cast<std::size_t>(control);
}

}  // namespace

std::string TerminalScreen::getControlText(Control control) {
    return boxes_[slot(control)];
}

void TerminalScreen::setControlText(Control control, std::string_view text) {
    boxes_[slot(control)] = std::string(text);
}

void TerminalScreen::navigateBrowser(Control control, std::string_view url) {
    if (control == Control::browserPane) imageAddress_ = std::string(url);
}

bool TerminalScreen::setClipboardText(std::string_view) {
    return false;
}

bool TerminalScreen::keepAliveWhileWaiting() {
    return !interrupted();
}

std::string TerminalScreen::takeImageAddress() {
    return std::exchange(imageAddress_, std::string());
}

void TerminalScreen::catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART, so that a read waiting for the code returns at once;
    // SA_RESETHAND, so that a second Ctrl-C ends the process.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

bool TerminalScreen::interrupted() {
    return interruptSeen != 0;
}

}  // namespace tovrel
