#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <thread>

extern char** environ;

namespace tovrel::fakes {

namespace {

void closeEnds(const int (&ends)[2]) {
    for (const int end : ends) {
        if (end != -1) close(end);
    }
}

// A write to a child that has ended fails (EPIPE) instead of ending this
// program with SIGPIPE, so that write() can say false. Process-wide, once.
void ignoreBrokenPipes() {
    static const bool ignored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    static_cast<void>(ignored);
}

// The child starts with SIGPIPE at its default, whatever this program does
// with it (ignoreBrokenPipes would otherwise pass on through exec).
void startWithDefaultSigpipe(posix_spawnattr_t& attributes) {
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, Options options) {
    if (argv.empty()) return;
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if (options.pipeInput && pipe2(in, O_CLOEXEC) != 0) return;
    if (options.output == Output::piped && pipe2(out, O_CLOEXEC) != 0) {
        closeEnds(in);
        return;
    }
    if (options.pipeInput) ignoreBrokenPipes();
    posix_spawnattr_t attributes;
    startWithDefaultSigpipe(attributes);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.pipeInput) posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    if (options.output == Output::piped) posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (options.output == Output::discarded) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    std::vector<char*> words;
    for (const std::string& word : argv) words.push_back(const_cast<char*>(word.c_str()));
    words.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, words[0], &actions, &attributes, words.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    for (const int end : {in[0], out[1]}) {
        if (end != -1) close(end);
    }
    input_ = in[1];
    output_ = out[0];
    if (rc == 0) pid_ = pid;
}

ChildProcess::~ChildProcess() {
    if (input_ != -1) close(input_);
    if (output_ != -1) close(output_);
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

bool ChildProcess::write(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = ::write(input_, text.data() + done, text.size() - done);
        if (count <= 0) return false;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

std::optional<std::string> ChildProcess::readLine(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() < 0 || output_ == -1) return std::nullopt;
        pollfd waiting{output_, POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
        char buffer[65536];
        const ssize_t count = read(output_, buffer, sizeof buffer);
        if (count <= 0) return std::nullopt;
        pending_.append(buffer, static_cast<std::size_t>(count));
    }
}

int ChildProcess::wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    const pid_t ended = waitpid(pid_, &status, 0);
    pid_ = -1;
    if (ended <= 0 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

int ChildProcess::portFromFile(const std::string& path,
                               std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        std::ifstream in(path);
        int port = 0;
        if (in >> port && port > 0) return port;
        if (std::chrono::steady_clock::now() >= deadline) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace tovrel::fakes
