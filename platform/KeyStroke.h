#pragma once

#include <cstdint>

namespace kestrun {

/// The keys that the send-keys notation names in braces, such as {ENTER}.
enum class NamedKey : std::uint8_t {
    Backspace, Break, CapsLock, Clear, Delete, Down, End, Enter, Escape, Help, Home, Insert,
    Left, NumLock, PageDown, PageUp, PrintScreen, Right, ScrollLock, Tab, Up,
    F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
    F13, F14, F15, F16, F17, F18, F19, F20, F21, F22, F23, F24,
    KeypadAdd, KeypadSubtract, KeypadMultiply, KeypadDivide,
};

/// Modifier keys held around a stroke; a bit set.
enum KeyModifier : std::uint8_t {
    kShift = 1,
    kControl = 2,
    kAlt = 4,
};

/// One key to type: a character (a Unicode code point that can be typed) or a
/// named key, with the modifiers to hold while it goes down and up.
struct KeyStroke {
    bool named = false;
    char32_t character = 0;  // when !named
    NamedKey key = NamedKey::Enter;  // when named
    std::uint8_t modifiers = 0;

    static KeyStroke Character(char32_t c, std::uint8_t modifiers = 0) { return {false, c, NamedKey::Enter, modifiers}; }
    static KeyStroke Named(NamedKey k, std::uint8_t modifiers = 0) { return {true, 0, k, modifiers}; }

    bool operator==(const KeyStroke&) const = default;
};

}  // namespace kestrun
