#include "platform/gnome/LayoutCharacters.h"

#include "platform/KeySymCharacter.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace kestrun {

LayoutCharacters::LayoutCharacters(const std::string& layout, const std::string& variant)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context)
        return;
    const xkb_rule_names names{nullptr, nullptr, layout.empty() ? nullptr : layout.c_str(),
                               variant.empty() ? nullptr : variant.c_str(), nullptr};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap) {
        // Lower levels first, so that a character on two keys is typed with
        // the fewest modifiers; the compositor picks the key itself. Codes
        // above 255 (the Euro key of xkeyboard-config's "us", say) reach no X
        // program under XWayland, so their keysyms count as missing.
        const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap), 255);
        for (xkb_level_index_t level = 0; level < 4; ++level) {
            for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= last; ++code) {
                if (level >= xkb_keymap_num_levels_for_key(keymap, code, 0))
                    continue;
                const xkb_keysym_t* syms = nullptr;
                const int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, level, &syms);
                for (int i = 0; i < count; ++i) {
                    keysyms_.insert(syms[i]);
                    if (const char32_t c = KeySymCharacter(syms[i]))
                        characters_.emplace(c, syms[i]);
                }
            }
        }
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
}

unsigned long LayoutCharacters::KeySymOf(char32_t c) const
{
    const auto found = characters_.find(c);
    return found == characters_.end() ? 0 : found->second;
}

bool ParseInputSource(const std::string& type, const std::string& id, InputSourceLayout& out)
{
    if (type != "xkb" || id.empty())
        return false;
    const auto plus = id.find('+');
    out.layout = id.substr(0, plus);
    out.variant = plus == std::string::npos ? "" : id.substr(plus + 1);
    return !out.layout.empty();
}

}  // namespace kestrun
