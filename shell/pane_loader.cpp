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
void prepareSharedContext() {
    if (QOpenGLContext::globalShareContext() != nullptr) return;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    auto* context = new QOpenGLContext(QCoreApplication::instance());
    context->setFormat(QSurfaceFormat::defaultFormat());
    if (context->create()) qt_gl_set_global_share_context(context);
}

const PaneLibrary* loadFirstCandidate() {
    const QStringList candidates = paneLibraryCandidates(QCoreApplication::applicationDirPath());
    for (const QString& path : candidates) {
        QLibrary library(path);
        library.setLoadHints(QLibrary::PreventUnloadHint);
        auto entry = reinterpret_cast<PaneLibraryEntry>(library.resolve(kPaneEntryName));
        if (entry != nullptr) return entry();
        std::fprintf(stderr, "%s\n", qPrintable(library.errorString()));
    }
    return nullptr;
}

}  // namespace

QStringList paneLibraryCandidates(const QString& programDirectory) {
    return {programDirectory + QLatin1Char('/') + QLatin1String(kLibraryFile),
            QStringLiteral(TOVREL_PANE_INSTALL_DIR "/") + QLatin1String(kLibraryFile)};
}

const PaneLibrary* loadPaneLibrary() {
    static const PaneLibrary* const library = [] {
        prepareSharedContext();
        return loadFirstCandidate();
    }();
    return library;
}

}  // namespace tovrel
