// The screen as the core sees it: the five operations the exchanges and the
// decoder need from a front end. A front end (the Qt window, a terminal
// command, a recording fake in tests) implements ScreenPort and installs it.
// With no port installed, boxes read empty, writes and navigations do nothing,
// setClipboardText gives false and processEvents returns at once.
#pragma once

#include <string>
#include <string_view>

namespace tovrel {

// The controls the core addresses by name.
enum class Control { pageAddressBox, downloadAddressBox, captchaBox, browserPane };

class ScreenPort {
  public:
    virtual ~ScreenPort() = default;
    // Texts are code page 936 bytes.
    virtual std::string getControlText(Control control) = 0;
    virtual void setControlText(Control control, std::string_view text) = 0;
    virtual void navigateBrowser(Control control, std::string_view url) = 0;
    virtual bool setClipboardText(std::string_view text) = 0;
    // Runs what is waiting in the front end's event queue, then returns.
    virtual void processEvents() = 0;
};

// Installs port (not owned; nullptr restores the quiet default) and returns
// the one installed before (nullptr for the default).
ScreenPort* installScreenPort(ScreenPort* port);

std::string getControlText(Control control);
void setControlText(Control control, std::string_view text);
void navigateBrowser(Control control, std::string_view url);
bool setClipboardText(std::string_view text);
void processEvents();

}  // namespace tovrel
