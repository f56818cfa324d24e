#pragma once

#include "platform/KeyStroke.h"

#include <cstdint>

namespace kestrun {

/// A Win32 virtual key and whether it is one of the extended keys (the
/// arrows and editing keys beside the main block, which the keypad's keys of
/// the same number are not).
struct VirtualKey {
    std::uint16_t code = 0;
    bool extended = false;
};

/// The virtual key of a key the notation names. {BREAK} is Ctrl+Break's key
/// (VK_CANCEL), not Pause, so that typing it never stops the run.
VirtualKey VirtualKeyFor(NamedKey key);

/// The virtual keys of the modifiers in `modifiers`, in the order they go
/// down (Ctrl, Alt, Shift); they come up in the reverse order.
int ModifierKeys(std::uint8_t modifiers, VirtualKey (&keys)[3]);

}  // namespace kestrun
