// A small handle layer over libcurl, shaped like the operations the request
// routine is written against: open a session with an agent and an optional
// proxy list, connect to a host and port, open a request with a verb, an object
// path, a version and a flag word, send the header text and an optional body,
// read the body in blocks, query the raw response headers, close.
//
// Each handle closes itself when it goes out of scope; a null handle (a failed
// open) closes as a no-op, so every path closes exactly what it opened.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tovrel::net {

// The bits of the request flag word.
inline constexpr std::uint32_t kFlagReload = 0x80000000u;          // always from the network
inline constexpr std::uint32_t kFlagNeedFile = 0x00000010u;        // (no meaning here)
inline constexpr std::uint32_t kFlagNoCookies = 0x00080000u;       // keep the cookie store out
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000u;  // follow no redirect
inline constexpr std::uint32_t kFlagSecure = 0x00800000u;          // TLS
inline constexpr std::uint32_t kFlagIgnoreRedirectToHttps = 0x00004000u;  // http -> https allowed

struct SessionData;
struct ConnectionData;
struct RequestData;

class Session {
  public:
    Session();
    // Closes the handle now; it reads as null afterwards.
    void close();
    explicit Session(std::unique_ptr<SessionData> data);
    Session(Session&&) noexcept;
    Session& operator=(Session&&) noexcept;
    ~Session();
    explicit operator bool() const { return data_ != nullptr; }
    SessionData* data() const { return data_.get(); }

  private:
    std::unique_ptr<SessionData> data_;
};

class Connection {
  public:
    Connection();
    void close();
    explicit Connection(std::unique_ptr<ConnectionData> data);
    Connection(Connection&&) noexcept;
    Connection& operator=(Connection&&) noexcept;
    ~Connection();
    explicit operator bool() const { return data_ != nullptr; }
    ConnectionData* data() const { return data_.get(); }

  private:
    std::unique_ptr<ConnectionData> data_;
};

class Request {
  public:
    Request();
    void close();
    explicit Request(std::unique_ptr<RequestData> data);
    Request(Request&&) noexcept;
    Request& operator=(Request&&) noexcept;
    ~Request();
    explicit operator bool() const { return data_ != nullptr; }
    RequestData* data() const { return data_.get(); }

  private:
    std::unique_ptr<RequestData> data_;
};

// Writes the one line that tells why a request to address failed to standard
// error, or hands the two to the installed failure receiver instead.
void reportRequestFailure(std::string_view address, std::string_view reason);

// Receives every request failure in place of the standard error line: a front
// end that words its own messages installs one. nullptr restores the line.
// Returns the receiver installed before (nullptr for the line).
using RequestFailureReceiver = void (*)(std::string_view address, std::string_view reason);
RequestFailureReceiver setRequestFailureReceiver(RequestFailureReceiver receiver);

// A session with an agent string. proxyList absent: direct. Given: entries
// separated by blanks, each "scheme=host:port" (serving only that scheme's
// addresses) or "host:port" (serving all); a scheme without an entry goes
// direct. Null when libcurl cannot be set up. Failures of this and of
// connectTo are left to the caller to report.
Session openSession(std::string_view agent, const std::optional<std::string>& proxyList);

// A connection to host and port (0: the default port of the request's
// scheme). Null when the session is null or the host is not a host name or an
// IPv4 address. Nothing is sent until a request on it is sent.
Connection connectTo(const Session& session, std::string_view host, int port);

// A request on a connection. The version must be "HTTP/1.1". Null when the
// connection is null or libcurl gives no handle.
Request openRequest(const Connection& connection, std::string_view verb, std::string_view object,
                    std::string_view version, std::uint32_t flags);

// Sends the request: the header text (lines separated by CR LF) as its lines
// in its order, beside them only Host, Content-Length for a body and the
// cookie store's Cookie line; body absent: no body. Returns once the answer's
// body begins or the exchange is over. False on a failure, which is written as
// one line to standard error; the headers are then those received.
bool sendRequest(const Request& request, std::string_view headers,
                 std::optional<std::string_view> body);

// Copies up to capacity bytes of the body not read yet into buffer, waiting
// for them to arrive; 0 at the end of the body, on failure and for a request
// never sent.
int readBlock(const Request& request, char* buffer, int capacity);

// The answer's Content-Length, or -1 when it has none or is not known yet.
std::int64_t expectedBodyLength(const Request& request);

// Whether the exchange failed (at sending, or later while the body was read:
// a timeout, a broken connection, a refused redirect). The body read before
// the failure is then incomplete.
bool requestFailed(const Request& request);

// Writes the final response's header text (status line first, lines ended by
// CR LF, a blank line last) with a terminating zero into buffer when it fits
// in capacity bytes. False, with buffer untouched, when it does not fit or
// nothing was received.
bool queryRawHeaders(const Request& request, char* buffer, int capacity);

// Test-only settings: shorter timeouts than the 60 s to connect and 30 s
// without a received byte, and a CA bundle in place of the system's store.
// Reset to the defaults by resetSettingsForTesting.
void setTimeoutsForTesting(std::chrono::milliseconds connect, std::chrono::seconds idle);
void setCaFileForTesting(std::string path);
void resetSettingsForTesting();

}  // namespace tovrel::net
