// The browser engine's own messages on the terminal. Started from a terminal,
// the program prints only its own lines; TOVREL_ENGINE_LOG=1 (any value but
// empty or 0) lets the engine's start-up banner, Chromium's log lines and the
// pages' console messages through again.
#pragma once

#include <QtGlobal>

namespace tovrel {

// True when TOVREL_ENGINE_LOG asks for the engine's messages.
bool engineLogWanted();

// Before Qt starts: unless the engine's messages are wanted, adds the flags
// that keep Chromium's own logging off the terminal to
// QTWEBENGINE_CHROMIUM_FLAGS (keeping whatever flags it already holds).
void quietBrowserEngine();

// Whether a Qt message is the engine's chatter rather than a problem of ours:
// informational and debug messages (the sandbox notice, the
// qt.webenginecontext banner) and the pages' console messages (category "js").
// A fatal message never is.
bool isEngineChatter(QtMsgType type, const char* category);

}  // namespace tovrel
