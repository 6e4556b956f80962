#include "shell/handlers.h"

#include <string>

#include "links/screen.h"

namespace tovrel {

void onGetClicked(const WindowActions& actions) {
    if (actions.get) actions.get();
}

void onClearClicked() {
    setControlText(Control::pageAddressBox, "");
}

void onCopyClicked() {
    const std::string address = getControlText(Control::downloadAddressBox);
    setClipboardText(address);
}

void onCaptchaKeyReleased(int keyCode, int /*modifiers*/, const WindowActions& actions) {
    if (keyCode != kEnterKeyCode) return;
    if (actions.enter) actions.enter();
    setControlText(Control::captchaBox, "");
}

}  // namespace tovrel
