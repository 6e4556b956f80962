// The window program's command line, read without Qt or a display.
#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "links/exchange.h"

namespace tovrel {
namespace {

// Everything written to a temporary file.
std::string contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

struct Outcome {
    CommandLineOutcome outcome;
    std::string out;
    std::string err;
    std::string serviceAddress;  // serviceBaseAddress() afterwards
};

Outcome readArgs(std::vector<const char*> args) {
    args.insert(args.begin(), "tovrel");
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Outcome result;
    result.outcome = readCommandLine(static_cast<int>(args.size()), args.data(), out, err);
    result.out = contents(out);
    result.err = contents(err);
    result.serviceAddress = serviceBaseAddress();
    std::fclose(out);
    std::fclose(err);
    setServiceHost("");
    return result;
}

constexpr const char* kBuiltIn = "";  // stands for the built-in address

struct Row {
    std::vector<const char*> args;
    bool openWindow;
    int exitStatus;
    const char* outStart;  // what standard output starts with ("" = empty)
    const char* errStart;  // what standard error starts with ("" = empty)
    const char* serviceAddress;
};

TEST(CommandLine, Table) {
    const std::string builtIn = serviceBaseAddress();
    const std::string version = std::string("tovrel ") + TOVREL_PROJECT_VERSION + "\n";
    const Row rows[] = {
        {{}, true, 0, "", "", kBuiltIn},
        {{"--version"}, false, 0, version.c_str(), "", kBuiltIn},
        {{"--help"}, false, 0, "usage: tovrel [--service-host HOST[:PORT]]\n", "", kBuiltIn},
        // Options are read in order; the first that ends the program wins.
        {{"--service-host", "127.0.0.1:8080", "--version"},
         false,
         0,
         version.c_str(),
         "",
         "http://127.0.0.1:8080"},
        {{"--service-host", "127.0.0.1:8080"}, true, 0, "", "", "http://127.0.0.1:8080"},
        {{"--service-host=share.example.com"}, true, 0, "", "", "http://share.example.com"},
        {{"--service-host"}, false, 2, "", "tovrel: --service-host needs", kBuiltIn},
        {{"--service-host", ""}, false, 2, "", "tovrel: not a host", kBuiltIn},
        {{"--service-host="}, false, 2, "", "tovrel: not a host", kBuiltIn},
        {{"--service-host", "host:70000"}, false, 2, "", "tovrel: not a host", kBuiltIn},
        {{"--service-host", "a b"}, false, 2, "", "tovrel: not a host", kBuiltIn},
        {{"--service-hostx"}, false, 2, "", "tovrel: unknown argument '--service-hostx'", kBuiltIn},
        {{"--bogus"}, false, 2, "", "tovrel: unknown argument '--bogus'", kBuiltIn},
        // Qt's own options are not the program's.
        {{"-platform", "offscreen"},
         false,
         2,
         "",
         "tovrel: unknown argument '-platform'",
         kBuiltIn},
        {{"http://127.0.0.1/s/x"}, false, 2, "", "tovrel: unknown argument", kBuiltIn},
    };
    for (const Row& row : rows) {
        std::string name;
        for (const char* arg : row.args) name += std::string(" ") + arg;
        SCOPED_TRACE("tovrel" + name);
        const Outcome got = readArgs(row.args);
        EXPECT_EQ(got.outcome.openWindow, row.openWindow);
        EXPECT_EQ(got.outcome.exitStatus, row.exitStatus);
        EXPECT_EQ(got.out.rfind(row.outStart, 0), 0u) << got.out;
        EXPECT_EQ(got.err.rfind(row.errStart, 0), 0u) << got.err;
        EXPECT_EQ(got.out.empty(), *row.outStart == '\0') << got.out;
        EXPECT_EQ(got.err.empty(), *row.errStart == '\0') << got.err;
        // A usage error also shows the usage.
        if (row.exitStatus == 2) {
            EXPECT_NE(got.err.find("\nusage: tovrel "), std::string::npos);
        }
        const std::string address = *row.serviceAddress ? row.serviceAddress : builtIn;
        EXPECT_EQ(got.serviceAddress, address);
    }
}

// The help names the host built in, even after a --service-host before it.
TEST(CommandLine, HelpNamesTheBuiltInHost) {
    const std::string builtIn = serviceBaseAddress();
    for (const std::vector<const char*>& args :
         {std::vector<const char*>{"--help"}, {"--service-host", "127.0.0.1:8080", "--help"}}) {
        const Outcome got = readArgs(args);
        EXPECT_NE(got.out.find("(" + builtIn + ")"), std::string::npos) << got.out;
        EXPECT_EQ(got.out.find("8080"), std::string::npos) << got.out;
    }
}

}  // namespace
}  // namespace tovrel
