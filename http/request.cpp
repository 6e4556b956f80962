#include "http/request.h"

#include "base/codepage.h"
#include "base/storage.h"
#include "http/cookies.h"
#include "http/platform.h"
#include "http/urls.h"
#include "text/markers.h"

#include <curl/curl.h>

#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace tovrel {

namespace {

constexpr int kReadBlock = 1024;
constexpr int kRawHeaderCapacity = 5000;
constexpr int kUtf8Window = 500;

constexpr std::size_t kFirstCapacity = std::size_t{16} * 1024;
constexpr std::uintptr_t kHugePage = std::uintptr_t{2} * 1024 * 1024;
constexpr std::size_t kHugePageAdviceFrom = std::size_t{4} * 1024 * 1024;
// One call of the routine: the options it writes back as it goes, the result
// taking shape, and what is left of the call's time and redirects.
struct Call {
    HttpOptions& options;
    HttpResult& result;
    std::chrono::steady_clock::time_point deadline;
    int redirectsLeft = net::kMaxRedirects;
    // The Cookie line the last exchange appended to the header text, which a
    // repeat after a 301 replaces.
    Text cookieLine{};
};

Text agentFor(TextView extraHeaders) {
    if (findText(extraHeaders, "User-Agent:", 0, true) == -1) return Text(kDefaultAgent);
    Text agent = trimBothEnds(textBetween(extraHeaders, "User-Agent:", "\r\n"));
    if (agent.empty()) agent = valueAfterColon(extraHeaders);
    return agent;
}

void appendDefaultHeaders(Call& c, TextView url) {
    Text& headers = c.options.extraHeaders;
    if (findText(headers, "Referer:") == -1) {
        headers = headers.empty() ? concatText("Referer: ", url)
                                  : concatText(headers, "\r\nReferer: ", url);
    }
    if (findText(headers, "Accept:") == -1) headers.append("\r\nAccept: */*");
    if (findText(headers, "Accept-Language:") == -1) headers.append("\r\nAccept-Language: zh-cn");
    if (findText(headers, "Content-Type:") == -1) {
        headers.append("\r\nContent-Type: application/x-www-form-urlencoded");
    }
    if (!c.cookieLine.empty() && TextView(headers).ends_with(c.cookieLine)) {
        headers.resize(headers.size() - c.cookieLine.size());
    }
    c.cookieLine.clear();
    if (c.options.cookies && !c.options.cookies->empty()) {
        c.cookieLine = concatText("\r\nCookie: ", *c.options.cookies);
        headers.append(c.cookieLine);
    }
}

// Gives body room for capacity bytes in a fresh buffer. A large buffer is
// asked to be backed by huge pages where the system allows it: filling tens of
// MiB of small pages costs more than receiving the bytes.
void growBody(std::string& body, std::size_t capacity) {
    std::string grown = newStorage(capacity);
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
    // A length the server announces is trusted only up to the body limit.
    if (expected > 0 && expected <= net::mostBodyBytes()) {
        growBody(body, static_cast<std::size_t>(expected));
    }
}

void appendBlock(std::string& body, const char* block, std::size_t count) {
    if (body.size() + count > body.capacity()) {
        growBody(body, std::max({body.capacity() * 2, body.size() + count, kFirstCapacity}));
    }
    body.append(block, count);
}

// The body in blocks, until its end or the exchange's.
ByteSet readBody(const net::Request& request) {
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
    return body;
}

std::uint32_t flagsFor(TextView url, const HttpOptions& options) {
    std::uint32_t flags = net::kFlagReload | net::kFlagNeedFile;
    if (options.cookies) flags |= net::kFlagNoCookies;
    if (options.noAutoRedirect) flags |= net::kFlagNoAutoRedirect;
    flags |= toLowerCase(leftText(url, 5)) == "https" ? net::kFlagSecure
                                                      : net::kFlagIgnoreRedirectToHttps;
    return flags;
}

struct Exchanged {
    ByteSet body;
    net::Outcome outcome = net::Outcome::complete;
    int redirects = 0;
};

// Opens, sends and reads one request; the options and the result's raw
// headers are written as the exchange goes. Nothing when the request cannot
// be opened, in which case nothing is written.
std::optional<Exchanged> exchangeOnce(const Text& url, Call& c) {
    HttpOptions& o = c.options;
    const Text agent = agentFor(o.extraHeaders);
    const std::optional<std::string> proxyList =
        o.proxy ? std::optional<std::string>(concatText("http=", *o.proxy)) : std::nullopt;
    const Text host = urlHost(url);
    const Text object = urlPath(url);
    const net::Request request = net::openRequest(
        {.url = url,
         .agent = agent,
         .proxyList = proxyList,
         .host = host,
         .port = urlPort(url),
         .verb = o.method == Verb::post ? "POST" : "GET",
         .object = object,
         .version = "HTTP/1.1",
         .flags = flagsFor(url, o)},
        {.deadline = c.deadline, .redirects = c.redirectsLeft, .whileWaiting = o.whileWaiting});
    if (!request) return std::nullopt;

    appendDefaultHeaders(c, url);
    if (o.method == Verb::get) {
        net::sendRequest(request, o.extraHeaders, std::nullopt);
    } else {
        if (byteSetLength(o.postBytes) == 0) o.postBytes = toByteSet(o.postText);
        net::sendRequest(request, o.extraHeaders, std::string_view(o.postBytes.bytes));
    }

    Exchanged e{readBody(request), net::requestOutcome(request), net::redirectsFollowed(request)};
    // An abandoned request gives no body at all; one cut short what came.
    if (e.outcome == net::Outcome::abandoned) e.body = ByteSet{};

    Text& raw = c.result.rawHeaders;
    raw = blankText(kRawHeaderCapacity);
    net::queryRawHeaders(request, raw.data(), kRawHeaderCapacity);
    raw.resize(std::strlen(raw.c_str()));
    return e;
}

// The body as the caller gets it: converted when it declares UTF-8.
ByteSet finalBody(ByteSet body, TextView rawHeaders) {
    if (!declaresUtf8(body, rawHeaders)) return body;
    try {
        return ByteSet{utf8ToAnsi(body.bytes)};
    } catch (const std::bad_alloc&) {
        reportAllocationFailure(body.bytes.size());
    }
}

// Hands the options' written-back values to the result, with body.
HttpResult& done(Call& c, ByteSet body) {
    c.result.body = std::move(body);
    c.result.cookies = std::move(c.options.cookies);
    c.result.extraHeaders = std::move(c.options.extraHeaders);
    c.result.postBytes = std::move(c.options.postBytes);
    return c.result;
}

bool startsWithName(TextView line, TextView lowerName) {
    return line.size() > lowerName.size() && startsWithIgnoringCase(line, lowerName);
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
        if (startsWithName(line, "location:")) {
            redirectLocation = valueAfterColon(line);
            sawLocation = true;
        }
        if (startsWithName(line, "set-cookie:")) {
            // The pair runs from the colon to the first ";"; without one it
            // collects as empty.
            const TextView rest = TextView(line).substr(textLength("set-cookie:"));
            const std::size_t end = rest.find(';');
            if (end != TextView::npos) returnedCookies.append(trimBothEnds(rest.substr(0, end)));
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

HttpResult httpRequest(HttpOptions options) {
    HttpResult result;
    result.redirectLocation = options.redirectLocation;
    Call c{options, result, std::chrono::steady_clock::now() + net::mostTimeInAll()};
    Text current = options.url;
    for (;;) {
        std::optional<Exchanged> e = exchangeOnce(current, c);
        if (!e) return std::move(done(c, {}));
        const bool sawLocation = collectResponseHeaders(
            result.rawHeaders, result.returnedCookies, result.redirectLocation,
            options.cookies ? &*options.cookies : nullptr);
        if (e->outcome == net::Outcome::abandoned) return std::move(done(c, {}));
        c.redirectsLeft -= e->redirects;

        // A 301 answer is followed by repeating the request at its Location,
        // with every other parameter as it now stands.
        if (isMovedPermanently(result.rawHeaders) && sawLocation) {
            Text next = redirectTarget(current, result.redirectLocation);
            if (!next.empty()) {
                if (c.redirectsLeft <= 0) {
                    net::reportRequestFailure(
                        current, "more than " + std::to_string(net::kMaxRedirects) + " redirects");
                    return std::move(done(c, {}));
                }
                --c.redirectsLeft;
                current = std::move(next);
                result.redirectLocation.clear();
                continue;
            }
        }
        if (options.bodyAsSent) return std::move(done(c, std::move(e->body)));
        return std::move(done(c, finalBody(std::move(e->body), result.rawHeaders)));
    }
}

}  // namespace tovrel
