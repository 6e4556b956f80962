// The one general HTTP request routine, and the pieces of it that read a
// response's headers.
#pragma once

#include "text/text.h"

#include <optional>

namespace tovrel {

// The agent string sent when the header text names none.
inline constexpr TextView kDefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Quorv; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";

// Performs one HTTP exchange and returns the response body, converted from
// UTF-8 to code page 936 when the body (in its first 499 bytes) or the headers
// name "utf-8". The empty body when the request cannot be made; a failure is
// written as one line to standard error and nothing else.
//
// A null pointer is an omitted parameter; the routine then works on a private
// empty value. Parameters:
//   url              the address, with or without "http://" or "https://".
//   method           1 sends POST, another non-zero value GET with a body,
//                    0 GET without one.
//   postText         the body when method is non-zero and postBytes is empty.
//   cookies          in/out. Given (even empty): the process-wide cookie store
//                    is left out of this request and the cookies the response
//                    sets are merged into it. Non-empty: sent as a Cookie line.
//   returnedCookies  out: the response's Set-Cookie pairs joined by "; ".
//   extraHeaders     in/out: header lines separated by CR LF; the default
//                    Referer, Accept, Accept-Language, Content-Type and Cookie
//                    lines are appended where missing, and the text is sent.
//   redirectLocation in/out: the Location value, or the raw header text when
//                    there is none and it is still empty.
//   noAutoRedirect   follow no redirect automatically. A 301 answer with a
//                    Location is still followed, at most 20 times.
//   postBytes        in/out: the body bytes; replaced by postText's bytes when
//                    method is non-zero and it is empty.
//   proxy            given (even empty): http:// addresses go through this
//                    proxy, https ones direct.
//   rawHeaders       out: the response's header text (status line first, CR
//                    LF line ends), or 5000 blanks when none was received or it
//                    does not fit in 4999 bytes.
ByteSet httpRequest(TextView url, int method = 0, TextView postText = {}, Text* cookies = nullptr,
                    Text* returnedCookies = nullptr, Text* extraHeaders = nullptr,
                    Text* redirectLocation = nullptr, bool noAutoRedirect = false,
                    ByteSet* postBytes = nullptr, const std::optional<Text>& proxy = std::nullopt,
                    Text* rawHeaders = nullptr);

// Reads the raw header text of a response: returnedCookies becomes the
// Set-Cookie pairs joined by "; ", redirectLocation the value of the last line
// holding "Location:", and, when cookies is given, the pairs are merged into
// it. When no Location line is there and redirectLocation is empty, it becomes
// the raw header text. Returns whether a Location line was there.
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
