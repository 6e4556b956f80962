// The one general HTTP request routine, and the pieces of it that read a
// response's headers.
#pragma once

#include "text/text.h"

#include <functional>
#include <optional>

namespace tovrel {

// The agent string sent when the header text names none.
inline constexpr TextView kDefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Quorv; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";

// The verb of a request: GET without a body, POST with one, GET with one.
enum class Verb { get, post, getWithBody };

// What a request is made with. Every field but url may be left out.
struct HttpOptions {
    // The address, with or without "http://" or "https://"; also the default
    // referrer.
    Text url{};
    Verb method = Verb::get;
    // The body when the verb sends one and postBytes is empty.
    Text postText{};
    // Given (even empty): the process-wide cookie store is left out of this
    // request and the cookies the response sets are merged into it (the
    // result's cookies). Non-empty: sent as a Cookie line.
    std::optional<Text> cookies{};
    // Header lines separated by CR LF; the default Referer, Accept,
    // Accept-Language, Content-Type and Cookie lines are appended where
    // missing, and the completed text (the result's extraHeaders) is sent.
    Text extraHeaders{};
    // Kept when the response has no Location line; the raw header text
    // takes its place when it is empty.
    Text redirectLocation{};
    // Follow no redirect automatically. A 301 answer with a Location is still
    // followed; the automatic redirects and these count against one limit of
    // 20.
    bool noAutoRedirect = false;
    // The body bytes; replaced by postText's bytes when the verb sends a body
    // and it is empty (the result's postBytes).
    ByteSet postBytes{};
    // Given (even empty): http:// addresses go through this proxy, https ones
    // direct.
    std::optional<Text> proxy{};
    // Called again and again (at least every 50 ms) while the request waits
    // for the network; false abandons the request at once: an empty body, no
    // 301 followed, no line written.
    std::function<bool()> whileWaiting{};
    // The body as it arrived, never converted from UTF-8: for an image or any
    // other body that is not text.
    bool bodyAsSent = false;
};

struct HttpResult {
    // The response body, converted from UTF-8 to code page 936 when the body
    // (in its first 499 bytes) or the headers name "utf-8", unless the options
    // ask for it as sent.
    ByteSet body;
    // The response's header text (status line first, CR LF line ends), or
    // 5000 blanks when none was received or it does not fit in 4999 bytes;
    // empty when the request could not be opened.
    Text rawHeaders;
    // The Location value, or the options' redirectLocation, or the raw
    // header text.
    Text redirectLocation;
    // The response's Set-Cookie pairs joined by "; ".
    Text returnedCookies;
    // The options' cookies with the response's merged in; absent when they
    // were not given.
    std::optional<Text> cookies;
    // The header text as it was sent, and the body bytes as they were sent.
    Text extraHeaders;
    ByteSet postBytes;
};

// Performs one HTTP exchange (following 301 answers itself) and returns what
// came back. The empty body when the request cannot be made, fails before
// the body, or is abandoned; a body cut short is what arrived. A failure is
// written as one line to standard error and nothing else. One call ends
// within 120 s whatever the server does, sends at most 21 requests, and
// abandons a body over 128 MiB; a connection must be made within 60 s and an
// answer that sends nothing for 30 s is given up.
HttpResult httpRequest(HttpOptions options);

// Reads the raw header text of a response: returnedCookies becomes the
// Set-Cookie pairs joined by "; ", redirectLocation the value of the last
// Location line, and, when cookies is given, the pairs are merged into it.
// Header names are recognised at the start of a line in any letter case.
// When no Location line is there and redirectLocation is empty, it becomes the
// raw header text. Returns whether a Location line was there.
bool collectResponseHeaders(TextView rawHeaders, Text& returnedCookies, Text& redirectLocation,
                            Text* cookies);

// Whether the status line reads "HTTP/1.1 301 Moved...".
bool isMovedPermanently(TextView rawHeaders);

// The address a 301 answer's Location leads to from currentUrl: a Location
// that names only a scheme and host gets the current object path; an absolute
// one with a path of its own is used as it is; a relative one is resolved
// against currentUrl. Empty when it cannot be resolved.
Text redirectTarget(TextView currentUrl, TextView location);

// Whether a body is to be read as UTF-8: "utf-8" starts at byte 1 to 499 of
// the body, or stands anywhere in the headers (any letter case).
bool declaresUtf8(const ByteSet& body, TextView rawHeaders);

}  // namespace tovrel
