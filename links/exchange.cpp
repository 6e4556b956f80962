#include "links/exchange.h"

#include "http/request.h"
#include "links/address.h"
#include "shell/api/shell.h"
#include "text/markers.h"

#ifndef TOVREL_SERVICE_HOST
#error "TOVREL_SERVICE_HOST names the service's host; the build sets it"
#endif

namespace tovrel {

namespace {

// Where the share page's script writes the captcha image.
constexpr TextView kScriptStart = "document.write(\"<img id='vfcode' src='/";
constexpr TextView kScriptEnd = "rand=\"";
// The anchor around the download link in the answer page.
constexpr TextView kLinkStart = "<a class=\"thunder\" href=\"";
constexpr TextView kLinkEnd = "\" id=\"thunder_downurl\"";
// The image address carries the same rand value on every request.
constexpr TextView kRandTail = "&rand=0.8889138259165008";
constexpr TextView kFormTail = "&Comfirm.x=109&Comfirm.y=40";

Text& baseOverride() {
    static Text base;
    return base;
}

}  // namespace

Text serviceBaseAddress() {
    if (!baseOverride().empty()) return baseOverride();
    return concatText("http://", TOVREL_SERVICE_HOST);
}

void testing::overrideServiceBaseAddress(TextView base) {
    baseOverride() = Text(base);
}

void fetchSharePage() {
    const Text url = getControlText(Control::pageAddressBox);
    const Text page = byteSetToText(httpRequest(url));
    const Text segment = textBetween(page, kScriptStart, kScriptEnd);
    currentFileId = textBetween(segment, "fid=", "&");
    currentKey = textBetween(segment, "key=", "&");
    const Text imageAddress =
        concatText(serviceBaseAddress(), "/randcodeV2.php?fid=", currentFileId, "&key=", currentKey,
                   kRandTail);
    navigateBrowser(Control::browserPane, imageAddress);
}

void submitCaptcha() {
    const Text captcha = getControlText(Control::captchaBox);
    const Text form = concatText("file_id=", currentFileId, "&randcode=", captcha, kFormTail);
    const Text loginAddress = concatText(serviceBaseAddress(), "/guest_loginV2.php");
    const Text answer = byteSetToText(httpRequest(loginAddress, 1, form));
    const Text link = textBetween(answer, kLinkStart, kLinkEnd);
    const Text address = downloadAddress(link);
    setControlText(Control::downloadAddressBox, "");
    setControlText(Control::downloadAddressBox, address);
}

}  // namespace tovrel
