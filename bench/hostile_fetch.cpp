// Whole-process figures for the request routine against a hostile server on
// 127.0.0.1 (tests/support/scripted_server.py): each Get's wall time, the cookie
// store's size after it, and the process's peak resident memory at the end.
//
//   hostile_fetch trickle      an answer that sends 10 bytes a second
//   hostile_fetch endless      an endless body
//   hostile_fetch flood [GETS] a 301 loop to itself setting 50 new cookies
//                              with every answer (10 Gets unless given)
//
// Run it under `timeout` (the trickle) or `ulimit -v` (the endless body) when
// the routine has no limits of its own.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "http/cookie_store.h"
#include "http/request.h"
#include "tests/support/child_process.h"

using namespace tovrel;
using fakes::ChildProcess;

namespace {

std::string toHex(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        hex.push_back(kHex[static_cast<unsigned char>(c) >> 4]);
        hex.push_back(kHex[static_cast<unsigned char>(c) & 0x0F]);
    }
    return hex;
}

// Sends one command to the server and waits for its "ok".
bool command(ChildProcess& server, const std::string& line) {
    if (!server.write(line + "\n")) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (const auto reply = server.readLine(deadline)) {
        if (*reply == "ok") return true;
    }
    return false;
}

std::string floodAnswer(const std::string& base, int number) {
    std::string lines;
    for (int i = 0; i < 50; ++i) {
        lines +=
            "Set-Cookie: c" + std::to_string(number) + "_" + std::to_string(i) + "=1; path=/\r\n";
    }
    return "HTTP/1.1 301 Moved Permanently\r\n" + lines + "Location: " + base +
           "/loop\r\nContent-Length: 0\r\n\r\n";
}

void get(const std::string& url, int number) {
    const auto started = std::chrono::steady_clock::now();
    const std::size_t bytes = httpRequest({.url = url}).body.bytes.size();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::printf("get %d: %.2f s, body %zu bytes, store %zu cookies\n", number, took.count(), bytes,
                listStoredCookies().size());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const int gets = argc > 2 ? std::atoi(argv[2]) : 10;
    ChildProcess server({"python3", TOVREL_SCRIPTED_SERVER},
                        {.pipeInput = true, .output = ChildProcess::Output::piped});
    const auto ports = server.readLine(std::chrono::steady_clock::now() + std::chrono::seconds(15));
    if (!ports) return 2;
    const std::string base = "http://127.0.0.1:" + ports->substr(6, ports->find(' ', 6) - 6);

    if (mode == "trickle") {
        const std::string body(100000, 't');
        command(server, "queue " +
                            toHex("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + body) +
                            " trickle");
        get(base + "/trickle", 1);
    } else if (mode == "endless") {
        command(server, "queue " + toHex("HTTP/1.1 200 OK\r\n\r\n") + " endless");
        get(base + "/endless", 1);
    } else if (mode == "flood") {
        int number = 0;
        for (int i = 1; i <= gets; ++i) {
            command(server, "reset");
            // Enough answers for 21 times libcurl's 20 automatic redirects.
            for (int j = 0; j < 441; ++j) {
                command(server, "queue " + toHex(floodAnswer(base, number++)) + " close");
            }
            get(base + "/loop", i);
        }
    } else {
        std::fprintf(stderr, "usage: hostile_fetch trickle|endless|flood [GETS]\n");
        return 2;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak RSS %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
