// Baseline: the smallest QWebEngineView window of the same size, its engine
// started with the window as a plain program would.
#include <QWebEngineView>

#include <unistd.h>

#include <cstdlib>

#include "bench/first_paint.h"

int main(int argc, char** argv) {
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    tovrel::bench::reportFirstPaint();
    QApplication application(argc, argv);
    // The view fills a plain window, which gets the first paint.
    QWidget window;
    window.setFixedSize(422, 286);
    auto* view = new QWebEngineView(&window);
    view->setGeometry(window.rect());
    view->page();
    window.show();
    return QApplication::exec();
}
