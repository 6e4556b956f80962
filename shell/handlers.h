// The window's four event handlers. They touch the screen only through the
// core's screen port, so they hold no Qt and no link logic of their own.
#pragma once

#include <functional>

#include "links/exchange.h"

namespace tovrel {

// What the window's Get and Enter run: the real exchanges unless a test or a
// probe gives others.
struct WindowActions {
    std::function<void()> get = fetchSharePage;
    std::function<void()> enter = submitCaptcha;
};

// The virtual-key code of Enter (main block and numeric keypad).
inline constexpr int kEnterKeyCode = 13;

void onGetClicked(const WindowActions& actions);
void onClearClicked();
void onCopyClicked();
// A key was released while the captcha box has the focus. modifiers is not used.
void onCaptchaKeyReleased(int keyCode, int modifiers, const WindowActions& actions);

}  // namespace tovrel
