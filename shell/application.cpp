#include "shell/application.h"

#include <QApplication>
#include <QScreen>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "base/fatal.h"
#include "links/exchange.h"
#include "shell/main_window.h"
#include "shell/qt_screen.h"

namespace tovrel {

namespace {

// "载入启动窗口失败"
constexpr const char* kWindowFailed =
    "\xd4\xd8\xc8\xeb\xc6\xf4\xb6\xaf\xb4\xb0\xbf\xda\xca\xa7\xb0\xdc";

bool windowUp = false;
QtMessageHandler previousHandler = nullptr;

// Before the window is up, Qt's fatal messages (no display, no platform
// plugin) end in the start-up report instead of an abort.
void startupMessageHandler(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
    if (type == QtFatalMsg && !windowUp) {
        const QByteArray line = message.toLocal8Bit();
        std::fprintf(stderr, "%s\n", line.constData());
        reportFatalError(kWindowFailed, 0);
    }
    if (previousHandler != nullptr) previousHandler(type, context, message);
}

}  // namespace

void prepareBrowserEnvironment() {
    if (geteuid() == 0 && std::getenv("QTWEBENGINE_DISABLE_SANDBOX") == nullptr)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
}

int runApplication(const char* programPath, WindowActions actions) {
    registerExitStep();
    prepareBrowserEnvironment();
    // Qt::AA_ShareOpenGLContexts is not set here: it would start OpenGL before
    // the window's first paint. The browser pane's loader sets it up later.
    previousHandler = qInstallMessageHandler(startupMessageHandler);

    // The program reads no command line: Qt sees only the program's path.
    static char* qtArgv[] = {const_cast<char*>(programPath), nullptr};
    static int qtArgc = 1;
    QApplication application(qtArgc, qtArgv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) reportFatalError(kWindowFailed, 0);

    int status = 0;
    {
        MainWindow window(std::move(actions));
        QtScreenPort backend(&window);
        window.move(startPosition(screen->geometry()));
        window.show();
        windowUp = true;
        status = QApplication::exec();
        windowUp = false;
    }
    return status;
}

}  // namespace tovrel
