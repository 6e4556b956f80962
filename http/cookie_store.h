// The process-wide cookie store: one in-memory cookie jar, shared by every
// request that is not given a cookie text of its own. Nothing is read from or
// written to disk. The browser pane's bridge lists and adds cookies here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tovrel {

struct StoredCookie {
    std::string name;
    std::string value;
    // The host the cookie belongs to, without a leading dot.
    std::string domain;
    std::string path = "/";
    bool secure = false;
    bool httpOnly = false;
    // Sent to subdomains of domain as well (a cookie set with a Domain
    // attribute); false for a host-only cookie.
    bool includeSubdomains = false;
    // Seconds since the epoch; 0 for a session cookie.
    std::int64_t expiry = 0;
    friend bool operator==(const StoredCookie&, const StoredCookie&) = default;
};

// Every cookie the store holds, in the store's order.
std::vector<StoredCookie> listStoredCookies();
// Adds a cookie, replacing one of the same name, domain and path. A cookie
// without a name or domain, or with a CR, LF, tab or zero byte, is ignored.
void addStoredCookie(const StoredCookie& cookie);
// Empties the store.
void clearStoredCookies();

namespace net {
// The libcurl share handle that holds the store, for the request layer.
void* cookieShareHandle();
}  // namespace net

}  // namespace tovrel
