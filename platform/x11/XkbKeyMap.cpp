#include "platform/x11/XkbKeyMap.h"

#include "platform/PlatformError.h"
#include "platform/x11/keyguard/NeutralKeyCodes.h"

#include <X11/Xlib-xcb.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <cstdint>

namespace kestrun {

namespace {

struct ContextUnref {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapUnref {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};

// The server's keymap as xkbcommon reads it, over the display's own
// connection: the same model of the layout as a compositor's keymap gives.
std::unique_ptr<LayoutKeys> ReadLayout(Display* display)
{
    XFlush(display);  // Xlib's requests before xcb's
    xcb_connection_t* connection = XGetXCBConnection(display);
    if (!xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr))
        throw PlatformError("The X server has no keyboard extension.");
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    const std::unique_ptr<xkb_context, ContextUnref> context(
        xkb_context_new(static_cast<xkb_context_flags>(XKB_CONTEXT_NO_DEFAULT_INCLUDES | XKB_CONTEXT_NO_ENVIRONMENT_NAMES)));
    if (device < 0 || !context)
        throw PlatformError("Cannot read the keyboard map.");
    const std::unique_ptr<xkb_keymap, KeymapUnref> keymap(
        xkb_x11_keymap_new_from_device(context.get(), connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        throw PlatformError("Cannot read the keyboard map.");
    auto layout = std::make_unique<LayoutKeys>(keymap.get());
    // X programs read no key code above 255.
    layout->SetHighestCode(255);
    return layout;
}

}  // namespace

XkbKeyMap::XkbKeyMap(Display* display) : display_(display)
{
    xkb_ = XkbGetMap(display,
                     XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask | XkbKeyActionsMask |
                         XkbVirtualModMapMask,
                     XkbUseCoreKbd);
    if (!xkb_)
        throw PlatformError("Cannot read the keyboard map.");
    try {
        layout_ = ReadLayout(display);
        RefreshState();
    } catch (...) {
        XkbFreeKeyboard(xkb_, 0, True);
        throw;
    }
}

XkbKeyMap::~XkbKeyMap() { XkbFreeKeyboard(xkb_, 0, True); }

void XkbKeyMap::RefreshState()
{
    XkbStateRec state{};
    if (XkbGetState(display_, XkbUseCoreKbd, &state) != Success)
        throw PlatformError("Cannot read the keyboard state.");
    layout_->SetState(state.group, state.locked_mods | state.latched_mods);
}

KeyCode XkbKeyMap::ModifierKey(unsigned mask) const { return static_cast<KeyCode>(layout_->ModifierKey(mask)); }

void XkbKeyMap::Ignore(const std::vector<KeyCode>& codes)
{
    layout_->Skip(std::vector<std::uint32_t>(codes.begin(), codes.end()));
}

std::vector<KeyCode> XkbKeyMap::BorrowableCodes(const std::set<KeySym>& needed) const
{
    // The server's own flags of a code, which the keymap xkbcommon reads
    // does not show: its modifier maps and its actions.
    std::vector<std::uint32_t> candidates;
    for (int code = xkb_->min_key_code; code <= xkb_->max_key_code; ++code)
        if (IsNeutralKeyCode(static_cast<std::uint32_t>(code)) && xkb_->map->modmap[code] == 0 &&
            xkb_->server->vmodmap[code] == 0 && !XkbKeyHasActions(xkb_, code) &&
            !layout_->ChangesState(static_cast<std::uint32_t>(code)))
            candidates.push_back(static_cast<std::uint32_t>(code));
    std::vector<KeyCode> codes;
    for (const std::uint32_t code : layout_->FreeCodes(candidates, [&](unsigned long sym) {
             return IsSpareKeysym(sym) && !needed.contains(sym);
         }))
        codes.push_back(static_cast<KeyCode>(code));
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
    if (const unsigned level3 = layout_->Level3Mask(); level3 != 0) {
        const std::vector<unsigned> four{0, ShiftMask, level3, ShiftMask | level3};
        if (const int index = FindType(ShiftMask | level3, four); index >= 0)
            return {index, four};
    }
    const std::vector<unsigned> two{0, ShiftMask};
    return {FindType(ShiftMask, two), two};
}

std::optional<KeyChoice> XkbKeyMap::Find(KeySym sym, unsigned held)
{
    const auto key = layout_->FindKeysym(sym, held);
    return key ? std::optional(KeyChoice{static_cast<KeyCode>(key->code), key->modifiers}) : std::nullopt;
}

std::optional<KeyChoice> XkbKeyMap::FindCharacter(char32_t character, unsigned held)
{
    const auto key = layout_->FindCharacter(character, held);
    return key ? std::optional(KeyChoice{static_cast<KeyCode>(key->code), key->modifiers}) : std::nullopt;
}

}  // namespace kestrun
