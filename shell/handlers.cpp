#include "shell/handlers.h"

#include <string>

#include "links/exchange.h"
#include "shell/api/shell.h"

namespace tovrel {

void onGetClicked() {
    fetchSharePage();
}

void onClearClicked() {
    setControlText(Control::pageAddressBox, "");
}

void onCopyClicked() {
    const std::string address = getControlText(Control::downloadAddressBox);
    setClipboardText(address);
}

void onCaptchaKeyReleased(int keyCode, int /*modifiers*/) {
    if (keyCode != kEnterKeyCode) return;
    submitCaptcha();
    setControlText(Control::captchaBox, "");
}

}  // namespace tovrel
