// Starts tests/support/scripted_server.py as a child process and talks to it over
// pipes: queue the bytes of the next answers, read back the exact bytes of the
// requests it received.
#pragma once

#include "tests/support/child_process.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tovrel::fakes {

struct ReceivedRequest {
    std::string kind;  // "plain" or "tls"
    std::string bytes;
};

class ScriptedServer {
  public:
    ScriptedServer() = default;
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    // Starts the server; with a certificate and key it serves TLS as well.
    bool start(const std::string& certFile = {}, const std::string& keyFile = {});
    int plainPort() const { return plainPort_; }
    int tlsPort() const { return tlsPort_; }

    enum class After { close, stall, trickle, endless };
    // The next request is answered with these bytes, then the connection is
    // closed, or kept open without another byte (stall); or with the bytes
    // one at a time, 10 a second, and then kept open (trickle); or with the
    // bytes followed by an endless body of "z" (endless).
    bool queue(std::string_view answer, After after = After::close);
    // The next request is read and never answered.
    bool queueHang();
    // Forgets queued answers and received requests.
    bool reset();
    // The requests received since the last call, waiting up to the deadline
    // for at least atLeast of them.
    std::vector<ReceivedRequest> takeRequests(
        std::size_t atLeast = 0, std::chrono::milliseconds wait = std::chrono::milliseconds(5000));

  private:
    bool command(const std::string& line);
    void keep(const std::string& line);

    std::unique_ptr<ChildProcess> process_;
    std::vector<ReceivedRequest> received_;
    int plainPort_ = 0;
    int tlsPort_ = 0;
};

// A 301 answer to location that sets 50 new cookies, c<number>_0=1 to
// c<number>_49=1 (path /), with an empty body: one answer of a cookie flood.
std::string cookieFloodAnswer(std::string_view location, int number);

// Makes a test CA and a server certificate for 127.0.0.1 and localhost in
// directory with openssl. Files: ca.pem, server.pem, server.key.
bool makeTestCertificates(const std::string& directory);

// An address on 127.0.0.1 that refuses connections: a port bound and released.
int refusedPort();

}  // namespace tovrel::fakes
