#include "platform/wayland/WaylandKeymap.h"

#include "platform/PlatformError.h"
#include "platform/linux/KeyPlan.h"
#include "platform/linux/KeyTyping.h"

#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kestrun {

namespace {

// The highest key code that X programs under XWayland can still read.
constexpr std::uint32_t kHighestFreeCode = 255;
// Below it the evdev code would be KEY_RESERVED.
constexpr std::uint32_t kLowestFreeCode = 9;

bool IsKeypadKeysym(xkb_keysym_t sym) { return sym >= 0xFF80 && sym <= 0xFFBD; }

// XF86AudioMute, XF86Mail and the like; not the XF86Switch_VT_ range, which
// the compatibility map gives actions.
bool IsVendorKeysym(xkb_keysym_t sym) { return sym >= 0x1008FF00 && sym <= 0x1008FFFF; }

std::string KeysymName(unsigned long sym)
{
    if (sym == 0)
        return "NoSymbol";
    char name[64];
    xkb_keysym_get_name(static_cast<xkb_keysym_t>(sym), name, sizeof name);
    return name;
}

// Where the section that starts with `header` ends: the offset of its closing
// "};" line, as xkbcommon writes keymaps.
std::size_t SectionEnd(const std::string& text, const std::string& header)
{
    const std::size_t start = text.find("\n" + header);
    const std::size_t end = start == std::string::npos ? start : text.find("\n};", start);
    if (end == std::string::npos)
        throw PlatformError("The keymap has no " + header + " section.");
    return end + 1;
}

}  // namespace

WaylandKeymap::WaylandKeymap(const std::string& text) : context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
{
    if (!context_)
        throw PlatformError("xkbcommon could not start.");
    keymap_ = text.empty() ? xkb_keymap_new_from_names(context_, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS)
                           : xkb_keymap_new_from_string(context_, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                        XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap_) {
        xkb_context_unref(context_);
        throw PlatformError("The keyboard's keymap cannot be read.");
    }
    const std::unique_ptr<char, decltype(&std::free)> written(
        xkb_keymap_get_as_string(keymap_, XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
    canonical_ = written ? written.get() : "";
    text_ = text.empty() ? canonical_ : text;
    shift_ = Mask(XKB_MOD_NAME_SHIFT);
    control_ = Mask(XKB_MOD_NAME_CTRL);
    alt_ = Mask(XKB_MOD_NAME_ALT);
    IndexLayout();
}

WaylandKeymap::~WaylandKeymap()
{
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

std::uint32_t WaylandKeymap::Mask(const char* name) const
{
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap_, name);
    return index == XKB_MOD_INVALID ? 0 : 1u << index;
}

void WaylandKeymap::IndexLayout()
{
    const xkb_keycode_t lowest = xkb_keymap_min_keycode(keymap_);
    const xkb_keycode_t highest = xkb_keymap_max_keycode(keymap_);
    const std::uint32_t lock = Mask(XKB_MOD_NAME_CAPS);
    for (xkb_keycode_t code = lowest; code <= highest; ++code) {
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap_, code, 0);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* syms = nullptr;
            xkb_mod_mask_t masks[8];
            const std::size_t count = xkb_keymap_key_get_mods_for_level(keymap_, code, 0, level, masks, 8);
            if (xkb_keymap_key_get_syms_by_level(keymap_, code, 0, level, &syms) != 1 || count == 0)
                continue;
            // Shift rather than Caps Lock where either reaches the level.
            std::size_t pick = 0;
            while (pick + 1 < count && (masks[pick] & lock))
                ++pick;
            // The lowest level of the lowest code wins: the main keys before
            // the keypad, whose keysyms depend on Num Lock.
            const Choice choice{code, masks[pick]};
            byKeysym_.emplace(syms[0], choice);
            const char32_t character = xkb_keysym_to_utf32(syms[0]);
            if (character != 0 && !IsKeypadKeysym(syms[0]))
                byCharacter_.emplace(character, choice);
        }
    }
    for (xkb_keycode_t code = std::max<xkb_keycode_t>(lowest, kLowestFreeCode);
         code <= std::min<xkb_keycode_t>(highest, kHighestFreeCode); ++code) {
        if (!Borrowable(code))
            continue;
        const char* name = xkb_keymap_key_get_name(keymap_, code);
        freeCodes_.push_back(code);
        freeNames_.push_back(name ? name : "");
    }
}

// A code that produces nothing, or only multimedia and vendor keysyms (mail,
// volume, browser...), may carry other keysyms in the virtual keyboard's
// keymap: the user's own keyboard keeps its keymap and its media keys.
bool WaylandKeymap::Borrowable(xkb_keycode_t code) const
{
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap_, code);
    if (layouts > 1)
        return false;
    const xkb_level_index_t levels = layouts == 0 ? 0 : xkb_keymap_num_levels_for_key(keymap_, code, 0);
    for (xkb_level_index_t level = 0; level < levels; ++level) {
        const xkb_keysym_t* syms = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap_, code, 0, level, &syms);
        for (int i = 0; i < count; ++i)
            if (!IsVendorKeysym(syms[i]))
                return false;
    }
    return true;
}

std::string WaylandKeymap::Extended(const std::vector<unsigned long>& slotKeysyms) const
{
    std::string names, symbols;
    for (std::size_t i = 0; i < freeCodes_.size(); ++i) {
        const unsigned long plain = slotKeysyms[2 * i], shifted = slotKeysyms[2 * i + 1];
        if (plain == 0 && shifted == 0)
            continue;
        std::string name = freeNames_[i];
        if (name.empty()) {
            char made[8];
            std::snprintf(made, sizeof made, "K%03u", static_cast<unsigned>(freeCodes_[i]));
            name = made;
            names += "\t<" + name + "> = " + std::to_string(freeCodes_[i]) + ";\n";
        }
        symbols += "\tkey <" + name + "> { type= \"TWO_LEVEL\", [ " + KeysymName(plain) + ", " +
                   KeysymName(shifted) + " ] };\n";
    }
    std::string text = canonical_;
    // The symbols come after the key codes: insert there first.
    text.insert(SectionEnd(text, "xkb_symbols"), symbols);
    text.insert(SectionEnd(text, "xkb_keycodes"), names);
    return text;
}

WaylandTypingPlan WaylandKeymap::Plan(const std::vector<KeyStroke>& strokes) const
{
    WaylandTypingPlan plan;
    constexpr std::size_t kOnLayout = static_cast<std::size_t>(-1);
    std::vector<KeyNeed> needs;
    std::vector<std::size_t> needOf(strokes.size(), kOnLayout);
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        const KeyStroke& stroke = strokes[i];
        std::uint32_t held = 0;
        if (stroke.modifiers & kShift) held |= shift_;
        if (stroke.modifiers & kControl) held |= control_;
        if (stroke.modifiers & kAlt) held |= alt_;
        const unsigned long sym = KeySymFor(stroke);
        const auto found = [&]() -> const Choice* {
            if (stroke.named) {
                const auto it = byKeysym_.find(sym);
                return it == byKeysym_.end() ? nullptr : &it->second;
            }
            const auto it = byCharacter_.find(stroke.character);
            return it == byCharacter_.end() ? nullptr : &it->second;
        }();
        if (found) {
            plan.steps.push_back({found->code - 8, found->modifiers | held, 0});
            continue;
        }
        needOf[i] = needs.size();
        needs.push_back({sym, (stroke.modifiers & kShift) != 0});
        plan.steps.push_back({0, held, 0});
    }

    std::vector<KeySlot> slots;
    for (std::uint32_t code : freeCodes_) {
        slots.push_back({static_cast<unsigned char>(code), 0});
        slots.push_back({static_cast<unsigned char>(code), 1});
    }
    std::vector<unsigned long> held(slots.size(), 0);
    const KeyPlan slotPlan = PlanKeySlots(slots, needs, held);
    if (!needs.empty() && !slotPlan.ok) {
        plan.steps.clear();
        plan.error = "The keyboard has no free key codes for this text.";
        return plan;
    }

    // Keymap 0 holds the first phase (the layout alone when nothing is
    // missing); each later phase gets a keymap of its own.
    std::size_t phase = 0;
    const auto applyPhase = [&] {
        for (const SlotChange& change : slotPlan.phases[phase].changes)
            held[change.slot] = change.keysym;
        return !slotPlan.phases[phase++].changes.empty();
    };
    if (!slotPlan.phases.empty() && slotPlan.phases[0].first == 0)
        applyPhase();
    plan.keymaps.push_back(Extended(held));
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        if (const std::size_t need = needOf[i]; need != kOnLayout) {
            bool changed = false;
            while (phase < slotPlan.phases.size() && slotPlan.phases[phase].first <= need)
                changed = applyPhase() || changed;
            if (changed)
                plan.keymaps.push_back(Extended(held));
            const KeySlot& slot = slots[slotPlan.slotOf[need]];
            plan.steps[i].code = slot.code - 8u;
            if (slot.shifted())
                plan.steps[i].modifiers |= shift_;
        }
        plan.steps[i].keymap = plan.keymaps.size() - 1;
    }

    // A keymap the compositor could not read would type nothing at all.
    for (const std::string& text : plan.keymaps) {
        xkb_keymap* check = xkb_keymap_new_from_string(context_, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                       XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (!check) {
            plan.steps.clear();
            plan.error = "The keymap for this text cannot be built.";
            return plan;
        }
        xkb_keymap_unref(check);
    }
    return plan;
}

}  // namespace kestrun
