// The window's four event handlers. They touch the screen only through the
// shell operations, so they hold no Qt and no link logic of their own.
#pragma once

namespace tovrel {

// The virtual-key code of Enter (main block and numeric keypad).
inline constexpr int kEnterKeyCode = 13;
// Modifier bits of a key event.
inline constexpr int kCtrlBit = 1;
inline constexpr int kShiftBit = 2;
inline constexpr int kAltBit = 4;

void onGetClicked();
void onClearClicked();
void onCopyClicked();
// A key was released while the captcha box has the focus. modifiers is not used.
void onCaptchaKeyReleased(int keyCode, int modifiers);

}  // namespace tovrel
