#pragma once

namespace kestrun {

/// The character a key with `keysym` types as text, or 0 when it types none
/// of its own: function and keypad keys, modifiers, dead keys and the other
/// keysyms that applications handle as keys rather than as characters.
char32_t KeySymCharacter(unsigned long keysym);

}  // namespace kestrun
