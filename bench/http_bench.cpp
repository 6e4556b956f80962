// httpRequest fetching 1, 16 and 64 MiB bodies from a server on 127.0.0.1,
// beside `curl -s -o /dev/null` of the same addresses in the same run; and
// utf8ToAnsi on 16 MiB of Chinese UTF-8 beside the iconv command. The curl and
// iconv figures include starting the process; "curl startup" (an empty body)
// shows how much of them that is. A summary of the ratios follows the table.
#include <benchmark/benchmark.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/codepage.h"
#include "http/request.h"
#include "tests/support/child_process.h"

using namespace tovrel;

namespace {

constexpr std::size_t kMiB = 1024 * 1024;

// Serves GET /N with N bytes of 'a', one connection at a time.
class BodyServer {
  public:
    BodyServer() : body_(64 * kMiB, 'a') {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 16);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~BodyServer() {
        stopping_ = true;
        shutdown(listener_, SHUT_RDWR);
        thread_.join();
        close(listener_);
    }
    std::string address(std::size_t bytes) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + std::to_string(bytes);
    }

  private:
    void run() {
        while (!stopping_) {
            const int connection = accept(listener_, nullptr, nullptr);
            if (connection < 0) continue;
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t count = recv(connection, buffer, sizeof buffer, 0);
                if (count <= 0) break;
                request.append(buffer, static_cast<std::size_t>(count));
            }
            const std::size_t bytes = std::min<std::size_t>(
                std::strtoull(request.c_str() + 5, nullptr, 10), body_.size());
            const std::string head =
                "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                "Content-Length: " +
                std::to_string(bytes) + "\r\nConnection: close\r\n\r\n";
            sendAll(connection, head.data(), head.size());
            sendAll(connection, body_.data(), bytes);
            close(connection);
        }
    }
    static void sendAll(int connection, const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t sent = send(connection, data, size, MSG_NOSIGNAL);
            if (sent <= 0) return;
            data += sent;
            size -= static_cast<std::size_t>(sent);
        }
    }

    std::string body_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

BodyServer& server() {
    static BodyServer instance;
    return instance;
}

// Seconds per iteration, by benchmark name, for the summary.
std::map<std::string, double>& timings() {
    static std::map<std::string, double> table;
    return table;
}

template <class Body>
void timed(benchmark::State& state, const std::string& name, Body body) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) body();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    timings()[name] = took.count() / static_cast<double>(state.iterations());
}

// Runs a command with its standard output on /dev/null; false unless it
// exits with status 0.
bool runCommand(const std::vector<std::string>& words) {
    fakes::ChildProcess command(words, {.output = fakes::ChildProcess::Output::discarded});
    return command.wait() == 0;
}

void BM_HttpRequest(benchmark::State& state) {
    const std::size_t bytes = static_cast<std::size_t>(state.range(0)) * kMiB;
    const std::string url = server().address(bytes);
    timed(state, "httpRequest/" + std::to_string(state.range(0)), [&] {
        const ByteSet body = httpRequest({.url = url}).body;
        if (body.bytes.size() != bytes) state.SkipWithError("short body");
        benchmark::DoNotOptimize(body);
    });
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_CurlCommand(benchmark::State& state) {
    const std::size_t bytes = static_cast<std::size_t>(state.range(0)) * kMiB;
    const std::string url = server().address(bytes);
    timed(state, "curl/" + std::to_string(state.range(0)), [&] {
        if (!runCommand({"curl", "-s", "-o", "/dev/null", url})) state.SkipWithError("curl failed");
    });
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_CurlStartup(benchmark::State& state) {
    const std::string url = server().address(0);
    timed(state, "curl/0", [&] {
        if (!runCommand({"curl", "-s", "-o", "/dev/null", url})) state.SkipWithError("curl failed");
    });
}

// 16 MiB of Chinese text in UTF-8, with some ASCII markup between.
const std::string& chineseUtf8() {
    static const std::string text = [] {
        // 文件下载地址：网盘分享 (the file's download address: disk share)
        const std::string line =
            "<p>"
            "\xe6\x96\x87\xe4\xbb\xb6\xe4\xb8\x8b\xe8\xbd\xbd\xe5\x9c\xb0\xe5\x9d\x80\xef\xbc\x9a"
            "\xe7\xbd\x91\xe7\x9b\x98\xe5\x88\x86\xe4\xba\xab</p>\n";
        std::string all;
        all.reserve(16 * kMiB);
        while (all.size() + line.size() <= 16 * kMiB) all += line;
        return all;
    }();
    return text;
}

void BM_Utf8ToAnsi(benchmark::State& state) {
    const std::string& text = chineseUtf8();
    timed(state, "utf8ToAnsi", [&] { benchmark::DoNotOptimize(utf8ToAnsi(text)); });
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_IconvCommand(benchmark::State& state) {
    const std::string path = "/tmp/tovrel-http-bench-utf8.txt";
    std::ofstream(path, std::ios::binary) << chineseUtf8();
    timed(state, "iconv", [&] {
        if (!runCommand({"iconv", "-f", "UTF-8", "-t", "CP936", path})) {
            state.SkipWithError("iconv failed");
        }
    });
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * chineseUtf8().size()));
    std::remove(path.c_str());
}

BENCHMARK(BM_HttpRequest)->Arg(1)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlCommand)->Arg(1)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlStartup)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Utf8ToAnsi)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IconvCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    auto& t = timings();
    std::printf("\nthroughput of httpRequest against curl -s -o /dev/null (curl / ours, time):\n");
    for (const char* size : {"1", "16", "64"}) {
        const std::string ours = std::string("httpRequest/") + size;
        const std::string theirs = std::string("curl/") + size;
        if (t.count(ours) == 0 || t.count(theirs) == 0) continue;
        const double startup = t.count("curl/0") ? t["curl/0"] : 0.0;
        std::printf("  %2s MiB: %.2f  (curl without its process start: %.2f)\n", size,
                    t[theirs] / t[ours], (t[theirs] - startup) / t[ours]);
    }
    if (t.count("httpRequest/1") && t.count("httpRequest/64")) {
        std::printf("  growth 1 -> 64 MiB: %.1fx the time for 64x the bytes\n",
                    t["httpRequest/64"] / t["httpRequest/1"]);
    }
    if (t.count("utf8ToAnsi") && t.count("iconv")) {
        std::printf("utf8ToAnsi against the iconv command on 16 MiB (iconv / ours): %.2f\n",
                    t["iconv"] / t["utf8ToAnsi"]);
    }
    return 0;
}
