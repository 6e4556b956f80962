#include "shell/command_line.h"

#include <string>
#include <string_view>

#include "base/version.h"
#include "links/exchange.h"

namespace tovrel {

namespace {

constexpr std::string_view kHostOption = "--service-host";

constexpr const char* kUsage =
    "usage: tovrel [--service-host HOST[:PORT]]\n"
    "       tovrel --help | --version\n";

// %s: the built-in service address.
constexpr const char* kHelp =
    "\n"
    "Opens the Tovrel window: paste a share page's address, press Get, type the\n"
    "captcha shown in the pane, press Enter, and Copy puts the download address\n"
    "on the clipboard.\n"
    "\n"
    "  --service-host HOST[:PORT]\n"
    "             use this file-sharing service host for this run instead of\n"
    "             the built-in one (%s)\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "TOVREL_ENGINE_LOG=1 in the environment lets the browser engine's own\n"
    "messages through to the terminal.\n";

CommandLineOutcome usageError(std::FILE* err, const std::string& problem) {
    std::fprintf(err, "tovrel: %s\n%s", problem.c_str(), kUsage);
    return {false, 2};
}

CommandLineOutcome finish(std::FILE* out) {
    std::fflush(out);
    return {false, 0};
}

}  // namespace

CommandLineOutcome readCommandLine(int argc, const char* const* argv, std::FILE* out,
                                   std::FILE* err) {
    // The help names the built-in host even after a --service-host before it.
    const Text builtIn = serviceBaseAddress();
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            std::fprintf(out, "%s", kUsage);
            std::fprintf(out, kHelp, builtIn.c_str());
            return finish(out);
        }
        if (arg == "--version") {
            std::fprintf(out, "tovrel %s\n", kVersion);
            return finish(out);
        }
        std::string_view host;
        if (arg == kHostOption) {
            if (i + 1 == argc) return usageError(err, "--service-host needs HOST[:PORT]");
            host = argv[++i];
        } else if (arg.starts_with(kHostOption) && arg.size() > kHostOption.size() &&
                   arg[kHostOption.size()] == '=') {
            host = arg.substr(kHostOption.size() + 1);
        } else {
            return usageError(err, "unknown argument '" + std::string(arg) + "'");
        }
        // The empty text would silently mean the built-in host: refuse it too.
        if (host.empty() || !setServiceHost(host))
            return usageError(err,
                              "not a host name or address with an optional port from 1 "
                              "to 65535: '" +
                                  std::string(host) + "'");
    }
    return {};
}

}  // namespace tovrel
