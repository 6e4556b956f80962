#include "shell/application.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QScreen>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "base/fatal.h"
#include "links/exchange.h"
#include "shell/after_first_paint.h"
#include "shell/engine_log.h"
#include "shell/main_window.h"
#include "shell/qt_screen.h"

namespace tovrel {

namespace {

bool windowUp = false;
bool engineLog = false;
QtMessageHandler previousHandler = nullptr;

// Before the window is up, Qt's fatal messages (no display, no platform
// plugin) end in the start-up report instead of an abort. The browser
// engine's chatter is dropped unless TOVREL_ENGINE_LOG asks for it.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg && !windowUp) {
        const QByteArray line = message.toLocal8Bit();
        std::fprintf(stderr, "%s\n", line.constData());
        reportFatalError(kWindowFailed, 0);
    }
    if (!engineLog && isEngineChatter(type, context.category)) return;
    if (previousHandler != nullptr) previousHandler(type, context, message);
}

// The application's icon, from the PNGs the tovrel executable carries as Qt
// resources (data/CMakeLists.txt); a program without them (tests, probes)
// keeps Qt's default.
void setApplicationIcon() {
    QIcon icon;
    for (const char* size : {"48", "256"}) {
        const QString file = QString(":/icons/%1/%2.png").arg(size, TOVREL_APP_ID);
        if (QFile::exists(file)) icon.addFile(file);
    }
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
}

}  // namespace

void prepareBrowserEnvironment() {
    if (geteuid() == 0 && std::getenv("QTWEBENGINE_DISABLE_SANDBOX") == nullptr)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    quietBrowserEngine();
    engineLog = engineLogWanted();
}

int runApplication(const char* programPath, WindowActions actions) {
    registerExitStep();
    prepareBrowserEnvironment();
    // Qt::AA_ShareOpenGLContexts is not set here: it would start OpenGL before
    // the window's first paint. The browser pane's loader sets it up later.
    previousHandler = qInstallMessageHandler(messageHandler);

    // The command line is the front end's (shell/command_line.h): Qt sees only
    // the program's path.
    static char* qtArgv[] = {const_cast<char*>(programPath), nullptr};
    static int qtArgc = 1;
    QApplication application(qtArgc, qtArgv);
    // Desktops match the window to its desktop entry by this name.
    QGuiApplication::setDesktopFileName(TOVREL_APP_ID);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) reportFatalError(kWindowFailed, 0);

    int status = 0;
    {
        MainWindow window(std::move(actions));
        QtScreenPort backend(&window);
        window.move(startPosition(screen->geometry()));
        // Decoding and handing over the icon's images would delay the first
        // paint; the window manager takes the icon a moment later.
        new AfterFirstPaint(&window, setApplicationIcon);
        window.show();
        windowUp = true;
        status = QApplication::exec();
        windowUp = false;
    }
    return status;
}

}  // namespace tovrel
