#include "platform/KeySymCharacter.h"

#include <xkbcommon/xkbcommon.h>

namespace kestrun {

char32_t KeySymCharacter(unsigned long keysym)
{
    // 0xfe00 to 0xffff: dead keys, ISO and keypad keys, function keys and
    // modifiers. Some of them map to a character (KP_1 to '1', Tab to a tab),
    // but an application takes them for the key: a terminal in keypad
    // application mode sends an escape sequence for KP_1.
    if (keysym >= 0xfe00 && keysym <= 0xffff)
        return 0;
    const char32_t character = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
    return character < 0x20 || character == 0x7f ? 0 : character;
}

}  // namespace kestrun
