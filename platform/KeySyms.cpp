#include "platform/KeySyms.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace kestrun {

namespace {

unsigned long NamedKeySym(NamedKey key)
{
    switch (key) {
    case NamedKey::Backspace: return XKB_KEY_BackSpace;
    case NamedKey::Break: return XKB_KEY_Break;
    case NamedKey::CapsLock: return XKB_KEY_Caps_Lock;
    case NamedKey::Clear: return XKB_KEY_Clear;
    case NamedKey::Delete: return XKB_KEY_Delete;
    case NamedKey::Down: return XKB_KEY_Down;
    case NamedKey::End: return XKB_KEY_End;
    case NamedKey::Enter: return XKB_KEY_Return;
    case NamedKey::Escape: return XKB_KEY_Escape;
    case NamedKey::Help: return XKB_KEY_Help;
    case NamedKey::Home: return XKB_KEY_Home;
    case NamedKey::Insert: return XKB_KEY_Insert;
    case NamedKey::Left: return XKB_KEY_Left;
    case NamedKey::NumLock: return XKB_KEY_Num_Lock;
    case NamedKey::PageDown: return XKB_KEY_Next;
    case NamedKey::PageUp: return XKB_KEY_Prior;
    case NamedKey::PrintScreen: return XKB_KEY_Print;
    case NamedKey::Right: return XKB_KEY_Right;
    case NamedKey::ScrollLock: return XKB_KEY_Scroll_Lock;
    case NamedKey::Tab: return XKB_KEY_Tab;
    case NamedKey::Up: return XKB_KEY_Up;
    case NamedKey::KeypadAdd: return XKB_KEY_KP_Add;
    case NamedKey::KeypadSubtract: return XKB_KEY_KP_Subtract;
    case NamedKey::KeypadMultiply: return XKB_KEY_KP_Multiply;
    case NamedKey::KeypadDivide: return XKB_KEY_KP_Divide;
    default:
        return XKB_KEY_F1 + (static_cast<int>(key) - static_cast<int>(NamedKey::F1));
    }
}

}  // namespace

unsigned long KeySymFor(const KeyStroke& stroke)
{
    if (stroke.named)
        return NamedKeySym(stroke.key);
    const char32_t c = stroke.character;
    if ((c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF))
        return c;
    if (c == 0x20AC)
        return XKB_KEY_EuroSign;
    return 0x01000000 | c;
}

}  // namespace kestrun
