#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrun {

/// A keyboard layout by the names xkeyboard-config gives it, from which a
/// keymap is built.
struct LayoutName {
    std::string layout;   // "de"
    std::string variant;  // "nodeadkeys"; empty for the layout's main variant

    bool operator==(const LayoutName&) const = default;
};

/// A keyboard in the compositor's list of input devices, with the layout it
/// has active as the compositor reports it.
struct CompositorKeyboard {
    bool isVirtual = false;          // a program's virtual keyboard, not a device
    std::string description;         // the active layout as xkeyboard-config describes it: "German"
    std::optional<LayoutName> name;  // where the compositor names the active layout itself
};

/// The keyboards in sway's answer to get_inputs, in its order.
std::vector<CompositorKeyboard> SwayKeyboards(const std::string& json);

/// The keyboards in Hyprland's answer to j/devices, in its order.
std::vector<CompositorKeyboard> HyprlandKeyboards(const std::string& json);

/// The layouts and variants of xkeyboard-config's list (rules/evdev.lst) by
/// their descriptions, which are also the names keymaps give their layouts.
class LayoutList {
public:
    explicit LayoutList(const std::string& text);

    /// The layout that `description` ("German (no dead keys)") describes.
    std::optional<LayoutName> Find(const std::string& description) const;
    /// How the list describes a layout; empty when it has no such layout.
    std::string Describe(const LayoutName& name) const;

private:
    struct Entry {
        LayoutName name;
        std::string description;
    };
    std::vector<Entry> entries_;
};

/// The user's layout among the compositor's keyboards: the active layout of
/// the first device keyboard, else of the first virtual keyboard with a layout
/// of xkeyboard-config (an on-screen keyboard, a test's stand-in), not one
/// that a program made up for the characters it types; nothing when no
/// keyboard qualifies.
std::optional<LayoutName> UserLayout(const std::vector<CompositorKeyboard>& keyboards, const LayoutList& list);

}  // namespace kestrun
