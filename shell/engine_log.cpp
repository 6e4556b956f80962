#include "shell/engine_log.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace tovrel {

bool engineLogWanted() {
    const char* value = std::getenv("TOVREL_ENGINE_LOG");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

void quietBrowserEngine() {
    if (engineLogWanted()) return;
    // Chromium's levels: 0 info, 1 warning, 2 error, 3 fatal. The flags reach
    // the engine's helper processes too.
    const std::string quiet = "--disable-logging --log-level=3";
    std::string flags = quiet;
    if (const char* given = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS"); given != nullptr) {
        if (std::string_view(given).ends_with(quiet)) return;  // already quietened
        flags = std::string(given) + " " + quiet;
    }
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
}

bool isEngineChatter(QtMsgType type, const char* category) {
    if (type == QtFatalMsg) return false;
    if (type == QtDebugMsg || type == QtInfoMsg) return true;
    return category != nullptr && std::strcmp(category, "js") == 0;
}

}  // namespace tovrel
