#include "scripted_server.h"

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
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

ScriptedServer::~ScriptedServer() {
    if (toServer_ != -1) close(toServer_);
    if (fromServer_ != -1) close(fromServer_);
    if (pid_ > 0) {
        // Closing its input ends the server; make sure of it.
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

bool ScriptedServer::start(const std::string& certFile, const std::string& keyFile) {
    int in[2];
    int out[2];
    if (pipe(in) != 0) return false;
    if (pipe(out) != 0) return false;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        if (certFile.empty()) {
            execlp("python3", "python3", TOVREL_SCRIPTED_SERVER, static_cast<char*>(nullptr));
        } else {
            execlp("python3", "python3", TOVREL_SCRIPTED_SERVER, certFile.c_str(), keyFile.c_str(),
                   static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toServer_ = in[1];
    fromServer_ = out[0];
    std::string line;
    if (!readLine(line, std::chrono::steady_clock::now() + std::chrono::seconds(15))) return false;
    std::istringstream words(line);
    std::string word;
    words >> word >> plainPort_ >> tlsPort_;
    return word == "ports" && plainPort_ > 0;
}

bool ScriptedServer::readLine(std::string& line, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() < 0) return false;
        pollfd waiting{fromServer_, POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(left.count())) <= 0) return false;
        char buffer[65536];
        const ssize_t count = read(fromServer_, buffer, sizeof buffer);
        if (count <= 0) return false;
        pending_.append(buffer, static_cast<std::size_t>(count));
    }
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
    const std::string text = line + "\n";
    if (write(toServer_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string reply;
    while (readLine(reply, deadline)) {
        if (reply == "ok") return true;
        keep(reply);
    }
    return false;
}

bool ScriptedServer::queue(std::string_view answer, After after) {
    // "-" stands for no bytes at all.
    const std::string hex = answer.empty() ? "-" : toHex(answer);
    return command("queue " + hex + (after == After::stall ? " stall" : " close"));
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
    std::string line;
    // Whatever has arrived, then more until enough are there or time is up.
    while (readLine(line, std::chrono::steady_clock::now())) keep(line);
    while (received_.size() < atLeast && readLine(line, deadline)) keep(line);
    std::vector<ReceivedRequest> taken;
    taken.swap(received_);
    return taken;
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
