// Taking an address apart for the request routine: the host to connect to,
// the port and the object path. These work by plain text search on the address
// as typed (a scheme prefix, the first "/" after the host and ":" characters),
// not by a general URL parser, and never report an error.
#pragma once

#include "text/text.h"

namespace tovrel {

// The host, lower-cased: everything between the scheme prefix ("http://" or
// "https://", any letter case; "http://" is assumed when neither is there) and
// the next "/". With keepPort the ":port" stays on it; with domainOnly only its
// last two dot-separated labels remain.
Text urlHost(TextView url, bool domainOnly = false, bool keepPort = false);

// The number after the last colon of the host with its port; without one, 443
// for an address that begins with "https" (any letter case), otherwise 80.
int urlPort(TextView url);

// Whether host is a host name or IPv4 address a request can connect to: 1 to
// 253 letters, digits, ".", "-" and "_".
bool isHostName(TextView host);

// The object path with its query, from the first "/" after the host to the
// end; "/" when the host is not followed by one. Keeps the address's case.
Text urlPath(TextView url);

}  // namespace tovrel
