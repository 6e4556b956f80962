#include "http/request.h"

#include "base/codepage.h"
#include "http/cookies.h"
#include "http/platform.h"
#include "http/urls.h"
#include "text/markers.h"

#include <curl/curl.h>

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace tovrel {

namespace {

constexpr int kReadBlock = 1024;
constexpr int kRawHeaderCapacity = 5000;
constexpr int kUtf8Window = 500;
// How often the routine follows 301 answers itself before it takes the last
// answer as the result.
constexpr int kMaxMovedRepeats = 20;

constexpr std::size_t kFirstCapacity = std::size_t{16} * 1024;
constexpr std::uintptr_t kHugePage = std::uintptr_t{2} * 1024 * 1024;
constexpr std::size_t kHugePageAdviceFrom = std::size_t{4} * 1024 * 1024;
constexpr std::int64_t kMostReserved = std::int64_t{256} * 1024 * 1024;

// The parameters of one call, each the caller's variable or a private one.
struct Exchange {
    int method;
    TextView postText;
    Text* cookies;  // null: not given
    Text& returnedCookies;
    Text& extraHeaders;
    Text& redirectLocation;
    bool noAutoRedirect;
    ByteSet& postBytes;
    const std::optional<Text>& proxy;
    Text& rawHeaders;
};

Text agentFor(TextView extraHeaders) {
    if (findText(extraHeaders, "User-Agent:", 0, true) == -1) return Text(kDefaultAgent);
    Text agent = trimBothEnds(textBetween(extraHeaders, "User-Agent:", "\r\n"));
    if (agent.empty()) agent = valueAfterColon(extraHeaders);
    return agent;
}

void appendDefaultHeaders(Text& headers, TextView url, const Text* cookies) {
    if (findText(headers, "Referer:") == -1) {
        headers = headers.empty() ? concatText("Referer: ", url)
                                  : concatText(headers, "\r\nReferer: ", url);
    }
    if (findText(headers, "Accept:") == -1) headers.append("\r\nAccept: */*");
    if (findText(headers, "Accept-Language:") == -1) headers.append("\r\nAccept-Language: zh-cn");
    if (findText(headers, "Content-Type:") == -1) {
        headers.append("\r\nContent-Type: application/x-www-form-urlencoded");
    }
    if (cookies != nullptr && !cookies->empty()) {
        headers.append("\r\nCookie: ");
        headers.append(*cookies);
    }
}

// Gives body room for capacity bytes in a fresh buffer. A large buffer is
// asked to be backed by huge pages where the system allows it: filling tens of
// MiB of small pages costs more than receiving the bytes.
void growBody(std::string& body, std::size_t capacity) {
    std::string grown;
    grown.reserve(capacity);
    if (capacity >= kHugePageAdviceFrom) {
        const auto start = reinterpret_cast<std::uintptr_t>(grown.data());
        const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
        const std::uintptr_t last = (start + capacity) & ~(kHugePage - 1);
        if (last > first) {
            madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
        }
    }
    grown.append(body);
    body.swap(grown);
}

void reserveBody(std::string& body, std::int64_t expected) {
    // A length the server announces is trusted only up to a limit.
    if (expected > 0 && expected <= kMostReserved)
        growBody(body, static_cast<std::size_t>(expected));
}

void appendBlock(std::string& body, const char* block, std::size_t count) {
    if (body.size() + count > body.capacity()) {
        growBody(body, std::max({body.capacity() * 2, body.size() + count, kFirstCapacity}));
    }
    body.append(block, count);
}

// Opens, sends, reads and closes one request; the by-reference parameters
// are written as the exchange goes. Nothing when the session, the connection
// or the request cannot be opened, in which case no parameter is written.
std::optional<ByteSet> exchangeOnce(const Text& url, Exchange& x) {
    const char* verb = x.method == 1 ? "POST" : "GET";
    const Text agent = agentFor(x.extraHeaders);

    net::Session session = net::openSession(
        agent, x.proxy ? std::optional<std::string>(concatText("http=", *x.proxy)) : std::nullopt);
    if (!session) {
        net::reportRequestFailure(url, "libcurl could not be initialised");
        return std::nullopt;
    }
    net::Connection connection = net::connectTo(session, urlHost(url), urlPort(url));
    if (!connection) {
        net::reportRequestFailure(url, "not a host name or address that can be connected to");
        return std::nullopt;
    }

    std::uint32_t flags = net::kFlagReload | net::kFlagNeedFile;
    if (x.cookies != nullptr) flags |= net::kFlagNoCookies;
    if (x.noAutoRedirect) flags |= net::kFlagNoAutoRedirect;
    flags |= toLowerCase(leftText(url, 5)) == "https" ? net::kFlagSecure
                                                      : net::kFlagIgnoreRedirectToHttps;
    net::Request request = net::openRequest(connection, verb, urlPath(url), "HTTP/1.1", flags);
    if (!request) return std::nullopt;

    appendDefaultHeaders(x.extraHeaders, url, x.cookies);

    if (x.method == 0) {
        net::sendRequest(request, x.extraHeaders, std::nullopt);
    } else {
        if (byteSetLength(x.postBytes) == 0) x.postBytes = toByteSet(x.postText);
        net::sendRequest(request, x.extraHeaders, std::string_view(x.postBytes.bytes));
    }

    // The body grows by appending each block in place, so reading it takes
    // time in proportion to its length.
    ByteSet body;
    reserveBody(body.bytes, net::expectedBodyLength(request));
    char block[kReadBlock];
    for (;;) {
        const int count = net::readBlock(request, block, kReadBlock);
        if (count == 0) break;
        appendBlock(body.bytes, block, static_cast<std::size_t>(count));
    }
    // A request that failed on the way gives no body at all.
    if (net::requestFailed(request)) body = ByteSet{};

    x.rawHeaders = blankText(kRawHeaderCapacity);
    net::queryRawHeaders(request, x.rawHeaders.data(), kRawHeaderCapacity);
    x.rawHeaders.resize(std::strlen(x.rawHeaders.c_str()));

    request.close();
    connection.close();
    session.close();
    return body;
}

bool hasScheme(TextView address) {
    const std::size_t mark = address.find("://");
    if (mark == TextView::npos || mark == 0) return false;
    for (std::size_t i = 0; i < mark; ++i) {
        const char c = address[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && !(i > 0 && other)) return false;
    }
    return true;
}

}  // namespace

bool collectResponseHeaders(TextView rawHeaders, Text& returnedCookies, Text& redirectLocation,
                            Text* cookies) {
    bool sawLocation = false;
    returnedCookies.clear();
    const TextArray lines = splitText(rawHeaders, "\r\n");
    const int count = arraySize(lines);
    for (int i = 1; i <= count; ++i) {
        const Text& line = lines.member(i);
        if (findText(line, "Location:") != -1) {
            redirectLocation = valueAfterColon(line);
            sawLocation = true;
        }
        if (findText(line, "Set-Cookie") != -1) {
            returnedCookies.append(trimBothEnds(textBetween(line, "Set-Cookie:", ";")));
            returnedCookies.append("; ");
        }
    }
    returnedCookies = leftText(returnedCookies, textLength(returnedCookies) - 2);
    if (cookies != nullptr) mergeCookies(*cookies, returnedCookies);
    if (redirectLocation.empty()) redirectLocation = Text(rawHeaders);
    return sawLocation;
}

bool isMovedPermanently(TextView rawHeaders) {
    return textBetween(rawHeaders, "HTTP/1.1 ", " Moved") == "301";
}

Text redirectTarget(TextView currentUrl, TextView location) {
    if (location.empty()) return {};
    if (hasScheme(location)) {
        const TextView afterScheme = location.substr(location.find("://") + 3);
        // Only a host: the current object path goes on it.
        if (afterScheme.find_first_of("/?#") == TextView::npos) {
            return concatText(location, urlPath(currentUrl));
        }
        return Text(location);
    }
    // Relative: resolved against the current address, read as http:// when
    // it has no scheme, as the URL operations read it.
    const Text base = hasScheme(currentUrl) ? Text(currentUrl) : concatText("http://", currentUrl);
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> handle(curl_url(), curl_url_cleanup);
    if (!handle) return {};
    const unsigned int options = CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE;
    if (curl_url_set(handle.get(), CURLUPART_URL, base.c_str(), options) != CURLUE_OK) return {};
    const Text relative(location);
    if (curl_url_set(handle.get(), CURLUPART_URL, relative.c_str(), options) != CURLUE_OK) {
        return {};
    }
    char* resolved = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_URL, &resolved, 0) != CURLUE_OK) return {};
    Text target(resolved);
    curl_free(resolved);
    return target;
}

bool declaresUtf8(const ByteSet& body, TextView rawHeaders) {
    const int at = findBytes(body, toByteSet("utf-8"));
    if (at >= 1 && at < kUtf8Window) return true;
    return findText(rawHeaders, "utf-8", 0, true) != -1;
}

ByteSet httpRequest(TextView url, int method, TextView postText, Text* cookies,
                    Text* returnedCookies, Text* extraHeaders, Text* redirectLocation,
                    bool noAutoRedirect, ByteSet* postBytes, const std::optional<Text>& proxy,
                    Text* rawHeaders) {
    Text ownReturnedCookies, ownExtraHeaders, ownRedirectLocation, ownRawHeaders;
    ByteSet ownPostBytes;
    Exchange x{method,
               postText,
               cookies,
               returnedCookies != nullptr ? *returnedCookies : ownReturnedCookies,
               extraHeaders != nullptr ? *extraHeaders : ownExtraHeaders,
               redirectLocation != nullptr ? *redirectLocation : ownRedirectLocation,
               noAutoRedirect,
               postBytes != nullptr ? *postBytes : ownPostBytes,
               proxy,
               rawHeaders != nullptr ? *rawHeaders : ownRawHeaders};

    Text current(url);
    for (int repeat = 0;; ++repeat) {
        std::optional<ByteSet> body = exchangeOnce(current, x);
        if (!body) return {};
        const bool sawLocation =
            collectResponseHeaders(x.rawHeaders, x.returnedCookies, x.redirectLocation, x.cookies);

        // A 301 answer is followed by repeating the request at its Location,
        // with every other parameter as it now stands.
        if (isMovedPermanently(x.rawHeaders) && sawLocation && repeat < kMaxMovedRepeats) {
            Text next = redirectTarget(current, x.redirectLocation);
            if (!next.empty()) {
                current = std::move(next);
                x.redirectLocation.clear();
                continue;
            }
        }
        if (declaresUtf8(*body, x.rawHeaders)) return ByteSet{utf8ToAnsi(body->bytes)};
        return std::move(*body);
    }
}

}  // namespace tovrel
