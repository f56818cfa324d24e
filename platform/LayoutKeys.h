#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

struct xkb_keymap;
struct xkb_state;

namespace kestrun {

/// A key of the layout and the real modifiers (X's masks: Shift 1, Lock 2,
/// Control 4, Mod1 8 ... Mod5 0x80) to hold for the level wanted.
struct LayoutKey {
    std::uint32_t code = 0;  // xkb key code: the evdev number plus 8
    std::uint32_t modifiers = 0;
};

/// Which key of a keyboard layout types what, read from an xkbcommon keymap:
/// the one model of the layout that typing uses on every display, whether the
/// keymap came from the X server or from a compositor.
///
/// A key counts by what it types as a character (Cyrillic_a types U+0430),
/// or, for named keys (Enter, F1...), by its keysym. Among the keys that type
/// something, the one with the fewest level modifiers (Shift, third and fifth
/// level) wins, then the lowest code. Dead keys and keypad keys never type a
/// character.
class LayoutKeys {
public:
    /// Takes a reference of its own to `keymap`.
    explicit LayoutKeys(xkb_keymap* keymap);
    ~LayoutKeys();
    LayoutKeys(const LayoutKeys&) = delete;
    LayoutKeys& operator=(const LayoutKeys&) = delete;

    /// The layout (group) and the locked or latched modifiers in force.
    void SetState(std::uint32_t layout, std::uint32_t lockedModifiers);

    /// Codes that typing must not use: borrowed ones, say.
    void Skip(const std::vector<std::uint32_t>& codes);

    /// Codes above this one are never used (X programs read none above 255).
    void SetHighestCode(std::uint32_t code);

    /// The key and level modifiers that give `keysym` while `held` is down;
    /// nothing when no key gives it.
    std::optional<LayoutKey> FindKeysym(unsigned long keysym, std::uint32_t held);

    /// The same for a character: any key whose keysym types `character`.
    std::optional<LayoutKey> FindCharacter(char32_t character, std::uint32_t held);

    /// The key that sets a real modifier of `mask` when pressed alone, among
    /// those of Shift, Control, Alt and the third and fifth level; 0 for none.
    std::uint32_t ModifierKey(std::uint32_t mask) const;

    /// The real modifiers that the Alt and the third-level keys set (0 when
    /// the layout has no such key).
    std::uint32_t AltMask() const { return altMask_; }
    std::uint32_t Level3Mask() const { return level3Mask_; }

    /// Whether every keysym `code` holds, in every group and level, passes
    /// `spare`; true for a code the keymap has no key for.
    bool HoldsOnly(std::uint32_t code, const std::function<bool(unsigned long)>& spare) const;

    /// Whether pressing `code` alone changes the keyboard's state: a
    /// modifier, lock or group key.
    bool ChangesState(std::uint32_t code) const;

    /// Among `candidates`, the codes that hold only keysyms `spare` accepts.
    std::vector<std::uint32_t> FreeCodes(const std::vector<std::uint32_t>& candidates,
                                         const std::function<bool(unsigned long)>& spare) const;

private:
    using Index = std::pair<std::map<unsigned long, LayoutKey>, std::map<char32_t, LayoutKey>>;
    const Index& IndexFor(std::uint32_t held);
    void FindModifierKeys();

    xkb_keymap* keymap_;
    xkb_state* state_;
    std::uint32_t layout_ = 0;
    std::uint32_t locked_ = 0;
    std::uint32_t highest_ = 0;
    std::set<std::uint32_t> skipped_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> modifierKeys_;  // mask, code
    std::vector<std::uint32_t> levelCombos_;  // fewest modifiers first
    std::uint32_t altMask_ = 0;
    std::uint32_t level3Mask_ = 0;
    std::map<std::uint32_t, Index> indexes_;  // by the modifiers held
};

}  // namespace kestrun
