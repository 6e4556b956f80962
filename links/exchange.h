// The two exchanges with the file-sharing service, run by a front end's Get
// and Enter actions, and the session values they keep between the two.
#pragma once

#include <string>

#include "text/text.h"

namespace tovrel {

// "http://" and the service's host (with an optional ":port"); no trailing
// slash. The host is the one the program was built for unless setServiceHost
// gave another.
Text serviceBaseAddress();

// Makes the exchanges use hostAndPort ("host" or "host:port") from now on;
// the empty text restores the built-in host. False, changing nothing, when the
// text is not a host name or address with an optional port from 1 to 65535.
bool setServiceHost(TextView hostAndPort);

// Fetches the share page named in the page-address box, keeps its file
// identifier and key, and shows the captcha image in the browser pane. Every
// failure leaves the two values empty; the image address is built regardless.
void fetchSharePage();

// Posts the captcha typed in the captcha box with the kept file identifier to
// the guest login form, and shows the download address the answer carries
// (empty when there is none, or when downloadAddress refuses it).
void submitCaptcha();

// --- session values and the exit step ---------------------------------------

// The file identifier and key cut from the last share page. Written only by
// fetchSharePage; empty until the first Get.
extern std::string currentFileId;
extern std::string currentKey;

// Registers releaseSessionValues to run once when the process exits normally.
// A front end registers it first, before anything else is set up.
void registerExitStep();
// Releases the session values; runs at most once per process.
void releaseSessionValues();
// How many times the exit step has run (0 or 1).
int exitStepRuns();

}  // namespace tovrel
