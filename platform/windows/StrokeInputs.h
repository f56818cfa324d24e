#pragma once

#include "platform/KeyStroke.h"

#include <windows.h>

#include <cstddef>
#include <vector>

namespace kestrun {

/// The input events that type one stroke: its modifiers down, the key (or
/// the character's UTF-16 units, each down and up) and the modifiers up.
/// Every key that goes down comes up again within the stroke's events.
///
/// A character without modifiers goes as KEYEVENTF_UNICODE, whatever the
/// layout. With a modifier held it goes as the layout's virtual key for it
/// (Shift added where the layout needs it): a shortcut is matched by its key,
/// and Shift with "a" types "A" as the notation means; only a character the
/// layout lacks goes as Unicode then, with the modifiers held around it.
std::vector<INPUT> StrokeInputs(const KeyStroke& stroke, HKL layout);

/// The key-up events for the keys that the first `sent` of `inputs` left
/// down, latest first: what to send when the system took only part of them.
std::vector<INPUT> ReleasesAfter(const std::vector<INPUT>& inputs, std::size_t sent);

}  // namespace kestrun
