// The browser pane: a web view inside a plain one-pixel border. Part of
// libtovrel_pane, the one piece of the program that links Qt WebEngine.
#pragma once

#include <QWidget>

#include <memory>

#include "shell/cookie_bridge.h"
#include "shell/pane_library.h"

class QWebEngineView;
class QWindow;

namespace tovrel {

// A plain child of the window that draws the border and holds the web view.
// The view is a window of its own, embedded in the pane as a native child
// window: a web view composes its page with OpenGL, and one among the
// window's own widgets would make Qt recreate the window's native window for
// that composition (a new X window, the old one gone). Embedded, the view
// brings OpenGL to its own window only and the window keeps its native
// window and its plain drawing.
//
// Its engine starts with it; its cookies and the HTTP client's are one cookie
// session.
class BrowserPane : public QWidget {
  public:
    BrowserPane(QWidget* parent, CookieJarAccess cookies);
    ~BrowserPane() override;
    // Starts a plain navigation, with the HTTP client's cookies handed over first.
    void navigate(const QUrl& url);
    QWebEngineView* view() const { return view_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void followFocusWindow(QWindow* focusWindow);
    QWindow* viewWindow() const;

    QWebEngineView* view_ = nullptr;
    QWidget* container_ = nullptr;
    std::unique_ptr<CookieBridge> cookies_;
};

}  // namespace tovrel
