#pragma once

#include "platform/KeyPlan.h"
#include "platform/x11/keyguard/KeyGuard.h"
#include "platform/x11/XkbKeyMap.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <map>
#include <set>
#include <vector>

namespace kestrun {

/// The key codes typing borrows, kept from one typed sequence to the next so
/// that a later sequence finds its keysyms in place, until Restore.
///
/// A borrowed code gets a key type of its own (two or four levels) and one
/// group, so that its levels do not depend on the layout's types. Every
/// change to the server's map is one request covering the lowest to the
/// highest code changed, the codes in between sent as they are.
class BorrowedKeys {
public:
    BorrowedKeys(Display* display, KeyboardGuard& guard) : display_(display), guard_(guard) {}
    ~BorrowedKeys();
    BorrowedKeys(const BorrowedKeys&) = delete;
    BorrowedKeys& operator=(const BorrowedKeys&) = delete;

    /// The codes borrowed now.
    std::vector<KeyCode> Codes() const;

    /// Makes the slots for a sequence whose missing keysyms are `needed`: the
    /// codes borrowed already that still hold what typing put there, then
    /// every code `map` offers that no other client has grabbed.
    void Prepare(const XkbKeyMap& map, const std::set<KeySym>& needed);

    const std::vector<KeySlot>& Slots() const { return slots_; }
    /// What each slot holds now (0 for nothing).
    std::vector<unsigned long> Held() const;
    /// The real modifiers that select a slot's level.
    unsigned ModifiersFor(std::size_t slot) const { return type_.levelModifiers[slots_[slot].level]; }

    /// Puts keysyms on slots, telling the guard first.
    void Apply(const std::vector<SlotChange>& changes);

    /// Gives every borrowed code its own keysyms back and tells the guard.
    /// A code that no longer holds what typing put there (the layout was
    /// changed meanwhile) is left as it is.
    void Restore();

    /// Requests that changed the keyboard map so far, restores included.
    int MappingChanges() const { return mappingChanges_; }

private:
    struct Code {
        XkbSymMapRec original{};
        std::vector<KeySym> originalSyms;
        std::vector<KeySym> originalCore;
        std::vector<KeySym> syms;  // one per level
        std::vector<KeySym> core;  // as the core protocol shows them
    };

    std::vector<KeyCode> Ungrabbed(const std::vector<KeyCode>& candidates);
    bool StillOurs(XkbDescPtr xkb, KeyCode code, const Code& borrowed) const;
    void ReadCore(std::map<KeyCode, std::vector<KeySym>>& into, const std::vector<KeyCode>& codes);
    void Send(XkbDescPtr xkb, KeyCode first, KeyCode last);
    std::vector<BorrowedCode> ForGuard() const;

    Display* display_;
    KeyboardGuard& guard_;
    BorrowType type_;
    std::map<KeyCode, Code> codes_;
    std::map<KeyCode, std::vector<KeySym>> coreBefore_;  // of the codes offered, before borrowing
    std::vector<KeySlot> slots_;
    int mappingChanges_ = 0;
};

}  // namespace kestrun
