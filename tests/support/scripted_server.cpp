#include "tests/support/scripted_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace tovrel::fakes {

namespace {

std::string toHex(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        hex.push_back(kHex[static_cast<unsigned char>(c) >> 4]);
        hex.push_back(kHex[static_cast<unsigned char>(c) & 0x0F]);
    }
    return hex;
}

std::string fromHex(std::string_view hex) {
    auto value = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(value(hex[i]) * 16 + value(hex[i + 1])));
    }
    return bytes;
}

}  // namespace

bool ScriptedServer::start(const std::string& certFile, const std::string& keyFile) {
    std::vector<std::string> argv = {"python3", TOVREL_SCRIPTED_SERVER};
    if (!certFile.empty()) {
        argv.push_back(certFile);
        argv.push_back(keyFile);
    }
    process_ = std::make_unique<ChildProcess>(
        argv, ChildProcess::Options{.pipeInput = true, .output = ChildProcess::Output::piped});
    if (!process_->running()) return false;
    const auto line =
        process_->readLine(std::chrono::steady_clock::now() + std::chrono::seconds(15));
    if (!line) return false;
    std::istringstream words(*line);
    std::string word;
    words >> word >> plainPort_ >> tlsPort_;
    return word == "ports" && plainPort_ > 0;
}

void ScriptedServer::keep(const std::string& line) {
    std::istringstream words(line);
    std::string word;
    ReceivedRequest request;
    std::string hex;
    words >> word >> request.kind >> hex;
    if (word != "request") return;
    request.bytes = fromHex(hex);
    received_.push_back(std::move(request));
}

bool ScriptedServer::command(const std::string& line) {
    if (!process_->write(line + "\n")) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (const auto reply = process_->readLine(deadline)) {
        if (*reply == "ok") return true;
        keep(*reply);
    }
    return false;
}

bool ScriptedServer::queue(std::string_view answer, After after) {
    // "-" stands for no bytes at all.
    const std::string hex = answer.empty() ? "-" : toHex(answer);
    static constexpr const char* kModes[] = {" close", " stall", " trickle", " endless"};
    return command("queue " + hex + kModes[static_cast<int>(after)]);
}

bool ScriptedServer::queueHang() {
    return command("queue - hang");
}

bool ScriptedServer::reset() {
    const bool ok = command("reset");
    takeRequests(0, std::chrono::milliseconds(0));
    received_.clear();
    return ok;
}

std::vector<ReceivedRequest> ScriptedServer::takeRequests(std::size_t atLeast,
                                                          std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    // Whatever has arrived, then more until enough are there or time is up.
    while (const auto line = process_->readLine(std::chrono::steady_clock::now())) keep(*line);
    while (received_.size() < atLeast) {
        const auto line = process_->readLine(deadline);
        if (!line) break;
        keep(*line);
    }
    std::vector<ReceivedRequest> taken;
    taken.swap(received_);
    return taken;
}

std::string cookieFloodAnswer(std::string_view location, int number) {
    std::string lines;
    for (int i = 0; i < 50; ++i) {
        lines +=
            "Set-Cookie: c" + std::to_string(number) + "_" + std::to_string(i) + "=1; path=/\r\n";
    }
    return "HTTP/1.1 301 Moved Permanently\r\n" + lines + "Location: " + std::string(location) +
           "\r\nContent-Length: 0\r\n\r\n";
}

bool makeTestCertificates(const std::string& directory) {
    const std::string d = "'" + directory + "'";
    const std::string script =
        "cd " + d +
        " && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
        " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Tovrel test CA'"
        " -addext 'basicConstraints=critical,CA:TRUE' -addext 'keyUsage=keyCertSign,cRLSign'"
        " && openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
        " -keyout server.key -out server.csr -subj '/CN=127.0.0.1'"
        " && printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\n' > server.ext"
        " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
        " -out server.pem -days 2 -extfile server.ext";
    return std::system((script + " >/dev/null 2>&1").c_str()) == 0;
}

int refusedPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    close(s);
    return ntohs(address.sin_port);
}

}  // namespace tovrel::fakes
