#include "base/fatal.h"

#include <cstdio>
#include <cstdlib>

#include "base/codepage.h"

namespace tovrel {

namespace {

FatalReportHandler installed = nullptr;

}  // namespace

FatalReportHandler installFatalReportHandler(FatalReportHandler handler) {
    const FatalReportHandler previous = installed;
    installed = handler;
    return previous;
}

void writeFatalReportToStderr(std::string_view reportText) {
    const std::string utf8 = ansiToUtf8(reportText);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fflush(stderr);
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
        const std::string report = fatalReportText(message, code);
        if (installed != nullptr) {
            installed(report);
        } else {
            writeFatalReportToStderr(report);
        }
    }
    std::_Exit(-1);
}

}  // namespace tovrel
