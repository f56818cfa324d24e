#pragma once

#include "platform/LayoutKeys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <memory>
#include <optional>
#include <set>
#include <vector>

struct xkb_context;

namespace kestrun {

/// Which key, with which modifiers, produces a keysym.
struct KeyChoice {
    KeyCode code = 0;
    unsigned modifiers = 0;  // real modifier mask to hold
};

/// The key type a borrowed key code takes: its index in the map and the real
/// modifiers that select each of its levels.
struct BorrowType {
    int index = -1;
    std::vector<unsigned> levelModifiers;
};

/// The server's keyboard description as XTest typing needs it: the keys of
/// the active layout group, the keys that set each modifier, and the key
/// codes typing may borrow. What the keys type is read through xkbcommon
/// (LayoutKeys, as on Wayland); the key types and the server's own flags of
/// each code, which borrowing needs, through Xlib.
class XkbKeyMap {
public:
    explicit XkbKeyMap(Display* display);
    ~XkbKeyMap();
    XkbKeyMap(const XkbKeyMap&) = delete;
    XkbKeyMap& operator=(const XkbKeyMap&) = delete;

    /// The key and level modifiers that produce `sym` while `held` (real
    /// modifiers the caller holds too) is down, with the locked modifiers in
    /// force; fewest modifiers first. Nothing when no key of the active group
    /// produces it. For named keys (Enter, F1...), compared as keysyms.
    std::optional<KeyChoice> Find(KeySym sym, unsigned held);

    /// The same for a character: any key whose keysym types `character`
    /// (Cyrillic_a types U+0430). Dead keys and keypad keys never count.
    std::optional<KeyChoice> FindCharacter(char32_t character, unsigned held);

    /// Reads the lock and group state again (after a lock key was typed).
    void RefreshState();

    /// The key that sets each real modifier of `mask`; 0 for none.
    KeyCode ModifierKey(unsigned mask) const;

    unsigned AltMask() const { return layout_->AltMask(); }

    /// Key codes that Find must not use: codes typing has borrowed.
    void Ignore(const std::vector<KeyCode>& codes);

    /// The key codes typing may borrow: among the codes that no application
    /// reads as a physical key (IsNeutralKeyCode), those that produce nothing
    /// or only vendor keysyms none of which is in `needed`. Never a modifier
    /// key nor a key with actions.
    std::vector<KeyCode> BorrowableCodes(const std::set<KeySym>& needed) const;

    /// The type for borrowed codes: four levels (plain, Shift, third level,
    /// both) where a key sets the third-level modifier, two otherwise.
    BorrowType BorrowKeyType() const;

private:
    int FindType(unsigned mask, const std::vector<unsigned>& levelModifiers) const;

    Display* display_;
    XkbDescPtr xkb_ = nullptr;
    std::unique_ptr<LayoutKeys> layout_;
};

}  // namespace kestrun
