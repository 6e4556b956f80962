// A child process for the tests and benchmarks that start a server or run a
// command: spawned from an argument vector, optionally with pipes to its
// standard input and from its standard output, terminated (SIGTERM) and
// reaped when the object goes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tovrel::fakes {

class ChildProcess {
  public:
    enum class Output { inherited, piped, discarded };
    struct Options {
        bool pipeInput = false;
        Output output = Output::inherited;
    };

    // Spawns argv (argv[0] looked up on PATH); running() tells whether it
    // started.
    ChildProcess(const std::vector<std::string>& argv, Options options);
    explicit ChildProcess(const std::vector<std::string>& argv) : ChildProcess(argv, Options{}) {}
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool running() const { return pid_ > 0; }

    // Writes all of text to its standard input; false when that fails, as it
    // does once the child has ended (SIGPIPE is ignored in this program
    // from the first child with piped input on).
    bool write(const std::string& text);
    // One line of its standard output (without the line end), waiting until
    // the deadline; nothing on timeout or at the end of its output.
    std::optional<std::string> readLine(std::chrono::steady_clock::time_point deadline);
    // Waits until it ends and gives its exit status (-1 when it was killed
    // by a signal or never started).
    int wait();

    // Waits until path holds a port number and gives it; 0 at the deadline.
    static int portFromFile(const std::string& path,
                            std::chrono::steady_clock::time_point deadline);

  private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string pending_;
};

}  // namespace tovrel::fakes
