#include "platform/wayland/WaylandKeymap.h"

#include "platform/PlatformError.h"
#include "platform/KeyPlan.h"
#include "platform/KeySyms.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstdlib>
#include <memory>
#include <optional>

namespace kestrun {

namespace {

// The key codes that carry the characters a layout lacks: F13 to F24, IntlRo
// and IntlYen. Chromium drops every key whose evdev code its table of
// physical keys leaves out, so a code that stands for no key at all (or one
// past the kernel's KEY_MAX, which foot and GTK would take) types nothing
// there; and X programs under XWayland read no code above 255. These are keys
// of that table with no browser, edit, media, power or input-method meaning.
constexpr std::uint32_t kSlotCodes[] = {191, 192, 193, 194, 195, 196, 197, 198, 199, 200, 201, 202, 97, 132};

// Levels of each of those codes: Shift, Mod5 and Mod3 choose among eight,
// through a key type of the keymap's own (real modifiers, so whatever the
// layout binds to LevelThree or LevelFive does not matter).
constexpr std::size_t kSlotLevels = 8;
constexpr const char* kSlotType = "KESTRUN_SLOT";
constexpr const char* kSlotTypeText =
    "\ttype \"KESTRUN_SLOT\" {\n"
    "\t\tmodifiers= Shift+Mod3+Mod5;\n"
    "\t\tmap[Shift]= 2;\n\t\tmap[Mod5]= 3;\n\t\tmap[Shift+Mod5]= 4;\n"
    "\t\tmap[Mod3]= 5;\n\t\tmap[Shift+Mod3]= 6;\n\t\tmap[Mod3+Mod5]= 7;\n\t\tmap[Shift+Mod3+Mod5]= 8;\n"
    "\t};\n";

bool IsKeypadKeysym(xkb_keysym_t sym) { return sym >= 0xFF80 && sym <= 0xFFBD; }

// A slot code may carry other keysyms in the virtual keyboard's keymap unless
// the layout types a character or a keypad key with it (as IntlRo does on
// Brazilian and Japanese layouts): whatever else it holds there (F13,
// XF86Tools, XF86Launch5...) the user's own keyboard keeps.
bool IsSpareHere(unsigned long sym)
{
    return xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(sym)) == 0 && !IsKeypadKeysym(static_cast<xkb_keysym_t>(sym));
}

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
    mod3_ = Mask("Mod3");
    mod5_ = Mask("Mod5");
    IndexLayout();
}

std::string WaylandKeymap::ForLayout(const std::string& layout, const std::string& variant)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context)
        return "";
    const xkb_rule_names names{"evdev", nullptr, layout.c_str(), variant.c_str(), nullptr};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    std::string text;
    if (keymap) {
        const std::unique_ptr<char, decltype(&std::free)> written(
            xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
        text = written ? written.get() : "";
    }
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return text;
}

std::string WaylandKeymap::LayoutDescription() const
{
    const char* name = xkb_keymap_num_layouts(keymap_) > 0 ? xkb_keymap_layout_get_name(keymap_, 0) : nullptr;
    return name ? name : "";
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
    layout_ = std::make_unique<LayoutKeys>(keymap_);
    // Above 255 the layout's keys reach no X program, and Chromium drops them
    // (xkeyboard-config puts EuroSign on code 443): what they hold is borrowed.
    layout_->SetHighestCode(255);
    std::vector<std::uint32_t> candidates(std::begin(kSlotCodes), std::end(kSlotCodes));
    freeCodes_ = layout_->FreeCodes(candidates, IsSpareHere);
    // What a borrowed code holds in the layout is not typed with it.
    layout_->Skip(freeCodes_);
    const xkb_keycode_t lowest = xkb_keymap_min_keycode(keymap_);
    const xkb_keycode_t highest = xkb_keymap_max_keycode(keymap_);
    for (const std::uint32_t code : freeCodes_) {
        const char* name = code >= lowest && code <= highest ? xkb_keymap_key_get_name(keymap_, code) : nullptr;
        freeNames_.push_back(name ? name : "");
    }
}

std::optional<LayoutKey> WaylandKeymap::Find(const KeyStroke& stroke) const
{
    std::optional<LayoutKey> found =
        stroke.named ? layout_->FindKeysym(KeySymFor(stroke), 0) : layout_->FindCharacter(stroke.character, 0);
    if (!found)
        return std::nullopt;
    if (stroke.modifiers & kShift) found->modifiers |= shift_;
    if (stroke.modifiers & kControl) found->modifiers |= control_;
    if (stroke.modifiers & kAlt) found->modifiers |= alt_;
    return found;
}

std::optional<std::vector<std::uint32_t>> WaylandKeymap::ModifierKeys(std::uint32_t mask) const
{
    std::vector<std::uint32_t> keys;
    for (std::uint32_t bit = 1; bit != 0 && bit <= mask; bit <<= 1) {
        if (!(mask & bit))
            continue;
        const std::uint32_t code = layout_->ModifierKey(bit);
        if (code == 0)
            return std::nullopt;
        keys.push_back(code);
    }
    return keys;
}

std::size_t WaylandKeymap::FreePlaces() const { return freeCodes_.size() * kSlotLevels; }

std::string WaylandKeymap::Extended(const std::vector<unsigned long>& slotKeysyms) const
{
    std::string names, symbols;
    for (std::size_t i = 0; i < freeCodes_.size(); ++i) {
        const auto first = slotKeysyms.begin() + static_cast<std::ptrdiff_t>(kSlotLevels * i);
        if (std::all_of(first, first + kSlotLevels, [](unsigned long sym) { return sym == 0; }))
            continue;
        std::string name = freeNames_[i];
        if (name.empty()) {
            // Four characters at most: XWayland's keymap compiler takes no longer names.
            char made[8];
            std::snprintf(made, sizeof made, "K%03u", static_cast<unsigned>(freeCodes_[i]));
            name = made;
            names += "\t<" + name + "> = " + std::to_string(freeCodes_[i]) + ";\n";
        }
        symbols += "\tkey <" + name + "> { type= \"" + kSlotType + "\", [ ";
        for (std::size_t level = 0; level < kSlotLevels; ++level)
            symbols += (level ? ", " : "") + KeysymName(first[static_cast<std::ptrdiff_t>(level)]);
        symbols += " ] };\n";
    }
    // A text the layout types alone leaves the keyboard as it is.
    if (symbols.empty())
        return canonical_;
    std::string text = canonical_;
    // Later sections first, so that the offsets of earlier ones hold.
    text.insert(SectionEnd(text, "xkb_symbols"), symbols);
    text.insert(SectionEnd(text, "xkb_types"), kSlotTypeText);
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
        // Shift held with a key is part of the stroke (+a is Shift+A), not
        // a level to look the key up at, as Ctrl and Alt are.
        std::uint32_t held = 0;
        if (stroke.modifiers & kControl) held |= control_;
        if (stroke.modifiers & kAlt) held |= alt_;
        const unsigned long sym = KeySymFor(stroke);
        const std::optional<LayoutKey> found =
            stroke.named ? layout_->FindKeysym(sym, held) : layout_->FindCharacter(stroke.character, held);
        if (stroke.modifiers & kShift) held |= shift_;
        const bool locks = stroke.named && (stroke.key == NamedKey::CapsLock || stroke.key == NamedKey::NumLock ||
                                            stroke.key == NamedKey::ScrollLock);
        if (found) {
            plan.steps.push_back({found->code - 8, found->modifiers | held, 0, locks});
            continue;
        }
        needOf[i] = needs.size();
        needs.push_back({sym, (stroke.modifiers & kShift) != 0, (stroke.modifiers & (kControl | kAlt)) != 0});
        plan.steps.push_back({0, held, 0, locks});
    }

    std::vector<KeySlot> slots;
    for (std::uint32_t code : freeCodes_)
        for (std::size_t level = 0; level < kSlotLevels; ++level)
            slots.push_back({static_cast<unsigned char>(code), static_cast<int>(level)});
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
            if (slot.level & 2)
                plan.steps[i].modifiers |= mod5_;
            if (slot.level & 4)
                plan.steps[i].modifiers |= mod3_;
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
