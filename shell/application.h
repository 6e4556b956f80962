// Start-up, the message loop and shut-down of the window program.
#pragma once

#include "shell/handlers.h"

namespace tovrel {

// Runs the program: registers the exit step, creates and shows the window
// centred on the primary screen, and runs the message loop until the window
// has closed. Returns the exit status (0). A window that cannot be had ends
// the process with the "载入启动窗口失败" report.
int runApplication(const char* programPath, WindowActions actions = {});

// Engine settings the browser pane needs before Qt starts: run as root, the
// engine's sandbox cannot start, so it is turned off unless asked for; the
// engine's own logging stays off the terminal unless TOVREL_ENGINE_LOG asks
// for it (shell/engine_log.h).
void prepareBrowserEnvironment();

}  // namespace tovrel
