// A small handle layer over libcurl, shaped like the operations the request
// routine is written against: open a request (agent, optional proxy list,
// host and port, verb, object path, version and flag word), send the header
// text and an optional body, read the body in blocks, query the raw response
// headers. One handle holds the whole exchange and closes itself (with every
// libcurl handle it holds) when it goes out of scope; a null handle (a failed
// open) closes as a no-op.
//
// Limits that hold for every exchange: a connection within 60 s, no 30 s
// without a received byte, 128 MiB of body at most, and the caller's deadline
// (the routine gives each call 120 s in all).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
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

// The most redirects one call of the request routine follows, libcurl's
// automatic ones and the routine's own together.
inline constexpr int kMaxRedirects = 20;

struct RequestState;
struct RequestClose {
    void operator()(RequestState* state) const;
};
// The one handle: null when the request could not be opened.
using Request = std::unique_ptr<RequestState, RequestClose>;

// Sets libcurl up for the process, once; false when it cannot be.
bool libcurlReady();

// Writes the one line that tells why a request to address failed to standard
// error, or hands the two to the installed failure receiver instead.
void reportRequestFailure(std::string_view address, std::string_view reason);

// Receives every request failure in place of the standard error line: a front
// end that words its own messages installs one. nullptr restores the line.
// Returns the receiver installed before (nullptr for the line).
using RequestFailureReceiver = void (*)(std::string_view address, std::string_view reason);
RequestFailureReceiver setRequestFailureReceiver(RequestFailureReceiver receiver);

// What the request is opened with. proxyList absent: direct. Given: entries
// separated by blanks, each "scheme=host:port" (serving only that scheme's
// addresses) or "host:port" (serving all); a scheme without an entry goes
// direct. port 0: the default port of the scheme.
struct Target {
    // The address as the caller wrote it, for the line that tells why it
    // cannot be opened.
    std::string_view url{};
    std::string_view agent{};
    const std::optional<std::string>& proxyList;
    std::string_view host{};
    int port = 0;
    std::string_view verb{};
    std::string_view object{};
    std::string_view version{};
    std::uint32_t flags = 0;
};

// How the exchange waits: until the deadline at the latest, with at most
// redirects automatic redirects; whileWaiting (when set) is called at least
// every 50 ms while nothing arrives, and its false abandons the request.
struct Waiting {
    std::chrono::steady_clock::time_point deadline{};
    long redirects = kMaxRedirects;
    std::function<bool()> whileWaiting{};
};

// A request for target. Null, with one line on standard error, when libcurl
// cannot be set up, the host is not a host name or IPv4 address, the port is
// out of range or the verb or version is not one that is sent. Nothing is sent
// until the request is sent.
Request openRequest(const Target& target, Waiting waiting);

// Sends the request: the header text (lines separated by CR LF) as its lines
// in its order, beside them only Host, Content-Length for a body and the
// cookie store's Cookie line; body absent: no body. Returns once the answer's
// body begins or the exchange is over. False on a failure, which is written as
// one line to standard error; the headers are then those received. A setting
// that security rests on (the allowed protocols, TLS verification) that
// libcurl refuses fails the request before anything is sent.
bool sendRequest(const Request& request, std::string_view headers,
                 std::optional<std::string_view> body);

// Copies up to capacity bytes of the body not read yet into buffer, waiting
// for them to arrive; 0 at the end of the body, on failure and for a request
// never sent.
int readBlock(const Request& request, char* buffer, int capacity);

// The answer's Content-Length, or -1 when it has none or is not known yet.
std::int64_t expectedBodyLength(const Request& request);

enum class Outcome {
    complete,   // the whole answer arrived
    cutShort,   // it failed part-way (a broken connection, a stall, fewer bytes
                // than announced): the body read is what arrived
    abandoned,  // a limit was reached (time, body size, redirects) or the wait
                // was given up: the body counts for nothing
};
Outcome requestOutcome(const Request& request);

// Whether the wait was given up by whileWaiting (no line was written then).
bool givenUp(const Request& request);

// The automatic redirects libcurl followed.
int redirectsFollowed(const Request& request);

// Writes the final response's header text (status line first, lines ended by
// CR LF, a blank line last) with a terminating zero into buffer when it fits
// in capacity bytes. False, with buffer untouched, when it does not fit or
// nothing was received.
bool queryRawHeaders(const Request& request, char* buffer, int capacity);

// The most body bytes an exchange accepts.
std::int64_t mostBodyBytes();
// The time one call of the request routine may take in all.
std::chrono::milliseconds mostTimeInAll();

// Test-only settings: shorter timeouts than the 60 s to connect and 30 s
// without a received byte, a shorter time in all than 120 s, a smaller body
// than 128 MiB, and a CA bundle in place of the system's store. Reset to the
// shipped values by resetSettingsForTesting.
void setTimeoutsForTesting(std::chrono::milliseconds connect, std::chrono::seconds idle);
void setLimitsForTesting(std::chrono::milliseconds inAll, std::int64_t bodyBytes);
void setCaFileForTesting(std::string path);
void resetSettingsForTesting();

}  // namespace tovrel::net
