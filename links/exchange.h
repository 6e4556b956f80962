// The two exchanges with the file-sharing service, run by the window's Get and
// Enter handlers.
#pragma once

#include "text/text.h"

namespace tovrel {

// "http://" and the service's host (with an optional ":port"), fixed when the
// program is built; no trailing slash.
Text serviceBaseAddress();

// Fetches the share page named in the page-address box, keeps its file
// identifier and key, and shows the captcha image in the browser pane. Every
// failure leaves the two values empty; the image address is built regardless.
void fetchSharePage();

// Posts the captcha typed in the captcha box with the kept file identifier to
// the guest login form, and shows the download address the answer carries
// (empty when there is none, or when downloadAddress refuses it).
void submitCaptcha();

namespace testing {
// Points the exchanges at another host for the length of a test; an empty
// text restores the built-in one.
void overrideServiceBaseAddress(TextView base);
}  // namespace testing

}  // namespace tovrel
