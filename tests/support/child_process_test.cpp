#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace tovrel::fakes {
namespace {

const auto kPatience = std::chrono::seconds(10);

// A child that has ended no longer reads its input: writing to it is a
// failed call, not SIGPIPE ending the test program.
TEST(ChildProcessTest, WritingToAnEndedChildFails) {
    ChildProcess child({"true"}, {.pipeInput = true});
    ASSERT_TRUE(child.running());
    ASSERT_EQ(child.wait(), 0);
    EXPECT_FALSE(child.write("a line\n"));
    EXPECT_FALSE(child.write(std::string(1 << 20, 'x')));
}

// This program ignores SIGPIPE from the first child with piped input on;
// its children still start with SIGPIPE at its default.
TEST(ChildProcessTest, ChildrenStartWithSigpipeAtItsDefault) {
    ChildProcess child({"grep", "^SigIgn:", "/proc/self/status"},
                       {.pipeInput = true, .output = ChildProcess::Output::piped});
    ASSERT_TRUE(child.running());
    struct sigaction here {};
    ASSERT_EQ(sigaction(SIGPIPE, nullptr, &here), 0);
    ASSERT_EQ(here.sa_handler, SIG_IGN);
    const auto line = child.readLine(std::chrono::steady_clock::now() + kPatience);
    ASSERT_TRUE(line.has_value());
    const unsigned long long ignored = std::stoull(line->substr(line->find('\t') + 1), nullptr, 16);
    EXPECT_EQ(ignored & (1ULL << (SIGPIPE - 1)), 0U) << *line;
    EXPECT_EQ(child.wait(), 0);
}

}  // namespace
}  // namespace tovrel::fakes
