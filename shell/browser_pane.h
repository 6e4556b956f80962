// The browser pane: a bare web view inside a plain one-pixel border. Part of
// libtovrel_pane, the one piece of the program that links Qt WebEngine.
#pragma once

#include <QWebEngineView>

#include <memory>

#include "shell/cookie_bridge.h"
#include "shell/pane_library.h"

namespace tovrel {

// Its engine starts on the first navigation or on startEngine(), whichever
// comes first. From then on its cookies and the HTTP client's are one cookie
// session.
class BrowserPane : public QWebEngineView {
  public:
    BrowserPane(QWidget* parent, CookieJarAccess cookies);
    void startEngine();
    bool engineStarted() const { return engineStarted_; }
    // Starts a plain navigation, with the HTTP client's cookies handed over first.
    void navigate(const QUrl& url);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool engineStarted_ = false;
    CookieJarAccess jar_;
    std::unique_ptr<CookieBridge> cookies_;
};

}  // namespace tovrel
