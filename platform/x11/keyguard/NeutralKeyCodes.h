#pragma once

#include <cstdint>

namespace kestrun {

/// Whether a key code (an xkb key code: the evdev number plus 8) stands for
/// no key that an application reads as a physical key.
///
/// Browsers take some key codes for the key they stand for, whatever keysym
/// the keymap gives them: Chromium reloads a page on the code of the reload
/// key and navigates on those of back and forward, even when that code types
/// a letter. Codes borrowed for characters must therefore be ones that the
/// physical-key tables of browsers and toolkits leave out, and never those of
/// browser, editing, media, power, sleep, launcher, scrolling, display or
/// radio keys.
bool IsNeutralKeyCode(std::uint32_t code);

/// Whether a keysym leaves its key code free for typing to borrow: no keysym
/// at all, or a vendor keysym (those of multimedia keys), never a character.
inline bool IsSpareKeysym(unsigned long keysym) { return keysym == 0 || (keysym & 0x10000000) != 0; }

}  // namespace kestrun
