// The browser pane lives in a library of its own, libtovrel_pane, which
// alone links Qt WebEngine: the window program loads it once the window has
// been drawn, so that the engine's libraries take no part in the window's
// start-up. This header is what the window and the library share; it names
// nothing of Qt WebEngine.
#pragma once

#include <QPainter>
#include <QWidget>

#include <vector>

#include "http/cookie_store.h"

class QRect;
class QUrl;

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

// The empty pane's look, drawn by the pane until its page covers it and by
// the window in the pane's place until the library is loaded: a white page
// inside a plain one-pixel border.
inline void paintEmptyPane(QWidget& widget) {
    QPainter painter(&widget);
    painter.fillRect(widget.rect(), Qt::white);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(widget.rect().adjusted(0, 0, -1, -1));
}

// extern "C" const PaneLibrary* tovrelPaneLibrary();
inline constexpr const char* kPaneEntryName = "tovrelPaneLibrary";
using PaneLibraryEntry = const PaneLibrary* (*)();

}  // namespace tovrel
