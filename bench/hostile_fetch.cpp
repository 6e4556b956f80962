// Whole-process figures for the request routine against a hostile server on
// 127.0.0.1 (tests/support/scripted_server.py), each beside a baseline: the
// same routine against a well-behaved counterpart (a body of the same size, a
// 301 chain as long). Printed: each Get's wall time, its body's size and the
// cookie store's size after it, and the process's peak resident memory at the
// end. One case a process, so that the peak is that case's own;
// bench/hostile_fetch.sh runs each hostile case right after its baseline.
//
//   hostile_fetch prompt        baseline: 100000 bytes of body sent at once
//   hostile_fetch trickle       the same answer at 10 bytes a second; the
//                               routine gives up after 120 s in all
//   hostile_fetch sized         baseline: a body of the body limit (128 MiB)
//                               that says its length
//   hostile_fetch endless       an endless body; given up past the limit
//   hostile_fetch chain [GETS]  baseline: 20 redirects (301), then the answer
//   hostile_fetch flood [GETS]  a 301 loop to itself setting 50 new cookies
//                               with every answer; given up after 21 requests
//                               (20 redirects), the store kept bounded
//
// chain and flood make GETS Gets one after another (10 unless given).
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/cookie_store.h"
#include "http/platform.h"
#include "http/request.h"
#include "tests/support/scripted_server.h"

using namespace tovrel;
using fakes::ScriptedServer;
using After = ScriptedServer::After;

namespace {

struct Run {
    ScriptedServer& server;
    std::string base;  // http://127.0.0.1:PORT
    int gets;
};

void get(const std::string& url, int number) {
    const auto started = std::chrono::steady_clock::now();
    const std::size_t bytes = httpRequest({.url = url}).body.bytes.size();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::printf("get %d: %.2f s, body %zu bytes, store %zu cookies\n", number, took.count(), bytes,
                listStoredCookies().size());
    std::fflush(stdout);
}

std::string answerOf100000Bytes() {
    return "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(100000, 't');
}

bool prompt(const Run& run) {
    if (!run.server.queue(answerOf100000Bytes())) return false;
    get(run.base + "/prompt", 1);
    return true;
}

bool trickle(const Run& run) {
    if (!run.server.queue(answerOf100000Bytes(), After::trickle)) return false;
    get(run.base + "/trickle", 1);
    return true;
}

// The server sends its "z" bytes after the head for as long as it is read;
// the routine reads the announced length and ends the connection.
bool sized(const Run& run) {
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(net::mostBodyBytes()) + "\r\n\r\n";
    if (!run.server.queue(head, After::endless)) return false;
    get(run.base + "/sized", 1);
    return true;
}

bool endless(const Run& run) {
    if (!run.server.queue("HTTP/1.1 200 OK\r\n\r\n", After::endless)) return false;
    get(run.base + "/endless", 1);
    return true;
}

// Gets answered with the answers of next(0) to next(count - 1), each Get
// after the server has forgotten what the last one left.
template <typename Next>
bool getsAnsweredBy(const Run& run, const std::string& path, int count, Next next) {
    for (int i = 1; i <= run.gets; ++i) {
        if (!run.server.reset()) return false;
        for (int j = 0; j < count; ++j) {
            if (!run.server.queue(next(j))) return false;
        }
        get(run.base + path, i);
    }
    return true;
}

bool chain(const Run& run) {
    return getsAnsweredBy(run, "/c0", net::kMaxRedirects + 1, [&](int j) -> std::string {
        if (j == net::kMaxRedirects) return "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nend";
        return "HTTP/1.1 301 Moved Permanently\r\nLocation: " + run.base + "/c" +
               std::to_string(j + 1) + "\r\nContent-Length: 0\r\n\r\n";
    });
}

// The routine sends at most 21 requests a Get, so 21 answers are all it uses.
bool flood(const Run& run) {
    int number = 0;
    return getsAnsweredBy(run, "/loop", net::kMaxRedirects + 1, [&](int) {
        return fakes::cookieFloodAnswer(run.base + "/loop", number++);
    });
}

struct Case {
    std::string_view name;
    bool (*run)(const Run&);
};

constexpr Case kCases[] = {{"prompt", prompt},   {"trickle", trickle}, {"sized", sized},
                           {"endless", endless}, {"chain", chain},     {"flood", flood}};

}  // namespace

int main(int argc, char** argv) {
    const std::string_view name = argc > 1 ? argv[1] : "";
    const int gets = argc > 2 ? std::atoi(argv[2]) : 10;
    const Case* chosen = nullptr;
    for (const Case& c : kCases) {
        if (c.name == name) chosen = &c;
    }
    if (chosen == nullptr || gets < 1) {
        std::fprintf(stderr,
                     "usage: hostile_fetch prompt|trickle|sized|endless|chain|flood [GETS]\n");
        return 2;
    }
    ScriptedServer server;
    if (!server.start()) {
        std::fprintf(stderr, "hostile_fetch: the scripted server did not start\n");
        return 2;
    }
    if (!chosen->run({server, "http://127.0.0.1:" + std::to_string(server.plainPort()), gets})) {
        std::fprintf(stderr, "hostile_fetch: the scripted server did not take an answer\n");
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak RSS %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
