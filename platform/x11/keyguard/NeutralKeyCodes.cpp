#include "platform/x11/keyguard/NeutralKeyCodes.h"

#include <algorithm>
#include <array>

namespace kestrun {

namespace {

// evdev numbers that no physical-key table of Chromium, Firefox or GTK names
// and that the kernel gives no browser, edit, media, power or launcher
// meaning: KEY_RESERVED, KEY_KPJPCOMMA, KEY_MACRO, KEY_SETUP, KEY_DELETEFILE,
// KEY_XFER, KEY_MSDOS, KEY_ISO, KEY_MOVE, KEY_EDIT, KEY_HP, KEY_QUESTION,
// KEY_ALTERASE and KEY_UNKNOWN.
constexpr std::array<std::uint32_t, 14> kNeutralEvdev{0, 95, 112, 141, 146, 147, 151, 170, 175, 176, 211, 214, 222, 240};

}  // namespace

bool IsNeutralKeyCode(std::uint32_t code)
{
    return code >= 8 && std::find(kNeutralEvdev.begin(), kNeutralEvdev.end(), code - 8) != kNeutralEvdev.end();
}

}  // namespace kestrun
