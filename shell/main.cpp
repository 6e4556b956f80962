#include <cstdio>

#include "shell/application.h"
#include "shell/command_line.h"

int main(int argc, char** argv) {
    const tovrel::CommandLineOutcome outcome = tovrel::readCommandLine(argc, argv, stdout, stderr);
    if (!outcome.openWindow) return outcome.exitStatus;
    return tovrel::runApplication(argv[0]);
}
