// The screen as the core sees it: the five operations the exchanges and the
// decoder need from a front end. A front end (the Qt window, a terminal
// command, a recording fake in tests) implements ScreenPort and installs it.
// With no port installed, boxes read empty, writes and navigations do nothing,
// setClipboardText gives false, processEvents returns at once and
// keepAliveWhileWaiting goes on waiting.
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
    // Called again and again while a request waits for the network: the
    // front end paints and answers its window manager, and holds typing and
    // clicks back until the wait is over. Returns false once the person has
    // asked to quit, and the request is then abandoned. The default does
    // nothing and goes on waiting.
    virtual bool keepAliveWhileWaiting() { return true; }
};

// Installs port (not owned; nullptr restores the quiet default) and returns
// the one installed before (nullptr for the default).
ScreenPort* installScreenPort(ScreenPort* port);

std::string getControlText(Control control);
void setControlText(Control control, std::string_view text);
void navigateBrowser(Control control, std::string_view url);
bool setClipboardText(std::string_view text);
void processEvents();
bool keepAliveWhileWaiting();

}  // namespace tovrel
