#pragma once

#include "platform/KeyStroke.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrun {

class WaylandKeymap;

/// One key going down or up on KWin's fake input.
struct FakeKeyEvent {
    std::uint32_t code = 0;  // evdev code
    bool pressed = false;

    bool operator==(const FakeKeyEvent&) const = default;
};

/// A stretch of a sequence: keys of the user's layout, or characters the
/// layout lacks, which are pasted. Every stretch of keys ends with every key
/// up.
struct FakeInputPiece {
    std::vector<FakeKeyEvent> keys;
    std::u32string paste;  // when not empty, the piece pastes this instead
};

struct KwinTypingPlan {
    std::vector<FakeInputPiece> pieces;
    std::string error;  // why the sequence cannot be typed; then no piece

    bool ok() const { return error.empty(); }
    std::size_t events() const;
};

/// Plans `strokes` for fake input, which presses keys through the user's own
/// layout: each stroke is its key with the modifier keys its level and the
/// notation ask for, held across strokes that share them. Characters the
/// layout's first group lacks are pasted, consecutive ones at once; such a
/// character typed with Ctrl or Alt, or a named key the layout lacks, makes
/// the sequence fail whole.
KwinTypingPlan PlanFakeInput(const WaylandKeymap& layout, const std::vector<KeyStroke>& strokes);

}  // namespace kestrun
