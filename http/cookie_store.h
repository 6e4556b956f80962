// The process-wide cookie store: one in-memory cookie jar, shared by every
// request that is not given a cookie text of its own. Nothing is read from or
// written to disk. The browser pane's bridge lists and adds cookies here.
#pragma once

#include <cstddef>
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
// After every 50 adds the store is brought within its bounds.
void addStoredCookie(const StoredCookie& cookie);
// Empties the store.
void clearStoredCookies();

// The store's bounds (RFC 6265's least capacities).
inline constexpr std::size_t kMostCookiesPerDomain = 50;
inline constexpr std::size_t kMostStoredCookies = 3000;
// Brings the store within its bounds, dropping the cookies first seen longest
// ago: every exchange that used the store calls it when it ends.
void keepStoreWithinBounds();

namespace net {
// The libcurl share handle that holds the store, for the request layer.
void* cookieShareHandle();
}  // namespace net

}  // namespace tovrel
