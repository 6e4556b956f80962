// The one fatal report: the text "运行时出错!" with an optional code and message,
// shown through the installed handler, after which the process ends. The
// default handler writes the report, as UTF-8, to standard error; a front end
// with a window installs one that shows a message box.
#pragma once

#include <string>
#include <string_view>

namespace tovrel {

// Shows the report text (code page 936) and returns once the person has seen
// it.
using FatalReportHandler = void (*)(std::string_view reportText);

// Installs handler (nullptr restores the default) and returns the one
// installed before (nullptr for the default).
FatalReportHandler installFatalReportHandler(FatalReportHandler handler);

// The default report: the text converted to UTF-8 on standard error.
void writeFatalReportToStderr(std::string_view reportText);

// The report text: "运行时出错!\r\n\r\n", then the code line when code is not 0,
// then the message line when message is not empty (code page 936).
std::string fatalReportText(std::string_view message, int code);

// Shows the report through the installed handler, then ends the process with
// exit status -1 without running the exit steps registered with atexit.
[[noreturn]] void reportFatalError(std::string_view message, int code);

}  // namespace tovrel
