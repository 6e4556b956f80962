// For the start-up comparison: once the first widget of a shown window has
// been painted, prints "painted <steady-clock nanoseconds>" on standard output.
// Call before the QApplication is constructed.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>

namespace tovrel::bench {

class FirstPaintReporter : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!done_ && event->type() == QEvent::Paint && widget != nullptr && widget->isVisible()) {
            done_ = true;
            // After the paint event the window's backing store is flushed in
            // the same pass; a zero timer runs once that is over.
            QTimer::singleShot(0, [] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::printf("painted %lld\n",
                            static_cast<long long>(
                                std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
                std::fflush(stdout);
            });
        }
        return false;
    }

  private:
    bool done_ = false;
};

inline void reportFirstPaint() {
    qAddPreRoutine([] { qApp->installEventFilter(new FirstPaintReporter); });
}

}  // namespace tovrel::bench
