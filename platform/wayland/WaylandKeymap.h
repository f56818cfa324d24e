#pragma once

#include "platform/KeyStroke.h"
#include "platform/LayoutKeys.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct xkb_context;
struct xkb_keymap;

namespace kestrun {

/// One key to type on a virtual keyboard.
struct WaylandKeyStep {
    std::uint32_t code = 0;       // evdev code: the xkb key code less 8
    std::uint32_t modifiers = 0;  // xkb modifier mask held while it goes down and up
    std::size_t keymap = 0;       // the keymap (of the plan) it is typed with
    bool locks = false;           // Caps, Num or Scroll Lock, which XWayland locks itself
};

/// A whole sequence planned for a virtual keyboard: the keymaps to upload, in
/// order, and the keys. Each keymap is the user's layout plus the keysyms the
/// layout lacks; as a rule there is one.
struct WaylandTypingPlan {
    std::vector<std::string> keymaps;
    std::vector<WaylandKeyStep> steps;
    std::string error;  // why the sequence cannot be typed; then nothing else

    bool ok() const { return error.empty(); }
};

/// The user's keyboard layout as xkbcommon reads it, and the keymaps that
/// extend it with the keysyms a sequence needs.
class WaylandKeymap {
public:
    /// Reads a keymap in the xkb text format, as a compositor hands it out.
    /// An empty text takes xkbcommon's defaults (XKB_DEFAULT_LAYOUT and the
    /// like). Throws PlatformError when the text cannot be read.
    explicit WaylandKeymap(const std::string& text);
    ~WaylandKeymap();
    WaylandKeymap(const WaylandKeymap&) = delete;
    WaylandKeymap& operator=(const WaylandKeymap&) = delete;

    /// The keymap of a layout of xkeyboard-config, in the xkb text format;
    /// empty when xkbcommon cannot build it.
    static std::string ForLayout(const std::string& layout, const std::string& variant);

    /// How the keymap names its first layout ("German"); empty when it gives
    /// none, as the keymaps that programs make for their own keys do.
    std::string LayoutDescription() const;

    /// The user's keymap: what the keyboard gets back once typing ends.
    const std::string& Text() const { return text_; }

    /// xkbcommon's own writing of it: two keymaps are the same when these are.
    const std::string& Canonical() const { return canonical_; }

    /// The key codes that carry the keysyms the layout lacks: keys that
    /// Chromium, GTK, foot and X programs under XWayland all read, that mean
    /// nothing to a browser or editor and on which this layout types no
    /// character. Each carries eight keysyms while typing.
    std::size_t FreeCodes() const { return freeCodes_.size(); }

    /// The keysyms all free codes hold at once.
    std::size_t FreePlaces() const;

    /// Plans the strokes: the first group of the layout types what it has,
    /// the free codes take the rest, in as few keymaps as they allow.
    WaylandTypingPlan Plan(const std::vector<KeyStroke>& strokes) const;

    /// Where the layout's first group types `stroke` (its level as no held
    /// modifier changes it), with the modifiers of that level and of the
    /// notation; nullopt when the layout has no key for it. The code is the
    /// xkb key code.
    std::optional<LayoutKey> Find(const KeyStroke& stroke) const;

    /// Keys that, held down together, set exactly the modifiers of `mask`
    /// (xkb key codes, one a modifier); nullopt when a modifier of it is on
    /// no key of the layout.
    std::optional<std::vector<std::uint32_t>> ModifierKeys(std::uint32_t mask) const;

private:
    void IndexLayout();
    std::uint32_t Mask(const char* name) const;
    std::string Extended(const std::vector<unsigned long>& slotKeysyms) const;

    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    std::string text_;
    std::string canonical_;  // which the extensions edit
    std::unique_ptr<LayoutKeys> layout_;  // the first group's keys, the free codes left out
    std::vector<std::uint32_t> freeCodes_;
    std::vector<std::string> freeNames_;  // empty where the code has no name yet
    std::uint32_t shift_ = 0, control_ = 0, alt_ = 0, mod3_ = 0, mod5_ = 0;
};

}  // namespace kestrun
