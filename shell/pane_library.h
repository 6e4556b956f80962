// The browser pane lives in a library of its own, libtovrel_pane, which
// alone links Qt WebEngine: the window program loads it once the window has
// been drawn, so that the engine's libraries take no part in the window's
// start-up. This header is what the window and the library share; it names
// nothing of Qt WebEngine.
#pragma once

#include <vector>

#include "http/cookie_store.h"

class QRect;
class QUrl;
class QWidget;

namespace tovrel {

class BrowserPane;

// The program's process-wide cookie store, handed to the pane library so
// that the pane and the HTTP client keep one cookie session (the library has
// no copy of the store of its own).
struct CookieJarAccess {
    std::vector<StoredCookie> (*list)() = nullptr;
    void (*add)(const StoredCookie& cookie) = nullptr;
};

// The library's entry points, found under kPaneEntryName.
struct PaneLibrary {
    // Creates the pane as a child of window at geometry, its engine started.
    BrowserPane* (*create)(QWidget* window, const QRect& geometry, CookieJarAccess cookies);
    // The pane as a widget of the window.
    QWidget* (*widget)(BrowserPane* pane);
    // Starts a plain navigation, with the store's cookies handed over first.
    void (*navigate)(BrowserPane* pane, const QUrl& url);
};

// extern "C" const PaneLibrary* tovrelPaneLibrary();
inline constexpr const char* kPaneEntryName = "tovrelPaneLibrary";
using PaneLibraryEntry = const PaneLibrary* (*)();

}  // namespace tovrel
