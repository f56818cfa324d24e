#include "platform/x11/XkbKeyMap.h"

#include "platform/PlatformError.h"
#include "platform/KeySymCharacter.h"
#include "platform/x11/keyguard/NeutralKeyCodes.h"

#include <X11/keysym.h>

#include <algorithm>
#include <bit>

namespace kestrun {

XkbKeyMap::XkbKeyMap(Display* display) : display_(display)
{
    xkb_ = XkbGetMap(display,
                     XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask | XkbKeyActionsMask |
                         XkbVirtualModMapMask,
                     XkbUseCoreKbd);
    if (!xkb_)
        throw PlatformError("Cannot read the keyboard map.");
    RefreshState();

    const std::pair<KeySym, bool> modifierSyms[] = {
        {XK_Shift_L, true}, {XK_Control_L, false}, {XK_Alt_L, false},
        {XK_ISO_Level3_Shift, true}, {XK_ISO_Level5_Shift, true},
    };
    std::vector<unsigned> levelMasks;
    for (const auto& [sym, selectsLevel] : modifierSyms) {
        const KeyCode code = XKeysymToKeycode(display, sym);
        const unsigned mask = code ? xkb_->map->modmap[code] : 0;
        if (mask == 0 || ModifierKey(mask) != 0)
            continue;
        modifierKeys_.emplace_back(mask, code);
        if (sym == XK_Alt_L)
            altMask_ = mask;
        if (sym == XK_ISO_Level3_Shift)
            level3Mask_ = mask;
        if (selectsLevel)
            levelMasks.push_back(mask);
    }
    for (unsigned subset = 0; subset < (1u << levelMasks.size()); ++subset) {
        unsigned combo = 0;
        for (std::size_t k = 0; k < levelMasks.size(); ++k)
            if (subset & (1u << k))
                combo |= levelMasks[k];
        levelCombos_.push_back(combo);
    }
    std::stable_sort(levelCombos_.begin(), levelCombos_.end(),
                     [](unsigned a, unsigned b) { return std::popcount(a) < std::popcount(b); });
}

XkbKeyMap::~XkbKeyMap() { XkbFreeKeyboard(xkb_, 0, True); }

void XkbKeyMap::RefreshState()
{
    XkbStateRec state{};
    if (XkbGetState(display_, XkbUseCoreKbd, &state) != Success)
        throw PlatformError("Cannot read the keyboard state.");
    group_ = state.group;
    stateMods_ = state.locked_mods | state.latched_mods;
    cache_.clear();
}

KeyCode XkbKeyMap::ModifierKey(unsigned mask) const
{
    for (const auto& [modifier, code] : modifierKeys_)
        if (modifier & mask)
            return code;
    return 0;
}

void XkbKeyMap::Ignore(const std::vector<KeyCode>& codes)
{
    ignored_.insert(codes.begin(), codes.end());
    cache_.clear();
}

std::vector<KeyCode> XkbKeyMap::BorrowableCodes(const std::set<KeySym>& needed) const
{
    std::vector<KeyCode> codes;
    for (int code = xkb_->min_key_code; code <= xkb_->max_key_code; ++code) {
        if (!IsNeutralKeyCode(static_cast<std::uint32_t>(code)) || xkb_->map->modmap[code] != 0 || xkb_->server->vmodmap[code] != 0 || XkbKeyHasActions(xkb_, code))
            continue;
        const KeySym* syms = XkbKeySymsPtr(xkb_, code);
        const bool free = std::all_of(syms, syms + XkbKeyNumSyms(xkb_, code), [&](KeySym sym) {
            return IsSpareKeysym(sym) && !needed.contains(sym);
        });
        if (free)
            codes.push_back(static_cast<KeyCode>(code));
    }
    return codes;
}

int XkbKeyMap::FindType(unsigned mask, const std::vector<unsigned>& levelModifiers) const
{
    for (int index = 0; index < xkb_->map->num_types; ++index) {
        const XkbKeyTypeRec& type = xkb_->map->types[index];
        if (type.mods.mask != mask || type.num_levels != levelModifiers.size())
            continue;
        bool matches = true;
        for (std::size_t level = 1; level < levelModifiers.size() && matches; ++level) {
            matches = false;
            for (int k = 0; k < type.map_count; ++k)
                if (type.map[k].active && type.map[k].level == level && type.map[k].mods.mask == levelModifiers[level])
                    matches = true;
        }
        if (matches)
            return index;
    }
    return -1;
}

BorrowType XkbKeyMap::BorrowKeyType() const
{
    if (level3Mask_ != 0) {
        const std::vector<unsigned> four{0, ShiftMask, level3Mask_, ShiftMask | level3Mask_};
        if (const int index = FindType(ShiftMask | level3Mask_, four); index >= 0)
            return {index, four};
    }
    const std::vector<unsigned> two{0, ShiftMask};
    return {FindType(ShiftMask, two), two};
}

int XkbKeyMap::LevelOf(KeyCode code, int group, unsigned mods) const
{
    const XkbKeyTypePtr type = XkbKeyKeyType(xkb_, code, group);
    const unsigned relevant = mods & type->mods.mask;
    for (int k = 0; k < type->map_count; ++k) {
        const XkbKTMapEntryRec& entry = type->map[k];
        if (entry.active && entry.mods.mask == relevant)
            return entry.level;
    }
    return 0;
}

template <typename Matches>
std::optional<KeyChoice> XkbKeyMap::FindWhere(Matches matches, unsigned held) const
{
    for (unsigned combo : levelCombos_) {
        for (int code = xkb_->min_key_code; code <= xkb_->max_key_code; ++code) {
            const int groups = XkbKeyNumGroups(xkb_, code);
            if (groups == 0 || ignored_.contains(static_cast<KeyCode>(code)))
                continue;
            const int group = group_ % groups;
            const int level = LevelOf(static_cast<KeyCode>(code), group, combo | held | stateMods_);
            if (level < XkbKeyGroupWidth(xkb_, code, group) && matches(XkbKeySymEntry(xkb_, code, level, group)))
                return KeyChoice{static_cast<KeyCode>(code), combo};
        }
    }
    return std::nullopt;
}

std::optional<KeyChoice> XkbKeyMap::Find(KeySym sym, unsigned held)
{
    const auto key = std::tuple{false, static_cast<unsigned long>(sym), held};
    if (const auto cached = cache_.find(key); cached != cache_.end())
        return cached->second;
    return cache_[key] = FindWhere([sym](KeySym there) { return there == sym; }, held);
}

std::optional<KeyChoice> XkbKeyMap::FindCharacter(char32_t character, unsigned held)
{
    const auto key = std::tuple{true, static_cast<unsigned long>(character), held};
    if (const auto cached = cache_.find(key); cached != cache_.end())
        return cached->second;
    return cache_[key] = FindWhere(
               [character](KeySym there) { return there != NoSymbol && KeySymCharacter(there) == character; }, held);
}

}  // namespace kestrun
