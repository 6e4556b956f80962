// The program's one window, mainWindow, with its twelve controls.
#pragma once

#include <QWebEngineView>
#include <QWidget>

#include <memory>

#include "shell/cookie_bridge.h"
#include "shell/handlers.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

namespace tovrel {

// The browser pane: a bare web view inside a plain one-pixel border. Its engine
// starts on the first navigation or on startEngine(), whichever comes first.
// From then on its cookies and the HTTP client's are one cookie session.
class BrowserPane : public QWebEngineView {
  public:
    explicit BrowserPane(QWidget* parent);
    void startEngine();
    bool engineStarted() const { return engineStarted_; }
    // Starts a plain navigation, with the HTTP client's cookies handed over first.
    void navigate(const QUrl& url);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool engineStarted_ = false;
    std::unique_ptr<CookieBridge> cookies_;
};

class MainWindow : public QWidget {
  public:
    // The window's caption and its client area (the outer 428 x 314 less a
    // 3-pixel fixed frame on every side and a 22-pixel caption).
    static constexpr int kClientWidth = 422;
    static constexpr int kClientHeight = 286;
    static constexpr int kOuterWidth = 428;
    static constexpr int kOuterHeight = 314;

    explicit MainWindow(WindowActions actions = {});

    QLineEdit* pageAddressBox() const { return pageAddressBox_; }
    QTextEdit* downloadAddressBox() const { return downloadAddressBox_; }
    QLineEdit* captchaBox() const { return captchaBox_; }
    BrowserPane* browserPane() const { return browserPane_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QLineEdit* pageAddressBox_ = nullptr;
    QTextEdit* downloadAddressBox_ = nullptr;
    QLineEdit* captchaBox_ = nullptr;
    BrowserPane* browserPane_ = nullptr;
    WindowActions actions_;
    bool painted_ = false;
};

// The window's outer top-left corner on a screen: centred for the window's
// outer size, each quotient truncated.
QPoint startPosition(const QRect& screenGeometry);

}  // namespace tovrel
