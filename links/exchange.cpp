#include "links/exchange.h"

#include "http/request.h"
#include "http/urls.h"
#include "links/address.h"
#include "links/screen.h"
#include "text/markers.h"

#include <cstdlib>

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

Text& hostOverride() {
    static Text host;
    return host;
}

// "host" or "host:port": a host name or IPv4 address, and a port from 1 to
// 65535 without a sign or leading zeros.
bool isHostAndPort(TextView text) {
    const std::size_t colon = text.find(':');
    if (!isHostName(text.substr(0, colon))) return false;
    if (colon == TextView::npos) return true;
    const TextView port = text.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.front() == '0') return false;
    long value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value <= 65535;
}

bool exitStepDone = false;
int exitStepCount = 0;

}  // namespace

std::string currentFileId;
std::string currentKey;

Text serviceBaseAddress() {
    return concatText("http://", hostOverride().empty() ? TextView(TOVREL_SERVICE_HOST)
                                                        : TextView(hostOverride()));
}

bool setServiceHost(TextView hostAndPort) {
    if (!hostAndPort.empty() && !isHostAndPort(hostAndPort)) return false;
    hostOverride() = Text(hostAndPort);
    return true;
}

void fetchSharePage() {
    const Text url = getControlText(Control::pageAddressBox);
    const Text page =
        byteSetToText(httpRequest({.url = url, .whileWaiting = keepAliveWhileWaiting}).body);
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
    const Text answer = byteSetToText(httpRequest({.url = loginAddress,
                                                   .method = Verb::post,
                                                   .postText = form,
                                                   .whileWaiting = keepAliveWhileWaiting})
                                          .body);
    const Text link = textBetween(answer, kLinkStart, kLinkEnd);
    const Text address = downloadAddress(link);
    setControlText(Control::downloadAddressBox, "");
    setControlText(Control::downloadAddressBox, address);
}

void registerExitStep() {
    std::atexit(releaseSessionValues);
}

void releaseSessionValues() {
    if (exitStepDone) return;
    exitStepDone = true;
    ++exitStepCount;
    if (!currentFileId.empty()) std::string().swap(currentFileId);
    if (!currentKey.empty()) std::string().swap(currentKey);
}

int exitStepRuns() {
    return exitStepCount;
}

}  // namespace tovrel
