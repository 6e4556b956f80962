#include "shell/api/shell.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "http/codepage.h"

namespace tovrel {

std::string currentFileId;
std::string currentKey;

namespace {

// The backend used when none is installed.
class DefaultBackend final : public ShellBackend {
  public:
    std::string getControlText(Control) override { return {}; }
    void setControlText(Control, std::string_view) override {}
    void navigateBrowser(Control, std::string_view) override {}
    bool setClipboardText(std::string_view) override { return false; }
    void processEvents() override {}
};

DefaultBackend defaultBackend;
ShellBackend* installed = &defaultBackend;

bool exitStepDone = false;
int exitStepCount = 0;

void runExitStep() {
    releaseSessionValues();
}

}  // namespace

void ShellBackend::showFatalReport(std::string_view reportText) {
    const std::string utf8 = ansiToUtf8(reportText);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fflush(stderr);
}

ShellBackend* installShellBackend(ShellBackend* backend) {
    ShellBackend* previous = installed == &defaultBackend ? nullptr : installed;
    installed = backend != nullptr ? backend : &defaultBackend;
    return previous;
}

std::string getControlText(Control control) {
    return installed->getControlText(control);
}
void setControlText(Control control, std::string_view text) {
    installed->setControlText(control, text);
}
void navigateBrowser(Control control, std::string_view url) {
    installed->navigateBrowser(control, url);
}
bool setClipboardText(std::string_view text) {
    return installed->setClipboardText(text);
}
void processEvents() {
    installed->processEvents();
}

std::string fatalReportText(std::string_view message, int code) {
    // "运行时出错!\r\n\r\n"
    std::string report = "\xd4\xcb\xd0\xd0\xca\xb1\xb3\xf6\xb4\xed!\r\n\r\n";
    if (code != 0) {
        // "错误代码："
        report += "\xb4\xed\xce\xf3\xb4\xfa\xc2\xeb\xa3\xba";
        report += std::to_string(code);
        report += "\r\n\r\n";
    }
    if (!message.empty()) {
        // "错误信息："
        report += "\xb4\xed\xce\xf3\xd0\xc5\xcf\xa2\xa3\xba";
        report += message;
        report += "\r\n";
    }
    return report;
}

void reportFatalError(std::string_view message, int code) {
    // A report raised while the report itself is being shown ends at once.
    static bool reporting = false;
    if (!reporting) {
        reporting = true;
        installed->showFatalReport(fatalReportText(message, code));
    }
    exitStepDone = true;
    std::_Exit(-1);
}

void registerExitStep() {
    std::atexit(runExitStep);
}

void releaseSessionValues() {
    if (exitStepDone) return;
    exitStepDone = true;
    ++exitStepCount;
    if (!currentFileId.empty()) std::string().swap(currentFileId);
    if (!currentKey.empty()) std::string().swap(currentKey);
}

int exitStepRuns() {
    return exitStepCount;
}

}  // namespace tovrel
