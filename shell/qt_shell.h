// The shell operations served by the Qt window.
#pragma once

#include <QPointer>

#include "shell/api/shell.h"
#include "shell/main_window.h"

class QTextEdit;

namespace tovrel {

class QtShellBackend final : public ShellBackend {
  public:
    // Installs itself; the destructor puts back the backend it replaced.
    explicit QtShellBackend(MainWindow* window);
    ~QtShellBackend() override;
    QtShellBackend(const QtShellBackend&) = delete;
    QtShellBackend& operator=(const QtShellBackend&) = delete;

    std::string getControlText(Control control) override;
    void setControlText(Control control, std::string_view text) override;
    void navigateBrowser(Control control, std::string_view url) override;
    bool setClipboardText(std::string_view text) override;
    void processEvents() override;
    void showFatalReport(std::string_view reportText) override;

  private:
    QPointer<MainWindow> window_;
    ShellBackend* previous_;
};

// The multi-line box's whole text. Qt keeps lines as blocks; each block
// remembers the line break that ended it when written ("\r\n", "\r" or "\n"),
// and a break typed by the user reads as "\r\n".
QString multiLineText(const QTextEdit& box);
void setMultiLineText(QTextEdit& box, const QString& text);

}  // namespace tovrel
