#include "platform/LayoutKeys.h"

#include "platform/KeySymCharacter.h"
#include "platform/PlatformError.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <bit>

namespace kestrun {

namespace {

// What pressing `code` alone does to a fresh state of the keymap.
struct Press {
    xkb_state_component changed{};
    xkb_mod_mask_t depressed = 0;
};

Press PressAlone(xkb_keymap* keymap, xkb_keycode_t code)
{
    xkb_state* state = xkb_state_new(keymap);
    if (!state)
        return {};
    Press press;
    press.changed = xkb_state_update_key(state, code, XKB_KEY_DOWN);
    press.depressed = xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED);
    xkb_state_unref(state);
    return press;
}

}  // namespace

LayoutKeys::LayoutKeys(xkb_keymap* keymap) : keymap_(xkb_keymap_ref(keymap)), state_(xkb_state_new(keymap))
{
    if (!state_) {
        xkb_keymap_unref(keymap_);
        throw PlatformError("The keyboard's keymap cannot be read.");
    }
    highest_ = xkb_keymap_max_keycode(keymap_);
    FindModifierKeys();
}

LayoutKeys::~LayoutKeys()
{
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
}

void LayoutKeys::FindModifierKeys()
{
    const std::pair<xkb_keysym_t, bool> modifierSyms[] = {
        {XKB_KEY_Shift_L, true}, {XKB_KEY_Control_L, false}, {XKB_KEY_Alt_L, false},
        {XKB_KEY_ISO_Level3_Shift, true}, {XKB_KEY_ISO_Level5_Shift, true},
    };
    std::vector<std::uint32_t> levelMasks;
    for (const auto& [sym, selectsLevel] : modifierSyms) {
        // The lowest code that holds the keysym anywhere in its first group.
        xkb_keycode_t found = XKB_KEYCODE_INVALID;
        for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap_);
             code <= xkb_keymap_max_keycode(keymap_) && found == XKB_KEYCODE_INVALID; ++code) {
            const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap_, code, 0);
            for (xkb_level_index_t level = 0; level < levels && found == XKB_KEYCODE_INVALID; ++level) {
                const xkb_keysym_t* syms = nullptr;
                const int count = xkb_keymap_key_get_syms_by_level(keymap_, code, 0, level, &syms);
                if (std::find(syms, syms + std::max(count, 0), sym) != syms + std::max(count, 0))
                    found = code;
            }
        }
        if (found == XKB_KEYCODE_INVALID)
            continue;
        // Real modifiers only: the first eight of xkbcommon's, in X's order.
        const std::uint32_t mask = PressAlone(keymap_, found).depressed & 0xff;
        if (mask == 0 || ModifierKey(mask) != 0)
            continue;
        modifierKeys_.emplace_back(mask, found);
        if (sym == XKB_KEY_Alt_L)
            altMask_ = mask;
        if (sym == XKB_KEY_ISO_Level3_Shift)
            level3Mask_ = mask;
        if (selectsLevel)
            levelMasks.push_back(mask);
    }
    for (unsigned subset = 0; subset < (1u << levelMasks.size()); ++subset) {
        std::uint32_t combo = 0;
        for (std::size_t k = 0; k < levelMasks.size(); ++k)
            if (subset & (1u << k))
                combo |= levelMasks[k];
        levelCombos_.push_back(combo);
    }
    std::stable_sort(levelCombos_.begin(), levelCombos_.end(),
                     [](std::uint32_t a, std::uint32_t b) { return std::popcount(a) < std::popcount(b); });
}

void LayoutKeys::SetState(std::uint32_t layout, std::uint32_t lockedModifiers)
{
    layout_ = layout;
    locked_ = lockedModifiers;
    indexes_.clear();
}

void LayoutKeys::Skip(const std::vector<std::uint32_t>& codes)
{
    skipped_.insert(codes.begin(), codes.end());
    indexes_.clear();
}

void LayoutKeys::SetHighestCode(std::uint32_t code)
{
    highest_ = std::min<std::uint32_t>(code, xkb_keymap_max_keycode(keymap_));
    indexes_.clear();
}

std::uint32_t LayoutKeys::ModifierKey(std::uint32_t mask) const
{
    for (const auto& [modifier, code] : modifierKeys_)
        if (modifier & mask)
            return code;
    return 0;
}

// One pass over every key at every level combination gives the answer for
// every keysym and character at once: a text asks for hundreds of them.
const LayoutKeys::Index& LayoutKeys::IndexFor(std::uint32_t held)
{
    if (const auto known = indexes_.find(held); known != indexes_.end())
        return known->second;
    Index& index = indexes_[held];
    for (const std::uint32_t combo : levelCombos_) {
        xkb_state_update_mask(state_, combo | held, 0, locked_, 0, 0, layout_);
        for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap_); code <= highest_; ++code) {
            if (skipped_.contains(code) || xkb_keymap_num_layouts_for_key(keymap_, code) == 0)
                continue;
            const xkb_layout_index_t layout = xkb_state_key_get_layout(state_, code);
            const xkb_level_index_t level = xkb_state_key_get_level(state_, code, layout);
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap_, code, layout, level, &syms) != 1 || syms[0] == XKB_KEY_NoSymbol)
                continue;
            const LayoutKey key{code, combo};
            index.first.emplace(syms[0], key);
            if (const char32_t character = KeySymCharacter(syms[0]))
                index.second.emplace(character, key);
        }
    }
    return index;
}

std::optional<LayoutKey> LayoutKeys::FindKeysym(unsigned long keysym, std::uint32_t held)
{
    const auto& byKeysym = IndexFor(held).first;
    const auto found = byKeysym.find(keysym);
    return found == byKeysym.end() ? std::nullopt : std::optional(found->second);
}

std::optional<LayoutKey> LayoutKeys::FindCharacter(char32_t character, std::uint32_t held)
{
    const auto& byCharacter = IndexFor(held).second;
    const auto found = byCharacter.find(character);
    return found == byCharacter.end() ? std::nullopt : std::optional(found->second);
}

bool LayoutKeys::HoldsOnly(std::uint32_t code, const std::function<bool(unsigned long)>& spare) const
{
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap_, code);
    for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap_, code, layout);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap_, code, layout, level, &syms);
            for (int i = 0; i < count; ++i)
                if (!spare(syms[i]))
                    return false;
        }
    }
    return true;
}

bool LayoutKeys::ChangesState(std::uint32_t code) const
{
    if (code < xkb_keymap_min_keycode(keymap_) || code > xkb_keymap_max_keycode(keymap_))
        return false;
    return PressAlone(keymap_, code).changed != 0;
}

std::vector<std::uint32_t> LayoutKeys::FreeCodes(const std::vector<std::uint32_t>& candidates,
                                                 const std::function<bool(unsigned long)>& spare) const
{
    std::vector<std::uint32_t> free;
    for (const std::uint32_t code : candidates)
        if (HoldsOnly(code, spare))
            free.push_back(code);
    return free;
}

}  // namespace kestrun
