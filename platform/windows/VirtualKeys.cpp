#include "platform/windows/VirtualKeys.h"

#include <windows.h>

namespace kestrun {

VirtualKey VirtualKeyFor(NamedKey key)
{
    switch (key) {
    case NamedKey::Backspace: return {VK_BACK};
    case NamedKey::Break: return {VK_CANCEL, true};
    case NamedKey::CapsLock: return {VK_CAPITAL};
    case NamedKey::Clear: return {VK_CLEAR};
    case NamedKey::Delete: return {VK_DELETE, true};
    case NamedKey::Down: return {VK_DOWN, true};
    case NamedKey::End: return {VK_END, true};
    case NamedKey::Enter: return {VK_RETURN};
    case NamedKey::Escape: return {VK_ESCAPE};
    case NamedKey::Help: return {VK_HELP};
    case NamedKey::Home: return {VK_HOME, true};
    case NamedKey::Insert: return {VK_INSERT, true};
    case NamedKey::Left: return {VK_LEFT, true};
    case NamedKey::NumLock: return {VK_NUMLOCK, true};
    case NamedKey::PageDown: return {VK_NEXT, true};
    case NamedKey::PageUp: return {VK_PRIOR, true};
    case NamedKey::PrintScreen: return {VK_SNAPSHOT, true};
    case NamedKey::Right: return {VK_RIGHT, true};
    case NamedKey::ScrollLock: return {VK_SCROLL};
    case NamedKey::Tab: return {VK_TAB};
    case NamedKey::Up: return {VK_UP, true};
    case NamedKey::KeypadAdd: return {VK_ADD};
    case NamedKey::KeypadSubtract: return {VK_SUBTRACT};
    case NamedKey::KeypadMultiply: return {VK_MULTIPLY};
    case NamedKey::KeypadDivide: return {VK_DIVIDE, true};
    default: break;
    }
    // F1 to F24 follow each other in both lists.
    const int function = static_cast<int>(key) - static_cast<int>(NamedKey::F1);
    return {static_cast<std::uint16_t>(VK_F1 + function)};
}

int ModifierKeys(std::uint8_t modifiers, VirtualKey (&keys)[3])
{
    int count = 0;
    if (modifiers & kControl)
        keys[count++] = {VK_CONTROL};
    if (modifiers & kAlt)
        keys[count++] = {VK_MENU};
    if (modifiers & kShift)
        keys[count++] = {VK_SHIFT};
    return count;
}

}  // namespace kestrun
