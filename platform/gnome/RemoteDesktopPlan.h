#pragma once

#include "platform/KeyStroke.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrun {

class LayoutCharacters;

/// One step of typing through a keysym route: a key of the user's layout
/// tapped with modifiers held, or a run of characters the layout lacks,
/// pasted at once.
struct RemoteStep {
    unsigned long keysym = 0;  // 0: a paste
    std::uint8_t modifiers = 0;
    std::string paste;         // UTF-8, when keysym is 0
};

struct RemoteTypingPlan {
    std::vector<RemoteStep> steps;
    std::string error;  // why the sequence cannot be typed; then no steps
    bool pastes() const;
    bool ok() const { return error.empty(); }
};

/// Plans `strokes` for the layout: its own characters and keys by the
/// layout's keysyms, every other character by the clipboard, neighbours in
/// one paste. Caps Lock typed in the sequence inverts letters for the
/// compositor, so while it is on a letter goes as its other case: each
/// character arrives as itself. A character outside the layout held with a
/// modifier is a shortcut no paste can give; the plan says so.
RemoteTypingPlan PlanRemoteTyping(const std::vector<KeyStroke>& strokes, const LayoutCharacters& layout);

}  // namespace kestrun
