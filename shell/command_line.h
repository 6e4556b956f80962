// The window program's command line, read before Qt starts so that --help,
// --version and a usage error need no display.
#pragma once

#include <cstdio>

namespace tovrel {

struct CommandLineOutcome {
    bool openWindow = true;  // false: the program ends with exitStatus
    int exitStatus = 0;
};

// Reads the arguments after the program's name:
//   (none)                       open the window
//   --service-host HOST[:PORT]   open the window, using this service host for
//   --service-host=HOST[:PORT]   this run instead of the built-in one
//   --help, --version            print to `out` and end with status 0
// Anything else, or a host that setServiceHost refuses, prints a usage message
// to `err` and ends with status 2.
CommandLineOutcome readCommandLine(int argc, const char* const* argv, std::FILE* out,
                                   std::FILE* err);

}  // namespace tovrel
