#pragma once

#include <map>
#include <set>
#include <string>

namespace kestrun {

/// What the first group of a keyboard layout types: each character with the
/// keysym that gives it (the lowest level's where several do), and every
/// keysym it carries. A keysym route types by keysym, and the compositor
/// finds a key only for keysyms of the layout itself, so a character is sent
/// as the layout's keysym for it (Cyrillic_a, not the Unicode keysym).
class LayoutCharacters {
public:
    /// The layout of xkeyboard-config `layout` with `variant` (either may be
    /// empty: xkbcommon's defaults). Empty when xkbcommon cannot build it.
    LayoutCharacters(const std::string& layout, const std::string& variant);

    bool empty() const { return keysyms_.empty(); }
    /// The layout's keysym for `c`; 0 when the layout does not type it.
    unsigned long KeySymOf(char32_t c) const;
    bool Carries(unsigned long keysym) const { return keysyms_.count(keysym) != 0; }

private:
    std::map<char32_t, unsigned long> characters_;
    std::set<unsigned long> keysyms_;
};

/// A GNOME input source, ("xkb", "de+nodeadkeys"), as layout and variant;
/// nothing for sources that are not xkb layouts (input methods).
struct InputSourceLayout {
    std::string layout, variant;
};
bool ParseInputSource(const std::string& type, const std::string& id, InputSourceLayout& out);

}  // namespace kestrun
