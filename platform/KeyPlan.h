#pragma once

#include <cstddef>
#include <vector>

namespace kestrun {

/// One place a borrowed key code offers for a keysym: the code and the level
/// (0 plain, 1 Shift, 2 third level, 3 third level with Shift).
struct KeySlot {
    unsigned char code = 0;
    int level = 0;

    /// Levels 1 and 3 are reached with Shift held, so a keysym typed with
    /// Shift must sit on one of them.
    bool shifted() const { return level % 2 == 1; }
};

/// A keysym that the layout lacks, at one point of the sequence to type.
struct KeyNeed {
    unsigned long keysym = 0;
    bool withShift = false;   // typed while Shift is held
    bool asShortcut = false;  // typed while Ctrl or Alt is held
};

/// A slot taking a new keysym.
struct SlotChange {
    std::size_t slot = 0;
    unsigned long keysym = 0;
};

/// The keysyms put on slots before the needs from `first` on are typed.
/// Every phase after the first waits until the keys typed before it have been
/// read, so the fewer phases, the faster the typing.
struct KeyPhase {
    std::size_t first = 0;
    std::vector<SlotChange> changes;
};

struct KeyPlan {
    bool ok = false;                 // false: some keysym fits no slot
    std::vector<KeyPhase> phases;    // in order; empty when nothing is needed
    std::vector<std::size_t> slotOf; // the slot that types each need
};

/// Plans the slots for a whole sequence before its first key is typed.
///
/// A keysym typed with Shift sits on a Shift level. One typed with Ctrl or Alt
/// sits on a code's first level (its Shift level when Shift is held too):
/// toolkits match shortcuts by what the key gives without its other levels, so
/// Ctrl with the third level of a code holding "a" first is Ctrl+A to them.
///
/// `held` is what each slot holds already (0 for nothing): a keysym still
/// there from earlier typing is used again rather than moved. Each phase runs
/// as far as the slots can hold every distinct keysym of it, which makes the
/// fewest phases; a phase keeps the keysyms it needs that are already in
/// place and, when it must take slots whose keysyms are still needed later,
/// takes those needed furthest ahead.
KeyPlan PlanKeySlots(const std::vector<KeySlot>& slots, const std::vector<KeyNeed>& needs,
                     std::vector<unsigned long> held);

}  // namespace kestrun
