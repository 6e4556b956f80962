// The two exchanges with the file-sharing service, run by the window's Get and
// Enter handlers.
#pragma once

namespace tovrel {

// Fetches the share page named in the page-address box, keeps its file
// identifier and key, and shows the captcha image in the browser pane.
void fetchSharePage();

// Posts the captcha typed in the captcha box and shows the download address.
void submitCaptcha();

}  // namespace tovrel
