#include "shell/pane_loader.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QOpenGLContext>

#include <cstdio>

// Qt's setter for the context that every OpenGL context of the process shares
// with; exported by Qt GUI (its declaration is in a private header).
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace tovrel {

namespace {

constexpr const char* kLibraryFile = "libtovrel_pane.so";

// Qt WebEngine needs a context shared with Qt's own before its first view.
// Qt creates one itself when Qt::AA_ShareOpenGLContexts is set before the
// application object, but that costs the window's first paint the start of
// OpenGL; here it comes after the paint instead, before the engine loads.
void ignoreMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

void prepareSharedContext() {
    if (QOpenGLContext::globalShareContext() != nullptr) return;
    // Qt warns that the attribute comes after the application object; here
    // that is the point, so the warning is not passed on.
    const QtMessageHandler previous = qInstallMessageHandler(ignoreMessage);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qInstallMessageHandler(previous);
    auto* context = new QOpenGLContext(QCoreApplication::instance());
    context->setFormat(QSurfaceFormat::defaultFormat());
    if (context->create()) qt_gl_set_global_share_context(context);
}

const PaneLibrary* loadFirstCandidate() {
    const QStringList candidates = paneLibraryCandidates(QCoreApplication::applicationDirPath());
    QStringList errors;
    for (const QString& path : candidates) {
        QLibrary library(path);
        library.setLoadHints(QLibrary::PreventUnloadHint);
        auto entry = reinterpret_cast<PaneLibraryEntry>(library.resolve(kPaneEntryName));
        if (entry != nullptr) return entry();
        errors << library.errorString();
    }
    // Only when no place had it: each place's reason.
    for (const QString& error : errors) std::fprintf(stderr, "%s\n", qPrintable(error));
    return nullptr;
}

}  // namespace

QStringList paneLibraryCandidates(const QString& programDirectory) {
    const QString file = QLatin1String(kLibraryFile);
    return {programDirectory + QLatin1Char('/') + file,
            programDirectory + QStringLiteral("/" TOVREL_PANE_FROM_PROGRAM "/") + file,
            QStringLiteral(TOVREL_PANE_INSTALL_DIR "/") + file};
}

const PaneLibrary* loadPaneLibrary() {
    static const PaneLibrary* const library = [] {
        prepareSharedContext();
        return loadFirstCandidate();
    }();
    return library;
}

}  // namespace tovrel
