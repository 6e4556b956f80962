#include "http/platform.h"

#include "base/codepage.h"
#include "base/printable.h"
#include "base/storage.h"
#include "http/cookie_store.h"
#include "http/urls.h"
#include "text/text.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace tovrel::net {

namespace {

constexpr std::chrono::milliseconds kConnectTimeout{60000};
constexpr std::chrono::seconds kIdleTimeout{30};
constexpr std::chrono::milliseconds kTimeInAll{120000};
constexpr std::int64_t kMostBodyBytes = std::int64_t{128} * 1024 * 1024;
// How long one wait for the network lasts before the caller's whileWaiting
// is asked again.
constexpr int kWaitSliceMs = 40;
// The raw header text is kept only up to this size: the routine takes at
// most 4999 bytes of it.
constexpr std::size_t kMostHeaderBytes = std::size_t{64} * 1024;

struct Settings {
    std::chrono::milliseconds connectTimeout = kConnectTimeout;
    std::chrono::seconds idleTimeout = kIdleTimeout;
    std::chrono::milliseconds timeInAll = kTimeInAll;
    std::int64_t bodyBytes = kMostBodyBytes;
    std::string caFile;
};

Settings& settings() {
    static Settings current;
    return current;
}

}  // namespace

bool libcurlReady() {
    static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ok;
}

namespace {
RequestFailureReceiver failureReceiver = nullptr;
}  // namespace

RequestFailureReceiver setRequestFailureReceiver(RequestFailureReceiver receiver) {
    const RequestFailureReceiver previous = failureReceiver;
    failureReceiver = receiver;
    return previous;
}

void reportRequestFailure(std::string_view address, std::string_view reason) {
    if (failureReceiver != nullptr) {
        failureReceiver(address, reason);
        return;
    }
    // The address may come from a server's Location, the reason quote it.
    const std::string line =
        "tovrel: request for " + printable(address) + " failed: " + printable(reason) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

std::int64_t mostBodyBytes() {
    return settings().bodyBytes;
}

std::chrono::milliseconds mostTimeInAll() {
    return settings().timeInAll;
}

namespace {

// The object path as libcurl's address parser accepts it: controls, blanks
// and bytes from 0x7F up are percent-encoded, which a server decodes back to
// the same bytes.
std::string escapedObject(std::string_view object) {
    std::string out;
    out.reserve(object.size() + 1);
    if (object.empty() || object.front() != '/') out.push_back('/');
    for (const char c : object) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            out.push_back('%');
            appendHexDigits(out, byte);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// The proxy that serves scheme in a blank-separated proxy list, or "" for
// direct.
std::string proxyFor(const std::optional<std::string>& proxyList, std::string_view scheme) {
    if (!proxyList) return {};
    std::string general;
    std::string_view rest = *proxyList;
    while (!rest.empty()) {
        const std::size_t blank = rest.find(' ');
        const std::string_view entry = rest.substr(0, blank);
        rest = blank == std::string_view::npos ? std::string_view{} : rest.substr(blank + 1);
        if (entry.empty()) continue;
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            if (general.empty()) general = entry;
        } else if (entry.substr(0, equals) == scheme) {
            return std::string(entry.substr(equals + 1));
        }
    }
    return general;
}

bool hasHeaderNamed(std::string_view line, std::string_view lowerName) {
    return startsWithIgnoringCase(line, lowerName) && line.size() > lowerName.size() &&
           line[lowerName.size()] == ':';
}

struct EasyCleanup {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiCleanup {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

struct RequestState {
    ~RequestState() {
        if (attached) curl_multi_remove_handle(multi.get(), easy.get());
    }

    // Declared in the order they may be freed last: the header list outlives
    // the easy handle that points at it, the easy handle the multi handle.
    std::unique_ptr<curl_slist, ListFree> headerList;
    std::unique_ptr<CURLM, MultiCleanup> multi;
    std::unique_ptr<CURL, EasyCleanup> easy;
    bool attached = false;
    std::string address;
    std::string verb;
    std::uint32_t flags = 0;
    Waiting waiting;
    bool done = false;
    Outcome outcome = Outcome::complete;
    bool givenUp = false;
    std::int64_t received = 0;
    bool overLimit = false;
    // Body bytes received and not read yet; the transfer is driven only
    // while this is empty, so it holds at most what one step delivers.
    std::string pending;
    std::size_t pendingOffset = 0;
    std::string rawHeaders;
    bool haveHeaders = false;
    bool headersTooLong = false;
    char error[CURL_ERROR_SIZE] = {};
};

void RequestClose::operator()(RequestState* state) const {
    delete state;
}

namespace {

std::size_t onBody(char* bytes, std::size_t size, std::size_t count, void* user) {
    auto* r = static_cast<RequestState*>(user);
    const std::size_t n = size * count;
    r->received += static_cast<std::int64_t>(n);
    if (r->received > settings().bodyBytes) {
        r->overLimit = true;
        return 0;  // ends the transfer with a write error
    }
    if (r->pendingOffset == r->pending.size()) {
        r->pending.clear();
        r->pendingOffset = 0;
    }
    reserveStorage(r->pending, r->pending.size() + n);
    r->pending.append(bytes, n);
    return n;
}

// Keeps the headers of the latest response only (an automatic redirect or an
// interim 1xx answer starts a new set), each line ended by CR LF.
std::size_t onHeader(char* bytes, std::size_t size, std::size_t count, void* user) {
    auto* r = static_cast<RequestState*>(user);
    std::string_view line(bytes, size * count);
    if (line.substr(0, 5) == "HTTP/") {
        r->rawHeaders.clear();
        r->headersTooLong = false;
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    r->haveHeaders = true;
    if (r->headersTooLong || r->rawHeaders.size() + line.size() + 2 > kMostHeaderBytes) {
        r->headersTooLong = true;
        return size * count;
    }
    r->rawHeaders.append(line);
    r->rawHeaders.append("\r\n");
    return size * count;
}

void detach(RequestState& r) {
    r.done = true;
    if (r.attached) {
        curl_multi_remove_handle(r.multi.get(), r.easy.get());
        r.attached = false;
    }
}

void abandon(RequestState& r, std::string_view reason) {
    detach(r);
    r.outcome = Outcome::abandoned;
    r.pending.clear();
    r.pendingOffset = 0;
    if (!reason.empty()) reportRequestFailure(r.address, reason);
}

// Ends the transfer with result. A failure is reported; the body bytes not
// read yet stay readable unless a limit was reached.
void finish(RequestState& r, CURLcode result) {
    detach(r);
    if ((r.flags & kFlagNoCookies) == 0) keepStoreWithinBounds();
    if (result == CURLE_OK) return;
    if (r.overLimit) {
        const std::int64_t limit = settings().bodyBytes;
        abandon(r,
                "the body is larger than " +
                    (limit % (std::int64_t{1024} * 1024) == 0 ? std::to_string(limit >> 20) + " MiB"
                                                              : std::to_string(limit) + " bytes") +
                    "; abandoned");
        return;
    }
    const std::string_view reason = r.error[0] != '\0' ? r.error : curl_easy_strerror(result);
    if (result == CURLE_TOO_MANY_REDIRECTS) {
        abandon(r, reason);
        return;
    }
    r.outcome = Outcome::cutShort;
    reportRequestFailure(r.address, reason);
}

// Whether the transfer may wait on: the deadline has not passed and the
// caller's whileWaiting has not given up. Otherwise it is abandoned.
bool mayWait(RequestState& r) {
    if (std::chrono::steady_clock::now() >= r.waiting.deadline) {
        char reason[80];
        std::snprintf(reason, sizeof reason, "no complete answer within %.1f s in all; abandoned",
                      static_cast<double>(settings().timeInAll.count()) / 1000.0);
        abandon(r, reason);
        return false;
    }
    if (r.waiting.whileWaiting && !r.waiting.whileWaiting()) {
        r.givenUp = true;
        abandon(r, {});
        return false;
    }
    return true;
}

// Drives the transfer until body bytes are waiting to be read or it is over.
void drive(RequestState& r) {
    while (!r.done && r.pendingOffset == r.pending.size()) {
        int running = 0;
        if (curl_multi_perform(r.multi.get(), &running) != CURLM_OK) {
            finish(r, CURLE_FAILED_INIT);
            break;
        }
        if (running == 0) {
            CURLcode result = CURLE_FAILED_INIT;
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(r.multi.get(), &left)) {
                if (message->msg == CURLMSG_DONE) result = message->data.result;
            }
            finish(r, result);
            break;
        }
        if (r.pendingOffset != r.pending.size()) break;
        if (!mayWait(r)) break;
        curl_multi_poll(r.multi.get(), nullptr, 0, kWaitSliceMs, nullptr);
    }
}

// Sets an option that security rests on; false, with the line written, when
// libcurl refuses it.
template <class Value>
bool setGuarded(RequestState& r, CURLoption option, const char* name, Value value) {
    const CURLcode result = curl_easy_setopt(r.easy.get(), option, value);
    if (result == CURLE_OK) return true;
    reportRequestFailure(
        r.address, std::string("libcurl refused ") + name + ": " + curl_easy_strerror(result));
    return false;
}

// Only http and https, from http to https only when the flags allow it and
// never from https back; certificates and host names verified.
bool setSecurityOptions(RequestState& r) {
    const bool secure = (r.flags & kFlagSecure) != 0;
    const char* redirects =
        secure ? "https" : ((r.flags & kFlagIgnoreRedirectToHttps) != 0 ? "http,https" : "http");
    const std::string& caFile = settings().caFile;
    return setGuarded(r, CURLOPT_PROTOCOLS_STR, "CURLOPT_PROTOCOLS_STR", "http,https") &&
           setGuarded(r, CURLOPT_REDIR_PROTOCOLS_STR, "CURLOPT_REDIR_PROTOCOLS_STR", redirects) &&
           setGuarded(r, CURLOPT_SSL_VERIFYPEER, "CURLOPT_SSL_VERIFYPEER", 1L) &&
           setGuarded(r, CURLOPT_SSL_VERIFYHOST, "CURLOPT_SSL_VERIFYHOST", 2L) &&
           (caFile.empty() || setGuarded(r, CURLOPT_CAINFO, "CURLOPT_CAINFO", caFile.c_str()));
}

void appendHeaderLine(RequestState& r, const char* line) {
    curl_slist* longer = curl_slist_append(r.headerList.get(), line);
    if (longer == nullptr) reportAllocationFailure(std::strlen(line) + sizeof(curl_slist));
    // The old list is the head of the longer one now, owned through it.
    static_cast<void>(r.headerList.release());
    r.headerList.reset(longer);
}

void setTransferOptions(RequestState& r, const Target& target) {
    CURL* easy = r.easy.get();
    const bool secure = (r.flags & kFlagSecure) != 0;
    const Settings& s = settings();
    // A header value ends at the first line break.
    const std::string agent(target.agent.substr(0, target.agent.find_first_of("\r\n")));
    // An empty proxy means direct, whatever the environment says.
    const std::string proxy = proxyFor(target.proxyList, secure ? "https" : "http");
    curl_easy_setopt(easy, CURLOPT_URL, r.address.c_str());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, (r.flags & kFlagNoAutoRedirect) ? 0L : 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, std::max(0L, r.waiting.redirects));
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    if ((r.flags & kFlagReload) != 0) {
        curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    }
    if ((r.flags & kFlagNoCookies) == 0) {
        curl_easy_setopt(easy, CURLOPT_SHARE, cookieShareHandle());
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    }
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(s.connectTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(s.idleTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, r.error);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &r);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &r);
    if (!proxy.empty()) {
        appendHeaderLine(r, "Proxy-Connection:");
    }
}

}  // namespace

Request openRequest(const Target& target, Waiting waiting) {
    const bool secure = (target.flags & kFlagSecure) != 0;
    const int port = target.port != 0 ? target.port : (secure ? 443 : 80);
    std::string address = std::string(secure ? "https://" : "http://") + std::string(target.host) +
                          ":" + std::to_string(port) + escapedObject(target.object);
    if (!libcurlReady()) {
        reportRequestFailure(target.url, "libcurl could not be initialised");
        return nullptr;
    }
    if (!isHostName(target.host) || target.port < 0 || target.port > 65535) {
        reportRequestFailure(target.url, "not a host name or address that can be connected to");
        return nullptr;
    }
    if (target.version != "HTTP/1.1" || target.verb.empty()) {
        reportRequestFailure(address, "unsupported verb or protocol version");
        return nullptr;
    }
    Request request(new RequestState);
    RequestState& r = *request;
    r.easy.reset(curl_easy_init());
    r.multi.reset(curl_multi_init());
    r.address = std::move(address);
    if (!r.easy || !r.multi) {
        reportRequestFailure(r.address, "libcurl gave no handle");
        return nullptr;
    }
    r.verb = std::string(target.verb);
    r.flags = target.flags;
    r.waiting = std::move(waiting);
    if (!setSecurityOptions(r)) return nullptr;
    setTransferOptions(r, target);
    return request;
}

bool sendRequest(const Request& request, std::string_view headers,
                 std::optional<std::string_view> body) {
    if (!request) return false;
    RequestState& r = *request;
    CURL* easy = r.easy.get();

    // The caller's lines, in order. libcurl's own Accept, Content-Type and
    // Expect lines are switched off unless the caller sends one.
    bool hasAccept = false;
    bool hasContentType = false;
    std::string_view rest = headers;
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        const std::string line(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 2);
        if (line.empty()) continue;
        hasAccept = hasAccept || hasHeaderNamed(line, "accept");
        hasContentType = hasContentType || hasHeaderNamed(line, "content-type");
        appendHeaderLine(r, line.c_str());
    }
    if (!hasAccept) appendHeaderLine(r, "Accept:");
    if (!hasContentType) appendHeaderLine(r, "Content-Type:");
    appendHeaderLine(r, "Expect:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, r.headerList.get());

    if (body) {
        // POST, or another verb with a body. A POST answered by 301, 302 or
        // 303 goes on as a GET without the body.
        if (r.verb == "POST") {
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
        } else {
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, r.verb.c_str());
        }
        // libcurl keeps its own copy: the transfer outlives this call.
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
        curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, body->empty() ? "" : body->data());
    } else if (r.verb == "GET") {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, r.verb.c_str());
    }

    // The exchange runs until the answer's body begins (or it ends); the
    // rest arrives as the body is read.
    if (curl_multi_add_handle(r.multi.get(), easy) != CURLM_OK) {
        finish(r, CURLE_OUT_OF_MEMORY);
        return false;
    }
    r.attached = true;
    drive(r);
    return r.outcome == Outcome::complete;
}

int readBlock(const Request& request, char* buffer, int capacity) {
    if (!request || capacity <= 0) return 0;
    RequestState& r = *request;
    if (!r.attached && !r.done) return 0;
    drive(r);
    const std::size_t left = r.pending.size() - r.pendingOffset;
    const std::size_t count = std::min(left, static_cast<std::size_t>(capacity));
    if (count == 0) return 0;
    std::memcpy(buffer, r.pending.data() + r.pendingOffset, count);
    r.pendingOffset += count;
    return static_cast<int>(count);
}

std::int64_t expectedBodyLength(const Request& request) {
    if (!request) return -1;
    curl_off_t length = -1;
    if (curl_easy_getinfo(request->easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) !=
        CURLE_OK) {
        return -1;
    }
    return length;
}

Outcome requestOutcome(const Request& request) {
    return request ? request->outcome : Outcome::abandoned;
}

bool givenUp(const Request& request) {
    return request && request->givenUp;
}

int redirectsFollowed(const Request& request) {
    long count = 0;
    if (!request ||
        curl_easy_getinfo(request->easy.get(), CURLINFO_REDIRECT_COUNT, &count) != CURLE_OK) {
        return 0;
    }
    return static_cast<int>(count);
}

bool queryRawHeaders(const Request& request, char* buffer, int capacity) {
    if (!request || capacity <= 0) return false;
    const RequestState& r = *request;
    if (!r.haveHeaders || r.headersTooLong ||
        r.rawHeaders.size() + 1 > static_cast<std::size_t>(capacity)) {
        return false;
    }
    std::memcpy(buffer, r.rawHeaders.data(), r.rawHeaders.size());
    buffer[r.rawHeaders.size()] = '\0';
    return true;
}

void setTimeoutsForTesting(std::chrono::milliseconds connect, std::chrono::seconds idle) {
    settings().connectTimeout = connect;
    settings().idleTimeout = idle;
}

void setLimitsForTesting(std::chrono::milliseconds inAll, std::int64_t bodyBytes) {
    settings().timeInAll = inAll;
    settings().bodyBytes = bodyBytes;
}

void setCaFileForTesting(std::string path) {
    settings().caFile = std::move(path);
}

void resetSettingsForTesting() {
    settings() = Settings{};
}

}  // namespace tovrel::net
