#include "http/urls.h"

#include "text/markers.h"

namespace tovrel {

Text urlHost(TextView url, bool domainOnly, bool keepPort) {
    Text s = toLowerCase(url);
    if (rightText(s, 1) != "/") s = concatText(s, "/");
    if (leftText(s, 8) == "https://") {
        s = textBetween(s, "https://", "/");
    } else {
        // The prefix may stand anywhere in the address, not only at its start.
        if (findText(s, "http://") == -1) s = concatText("http://", s);
        s = textBetween(s, "http://", "/");
    }
    if (domainOnly) {
        const TextArray parts = splitText(s, ".");
        const int size = arraySize(parts);
        if (size > 1) s = concatText(parts.member(size - 1), ".", parts.member(size));
    }
    if (!keepPort) {
        const int colon = findText(s, ":");
        if (colon != -1) s = leftText(s, colon - 1);
    }
    return s;
}

int urlPort(TextView url) {
    const Text host = urlHost(url, false, true);
    const int colon = findTextReverse(host, ":");
    if (colon == -1) return toLowerCase(leftText(url, 5)) == "https" ? 443 : 80;
    return toInteger(rightText(host, textLength(host) - colon));
}

bool isHostName(TextView host) {
    if (host.empty() || host.size() > 253) return false;
    for (const char c : host) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '.' && c != '-' && c != '_') return false;
    }
    return true;
}

Text urlPath(TextView url) {
    const Text host = urlHost(url);
    // The host is lower-case; the address may not be.
    const int hostAt = findText(url, host, 1, true);
    const int slash = findText(url, "/", hostAt, true);
    if (slash <= 0) return "/";
    return rightText(url, textLength(url) - slash + 1);
}

}  // namespace tovrel
