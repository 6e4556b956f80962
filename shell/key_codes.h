// Qt key events in the terms the handlers take: virtual-key codes and the
// Ctrl (1), Shift (2), Alt (4) bits.
#pragma once

#include <QKeyEvent>

namespace tovrel {

// The virtual-key code of the event's key; 0 for a key without one.
int virtualKeyCode(const QKeyEvent& event);
int modifierBits(Qt::KeyboardModifiers modifiers);

}  // namespace tovrel
