// Work that the first sight of a window does not need, run once from the
// event loop right after the window has first been painted.
#pragma once

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>

namespace tovrel {

// Runs work once, from a zero timer after watched's first paint event; owned
// by watched.
class AfterFirstPaint final : public QObject {
  public:
    AfterFirstPaint(QWidget* watched, std::function<void()> work)
        : QObject(watched), work_(std::move(work)) {
        watched->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && work_) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, std::exchange(work_, nullptr));
        }
        return false;
    }

  private:
    std::function<void()> work_;
};

}  // namespace tovrel
