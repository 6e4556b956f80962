// Keeps the window alive while a request waits for the network: its events are
// run, so it repaints and answers the window manager (a close included), while
// the keyboard and mouse input the desktop sends meanwhile is held back and
// replayed, in the order it came, once the wait is over.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

class QEvent;
class QWidget;

namespace tovrel {

class InputHold final : public QObject {
  public:
    // Input for a window that has closed meanwhile is dropped, not replayed:
    // the person has left.
    explicit InputHold(QWidget* window);
    ~InputHold() override;
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

    // Runs the events that are waiting, holding input back, and returns.
    // Input keeps being held until the first event run outside this call
    // (the wait is over): then the held input goes first, in order.
    void pumpWhileWaiting();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct HeldEvent {
        QPointer<QObject> receiver;
        std::function<std::unique_ptr<QEvent>()> rebuild;
    };

    void startHolding();
    void replay();

    QPointer<QWidget> window_;
    std::deque<HeldEvent> held_;
    const QEvent* replayed_ = nullptr;
    bool filtering_ = false;
    bool replaying_ = false;
    int pumpDepth_ = 0;
    // Fires once the event loop runs outside a pump: the wait is over.
    QTimer waitOver_;
};

}  // namespace tovrel
