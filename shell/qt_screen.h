// The core's screen port served by the Qt window.
#pragma once

#include <QPointer>

#include "base/fatal.h"
#include "links/screen.h"
#include "shell/input_hold.h"
#include "shell/main_window.h"

class QTextEdit;

namespace tovrel {

class QtScreenPort final : public ScreenPort {
  public:
    // Installs itself and the message-box fatal report; the destructor puts
    // back what it replaced.
    explicit QtScreenPort(MainWindow* window);
    ~QtScreenPort() override;
    QtScreenPort(const QtScreenPort&) = delete;
    QtScreenPort& operator=(const QtScreenPort&) = delete;

    std::string getControlText(Control control) override;
    void setControlText(Control control, std::string_view text) override;
    void navigateBrowser(Control control, std::string_view url) override;
    bool setClipboardText(std::string_view text) override;
    void processEvents() override;
    // Runs the window's events, its input held back for later, and gives
    // false once the window has been closed: no one waits for the answer.
    bool keepAliveWhileWaiting() override;

  private:
    QPointer<MainWindow> window_;
    InputHold inputHold_;
    ScreenPort* previous_;
    FatalReportHandler previousFatalReport_;
};

// The fatal report as a message box of its own, which blocks the program
// until the person presses OK.
void showFatalReportBox(std::string_view reportText);

// The multi-line box's whole text. Qt keeps lines as blocks; each block
// remembers the line break that ended it when written ("\r\n", "\r" or "\n"),
// and a break typed by the user reads as "\r\n".
QString multiLineText(const QTextEdit& box);
void setMultiLineText(QTextEdit& box, const QString& text);

}  // namespace tovrel
