#include "shell/key_codes.h"

#include <array>
#include <utility>

namespace tovrel {

int virtualKeyCode(const QKeyEvent& event) {
    const int key = event.key();
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) return 0x60 + (key - Qt::Key_0);
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return key;  // the same codes as ASCII digits and capitals
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + (key - Qt::Key_F1);
    static constexpr std::array<std::pair<int, int>, 22> kNamed{{
        {Qt::Key_Backspace, 0x08}, {Qt::Key_Tab, 0x09},      {Qt::Key_Backtab, 0x09},
        {Qt::Key_Return, 0x0d},    {Qt::Key_Enter, 0x0d},    {Qt::Key_Shift, 0x10},
        {Qt::Key_Control, 0x11},   {Qt::Key_Alt, 0x12},      {Qt::Key_Pause, 0x13},
        {Qt::Key_CapsLock, 0x14},  {Qt::Key_Escape, 0x1b},   {Qt::Key_Space, 0x20},
        {Qt::Key_PageUp, 0x21},    {Qt::Key_PageDown, 0x22}, {Qt::Key_End, 0x23},
        {Qt::Key_Home, 0x24},      {Qt::Key_Left, 0x25},     {Qt::Key_Up, 0x26},
        {Qt::Key_Right, 0x27},     {Qt::Key_Down, 0x28},     {Qt::Key_Insert, 0x2d},
        {Qt::Key_Delete, 0x2e},
    }};
    for (const auto& [qtKey, code] : kNamed)
        if (qtKey == key) return code;
    return 0;
}

int modifierBits(Qt::KeyboardModifiers modifiers) {
    int bits = 0;
    if (modifiers.testFlag(Qt::ControlModifier)) bits |= 1;
    if (modifiers.testFlag(Qt::ShiftModifier)) bits |= 2;
    if (modifiers.testFlag(Qt::AltModifier)) bits |= 4;
    return bits;
}

}  // namespace tovrel
