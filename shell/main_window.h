// The program's one window, mainWindow, with its twelve controls.
#pragma once

#include <QWidget>

#include "shell/handlers.h"
#include "shell/pane_library.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QUrl;

namespace tovrel {

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
    // The browser pane, loaded and its engine started first if that has not
    // happened yet. Until then a plain stand-in of the same look holds its
    // place, so that the window is drawn without the engine.
    BrowserPane* browserPane();
    // A plain navigation of the pane, which is loaded first when it has not
    // been yet.
    void navigateBrowserPane(const QUrl& url);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLineEdit* pageAddressBox_ = nullptr;
    QTextEdit* downloadAddressBox_ = nullptr;
    QLineEdit* captchaBox_ = nullptr;
    QWidget* getButton_ = nullptr;
    QWidget* paneStandIn_ = nullptr;
    BrowserPane* browserPane_ = nullptr;
    const PaneLibrary* paneLibrary_ = nullptr;
    WindowActions actions_;
};

// The start-up failure's message, "载入启动窗口失败" (code page 936): no window
// could be made, or it lacks its browser pane.
inline constexpr const char* kWindowFailed =
    "\xd4\xd8\xc8\xeb\xc6\xf4\xb6\xaf\xb4\xb0\xbf\xda\xca\xa7\xb0\xdc";

// The window's outer top-left corner on a screen: centred for the window's
// outer size, each quotient truncated.
QPoint startPosition(const QRect& screenGeometry);

}  // namespace tovrel
