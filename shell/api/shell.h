// The screen as the core sees it: five operations on the window's controls and
// the one fatal report. None of it needs Qt. The operations dispatch to the
// installed backend: the Qt window in the program, a recording fake in tests, a
// quiet one in the command-line decoder. With no backend installed, boxes read
// empty, writes and navigations do nothing, setClipboardText gives false,
// processEvents returns at once and the fatal report goes to standard error.
#pragma once

#include <string>
#include <string_view>

namespace tovrel {

// The controls the core addresses by name.
enum class Control { pageAddressBox, downloadAddressBox, captchaBox, browserPane };

class ShellBackend {
  public:
    virtual ~ShellBackend() = default;
    // Texts are code page 936 bytes.
    virtual std::string getControlText(Control control) = 0;
    virtual void setControlText(Control control, std::string_view text) = 0;
    virtual void navigateBrowser(Control control, std::string_view url) = 0;
    virtual bool setClipboardText(std::string_view text) = 0;
    virtual void processEvents() = 0;
    // Shows the fatal report text (code page 936) and returns once the person
    // has dismissed it. The default writes it, as UTF-8, to standard error.
    virtual void showFatalReport(std::string_view reportText);
};

// Installs backend (not owned; nullptr restores the default) and returns the
// one installed before.
ShellBackend* installShellBackend(ShellBackend* backend);

std::string getControlText(Control control);
void setControlText(Control control, std::string_view text);
void navigateBrowser(Control control, std::string_view url);
bool setClipboardText(std::string_view text);
void processEvents();

// The report text: "运行时出错!\r\n\r\n", then the code line when code is not 0,
// then the message line when message is not empty (code page 936).
std::string fatalReportText(std::string_view message, int code);

// Shows the report through the backend, then ends the process with exit status
// -1 without running the exit step.
[[noreturn]] void reportFatalError(std::string_view message, int code);

// --- session values and the exit step ---------------------------------------

// The file identifier and key cut from the last share page. Written only by
// fetchSharePage; empty until the first Get.
extern std::string currentFileId;
extern std::string currentKey;

// Registers releaseSessionValues to run once when the process exits normally.
void registerExitStep();
// Releases the session values; runs at most once per process.
void releaseSessionValues();
// How many times the exit step has run (0 or 1).
int exitStepRuns();

}  // namespace tovrel
