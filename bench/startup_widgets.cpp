// Baseline: the smallest Qt Widgets window of the same size.
#include <QLabel>

#include "bench/first_paint.h"

int main(int argc, char** argv) {
    tovrel::bench::reportFirstPaint();
    QApplication application(argc, argv);
    QLabel window(QStringLiteral("基准窗口"));
    window.setFixedSize(422, 286);
    window.show();
    return QApplication::exec();
}
