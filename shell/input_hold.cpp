#include "shell/input_hold.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <utility>

namespace tovrel {

namespace {

// The desktop delivers input to its windows: to a Qt window that has a
// window of the platform behind it. What Qt passes on from there (to the
// widget under the mouse, the focus widget, the browser engine's own view)
// follows from the held original once that is replayed.
bool cameFromDesktop(const QObject* receiver, const QEvent& event) {
    if (!event.spontaneous() || !receiver->isWindowType()) return false;
    return static_cast<const QWindow*>(receiver)->handle() != nullptr;
}

// Typing and clicks: what the person gives the window. Everything else (paint,
// expose, the window manager's close and ping, timers, the browser engine's
// own traffic) runs while a request waits.
bool isPersonsInput(const QObject* receiver, const QEvent& event) {
    switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ContextMenu:
            return cameFromDesktop(receiver, event);
        case QEvent::InputMethod:
            // The input method hands composed text to the focus widget.
            return receiver == QGuiApplication::focusObject();
        default:
            return false;
    }
}

// How to build a held event again when it is replayed. Qt keeps the points
// of mouse and wheel events shared with their device, which rewrites them
// with every later event, so those are kept as values and built at replay.
std::function<std::unique_ptr<QEvent>()> rebuilder(const QEvent& event) {
    switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
            const auto& m = static_cast<const QMouseEvent&>(event);
            return [type = m.type(), local = m.position(), scene = m.scenePosition(),
                    global = m.globalPosition(), button = m.button(), buttons = m.buttons(),
                    modifiers = m.modifiers(), device = m.pointingDevice(),
                    time = m.timestamp()]() -> std::unique_ptr<QEvent> {
                auto mouse = std::make_unique<QMouseEvent>(type, local, scene, global, button,
                                                           buttons, modifiers, device);
                mouse->setTimestamp(time);
                return mouse;
            };
        }
        case QEvent::Wheel: {
            const auto& w = static_cast<const QWheelEvent&>(event);
            return
                [local = w.position(), global = w.globalPosition(), pixels = w.pixelDelta(),
                 angle = w.angleDelta(), buttons = w.buttons(), modifiers = w.modifiers(),
                 phase = w.phase(), inverted = w.inverted(), source = w.source(),
                 device = w.pointingDevice(), time = w.timestamp()]() -> std::unique_ptr<QEvent> {
                    auto wheel =
                        std::make_unique<QWheelEvent>(local, global, pixels, angle, buttons,
                                                      modifiers, phase, inverted, source, device);
                    wheel->setTimestamp(time);
                    return wheel;
                };
        }
        default: {
            std::shared_ptr<const QEvent> copy(event.clone());
            return [copy] { return std::unique_ptr<QEvent>(copy->clone()); };
        }
    }
}

}  // namespace

InputHold::InputHold(QWidget* window) : window_(window) {
    waitOver_.setSingleShot(true);
    waitOver_.setInterval(0);
    connect(&waitOver_, &QTimer::timeout, this, [this] {
        if (pumpDepth_ > 0) {
            waitOver_.start();  // still inside a wait: look again next time round
            return;
        }
        replay();
    });
}

InputHold::~InputHold() {
    if (filtering_) qApp->removeEventFilter(this);
}

void InputHold::pumpWhileWaiting() {
    startHolding();
    ++pumpDepth_;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --pumpDepth_;
    waitOver_.start();
}

void InputHold::startHolding() {
    if (filtering_) return;
    filtering_ = true;
    qApp->installEventFilter(this);
}

bool InputHold::eventFilter(QObject* watched, QEvent* event) {
    if (event == replayed_ || !isPersonsInput(watched, *event)) return false;
    // A modal box opened during the wait (the fatal report) runs its own
    // loop inside it and must be answerable; Qt keeps input from the other
    // windows meanwhile.
    if (QGuiApplication::modalWindow() != nullptr) return false;
    if (pumpDepth_ == 0 && !replaying_) {
        // The wait is over and new input comes: what was held goes first.
        replay();
        return false;
    }
    held_.push_back({watched, rebuilder(*event)});
    return true;
}

void InputHold::replay() {
    if (replaying_) return;
    waitOver_.stop();
    replaying_ = true;
    // A replayed click may start another request, or a handler may run the
    // events that are waiting; input that comes meanwhile joins the end of
    // the queue, so that everything stays in the order it was given.
    while (!held_.empty()) {
        HeldEvent one = std::move(held_.front());
        held_.pop_front();
        if (!window_ || window_->isHidden()) continue;  // the person has left
        if (!one.receiver) continue;
        // While a modal box (the fatal report) is up, Qt gives other windows
        // no input; held input for them is dropped likewise.
        QWindow* modal = QGuiApplication::modalWindow();
        if (modal != nullptr && one.receiver != modal) continue;
        const std::unique_ptr<QEvent> event = one.rebuild();
        replayed_ = event.get();
        QCoreApplication::sendEvent(one.receiver, event.get());
        replayed_ = nullptr;
    }
    replaying_ = false;
    qApp->removeEventFilter(this);
    filtering_ = false;
}

}  // namespace tovrel
