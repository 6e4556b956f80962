#include "http/platform.h"

#include "http/cookie_store.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tovrel::net {

namespace {

constexpr std::chrono::milliseconds kConnectTimeout{60000};
constexpr std::chrono::seconds kIdleTimeout{30};
constexpr long kMaxAutomaticRedirects = 20;

struct Settings {
    std::chrono::milliseconds connectTimeout = kConnectTimeout;
    std::chrono::seconds idleTimeout = kIdleTimeout;
    std::string caFile;
};

Settings& settings() {
    static Settings current;
    return current;
}

bool globalInit() {
    static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ok;
}

}  // namespace

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
    std::fprintf(stderr, "tovrel: request for %.*s failed: %.*s\n",
                 static_cast<int>(address.size()), address.data(), static_cast<int>(reason.size()),
                 reason.data());
}

namespace {

// A host name or IPv4 address, already lower-cased by the caller.
bool validHost(std::string_view host) {
    if (host.empty() || host.size() > 253) return false;
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    });
}

// The object path as libcurl's address parser accepts it: controls, blanks
// and bytes from 0x7F up are percent-encoded, which a server decodes back to
// the same bytes.
std::string escapedObject(std::string_view object) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(object.size() + 1);
    if (object.empty() || object.front() != '/') out.push_back('/');
    for (const char c : object) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
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

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != prefix[i]) return false;
    }
    return true;
}

bool hasHeaderNamed(std::string_view line, std::string_view lowerName) {
    return startsWithIgnoringCase(line, lowerName) && line.size() > lowerName.size() &&
           line[lowerName.size()] == ':';
}

}  // namespace

struct SessionData {
    std::string agent;
    std::optional<std::string> proxyList;
};

struct ConnectionData {
    std::string agent;
    std::optional<std::string> proxyList;
    std::string host;
    int port = 0;
};

struct RequestData {
    ~RequestData() {
        if (multi != nullptr && easy != nullptr && attached) curl_multi_remove_handle(multi, easy);
        if (easy != nullptr) curl_easy_cleanup(easy);
        if (multi != nullptr) curl_multi_cleanup(multi);
        if (headerList != nullptr) curl_slist_free_all(headerList);
    }

    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    bool attached = false;
    curl_slist* headerList = nullptr;
    std::string agent;
    std::optional<std::string> proxyList;
    std::string address;
    std::string verb;
    std::uint32_t flags = 0;
    bool done = false;
    bool failed = false;
    // Body bytes received and not read yet; the transfer is driven only
    // while this is empty, so it holds at most what one step delivers.
    std::string pending;
    std::size_t pendingOffset = 0;
    std::string rawHeaders;
    bool haveHeaders = false;
    char error[CURL_ERROR_SIZE] = {};
};

Session::Session(std::unique_ptr<SessionData> data) : data_(std::move(data)) {}
Session::Session(Session&&) noexcept = default;
Session& Session::operator=(Session&&) noexcept = default;
Session::~Session() = default;
Session::Session() = default;
void Session::close() {
    data_.reset();
}
Connection::Connection(std::unique_ptr<ConnectionData> data) : data_(std::move(data)) {}
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;
Connection::~Connection() = default;
Connection::Connection() = default;
void Connection::close() {
    data_.reset();
}
Request::Request(std::unique_ptr<RequestData> data) : data_(std::move(data)) {}
Request::Request(Request&&) noexcept = default;
Request& Request::operator=(Request&&) noexcept = default;
Request::~Request() = default;
Request::Request() = default;
void Request::close() {
    data_.reset();
}

Session openSession(std::string_view agent, const std::optional<std::string>& proxyList) {
    if (!globalInit()) {
        return {};
    }
    auto data = std::make_unique<SessionData>();
    // A header value ends at the first line break.
    data->agent = std::string(agent.substr(0, agent.find_first_of("\r\n")));
    data->proxyList = proxyList;
    return Session(std::move(data));
}

Connection connectTo(const Session& session, std::string_view host, int port) {
    if (!session) return {};
    if (!validHost(host) || port < 0 || port > 65535) return {};
    auto data = std::make_unique<ConnectionData>();
    data->agent = session.data()->agent;
    data->proxyList = session.data()->proxyList;
    data->host = std::string(host);
    data->port = port;
    return Connection(std::move(data));
}

Request openRequest(const Connection& connection, std::string_view verb, std::string_view object,
                    std::string_view version, std::uint32_t flags) {
    if (!connection) return {};
    const ConnectionData& c = *connection.data();
    const bool secure = (flags & kFlagSecure) != 0;
    const int port = c.port != 0 ? c.port : (secure ? 443 : 80);
    std::string address = std::string(secure ? "https://" : "http://") + c.host + ":" +
                          std::to_string(port) + escapedObject(object);
    if (version != "HTTP/1.1" || verb.empty()) {
        reportRequestFailure(address, "unsupported verb or protocol version");
        return {};
    }
    auto data = std::make_unique<RequestData>();
    data->easy = curl_easy_init();
    if (data->easy == nullptr) {
        reportRequestFailure(address, "libcurl gave no handle");
        return {};
    }
    data->agent = c.agent;
    data->proxyList = c.proxyList;
    data->address = std::move(address);
    data->verb = std::string(verb);
    data->flags = flags;
    return Request(std::move(data));
}

namespace {

std::size_t onBody(char* bytes, std::size_t size, std::size_t count, void* user) {
    auto* data = static_cast<RequestData*>(user);
    if (data->pendingOffset == data->pending.size()) {
        data->pending.clear();
        data->pendingOffset = 0;
    }
    data->pending.append(bytes, size * count);
    return size * count;
}

// Keeps the headers of the latest response only (an automatic redirect or an
// interim 1xx answer starts a new set), each line ended by CR LF.
std::size_t onHeader(char* bytes, std::size_t size, std::size_t count, void* user) {
    auto* data = static_cast<RequestData*>(user);
    std::string_view line(bytes, size * count);
    if (line.substr(0, 5) == "HTTP/") data->rawHeaders.clear();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    data->rawHeaders.append(line);
    data->rawHeaders.append("\r\n");
    data->haveHeaders = true;
    return size * count;
}

// Ends the transfer with result; a failure drops what was not read yet and
// is reported.
void finish(RequestData& r, CURLcode result) {
    r.done = true;
    if (r.attached) {
        curl_multi_remove_handle(r.multi, r.easy);
        r.attached = false;
    }
    if (result == CURLE_OK) return;
    r.failed = true;
    r.pending.clear();
    r.pending.shrink_to_fit();
    r.pendingOffset = 0;
    reportRequestFailure(r.address, r.error[0] != '\0' ? r.error : curl_easy_strerror(result));
}

// Drives the transfer until body bytes are waiting to be read or it is over.
void drive(RequestData& r) {
    while (!r.done && r.pendingOffset == r.pending.size()) {
        int running = 0;
        if (curl_multi_perform(r.multi, &running) != CURLM_OK) {
            finish(r, CURLE_FAILED_INIT);
            break;
        }
        if (running == 0) {
            CURLcode result = CURLE_FAILED_INIT;
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(r.multi, &left)) {
                if (message->msg == CURLMSG_DONE) result = message->data.result;
            }
            finish(r, result);
            break;
        }
        if (r.pendingOffset != r.pending.size()) break;
        curl_multi_poll(r.multi, nullptr, 0, 1000, nullptr);
    }
}

}  // namespace

bool sendRequest(const Request& request, std::string_view headers,
                 std::optional<std::string_view> body) {
    if (!request) return false;
    RequestData& r = *request.data();
    CURL* easy = r.easy;
    const bool secure = (r.flags & kFlagSecure) != 0;
    const bool follow = (r.flags & kFlagNoAutoRedirect) == 0;
    const Settings& s = settings();

    curl_easy_setopt(easy, CURLOPT_URL, r.address.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // From http to https only when the flag allows it; never from https back.
    curl_easy_setopt(
        easy, CURLOPT_REDIR_PROTOCOLS_STR,
        secure ? "https" : ((r.flags & kFlagIgnoreRedirectToHttps) != 0 ? "http,https" : "http"));
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxAutomaticRedirects);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    if ((r.flags & kFlagReload) != 0) {
        curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    }
    curl_easy_setopt(easy, CURLOPT_USERAGENT, r.agent.c_str());
    // An empty proxy means direct, whatever the environment says.
    const std::string proxy = proxyFor(r.proxyList, secure ? "https" : "http");
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
    if ((r.flags & kFlagNoCookies) == 0) {
        curl_easy_setopt(easy, CURLOPT_SHARE, tovrel::net::cookieShareHandle());
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    }
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(s.connectTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(s.idleTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!s.caFile.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, s.caFile.c_str());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, r.error);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &r);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &r);

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
        r.headerList = curl_slist_append(r.headerList, line.c_str());
    }
    if (!hasAccept) r.headerList = curl_slist_append(r.headerList, "Accept:");
    if (!hasContentType) r.headerList = curl_slist_append(r.headerList, "Content-Type:");
    r.headerList = curl_slist_append(r.headerList, "Expect:");
    if (!proxy.empty()) r.headerList = curl_slist_append(r.headerList, "Proxy-Connection:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, r.headerList);

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
    r.multi = curl_multi_init();
    if (r.multi == nullptr || curl_multi_add_handle(r.multi, easy) != CURLM_OK) {
        finish(r, CURLE_OUT_OF_MEMORY);
        return false;
    }
    r.attached = true;
    drive(r);
    return !r.failed;
}

int readBlock(const Request& request, char* buffer, int capacity) {
    if (!request || capacity <= 0) return 0;
    RequestData& r = *request.data();
    if (r.multi == nullptr) return 0;
    drive(r);
    const std::size_t left = r.pending.size() - r.pendingOffset;
    const std::size_t count = std::min(left, static_cast<std::size_t>(capacity));
    if (count == 0) return 0;
    std::memcpy(buffer, r.pending.data() + r.pendingOffset, count);
    r.pendingOffset += count;
    return static_cast<int>(count);
}

std::int64_t expectedBodyLength(const Request& request) {
    if (!request || request.data()->easy == nullptr) return -1;
    curl_off_t length = -1;
    if (curl_easy_getinfo(request.data()->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) !=
        CURLE_OK) {
        return -1;
    }
    return length;
}

bool requestFailed(const Request& request) {
    return request && request.data()->failed;
}

bool queryRawHeaders(const Request& request, char* buffer, int capacity) {
    if (!request || capacity <= 0) return false;
    const RequestData& r = *request.data();
    if (!r.haveHeaders || r.rawHeaders.size() + 1 > static_cast<std::size_t>(capacity)) {
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

void setCaFileForTesting(std::string path) {
    settings().caFile = std::move(path);
}

void resetSettingsForTesting() {
    settings() = Settings{};
}

}  // namespace tovrel::net
