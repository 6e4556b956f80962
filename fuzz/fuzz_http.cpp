// Feeds arbitrary bytes to the address operations, the cookie merge and the
// reading of a response's raw headers. The input is split at its first zero
// byte into a first and a second text; the first is also read as an address
// and as raw headers, the second as a cookie text and a Location value.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "http/cookies.h"
#include "http/request.h"
#include "http/urls.h"

using namespace tovrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const Text first = byteSetToText(ByteSet{std::string(all)});
    const std::string_view rest = all.substr(std::min(all.size(), first.size() + 1));
    const Text second = byteSetToText(ByteSet{std::string(rest)});

    for (const bool domainOnly : {false, true}) {
        for (const bool keepPort : {false, true}) urlHost(first, domainOnly, keepPort);
    }
    urlPort(first);
    const Text path = urlPath(first);
    if (path.empty() || path[0] != '/') __builtin_trap();

    Text cookies = first;
    Text newCookies = second;
    const Text merged = mergeCookies(cookies, newCookies);
    if (merged != cookies || removeAllSpaces(newCookies) != newCookies) __builtin_trap();
    joinUnique(first, second);
    cookieName(second);

    // The header reading, with and without a cookie text of the caller's.
    Text returned;
    Text location;
    Text given = second;
    collectResponseHeaders(first, returned, location, &given);
    Text otherReturned;
    Text otherLocation = second;
    collectResponseHeaders(first, otherReturned, otherLocation, nullptr);
    if (location.empty() && !first.empty()) __builtin_trap();
    isMovedPermanently(first);
    declaresUtf8(ByteSet{std::string(all)}, first);
    redirectTarget(first, second);
    redirectTarget(second, location);
    return 0;
}
