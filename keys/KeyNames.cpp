#include "keys/KeyNames.h"


namespace kestrun {

namespace {

struct NameEntry {
    std::string_view name;
    NamedKey key;
};

// Every name of the classic notation; the first name of each key is its
// canonical one.
constexpr NameEntry kNames[] = {
    NameEntry{"BACKSPACE", NamedKey::Backspace}, {"BS", NamedKey::Backspace}, {"BKSP", NamedKey::Backspace},
    NameEntry{"BREAK", NamedKey::Break},         {"CAPSLOCK", NamedKey::CapsLock},
    NameEntry{"CLEAR", NamedKey::Clear},         {"DELETE", NamedKey::Delete}, {"DEL", NamedKey::Delete},
    NameEntry{"DOWN", NamedKey::Down},           {"END", NamedKey::End},       {"ENTER", NamedKey::Enter},
    NameEntry{"ESC", NamedKey::Escape},          {"ESCAPE", NamedKey::Escape}, {"HELP", NamedKey::Help},
    NameEntry{"HOME", NamedKey::Home},           {"INSERT", NamedKey::Insert}, {"INS", NamedKey::Insert},
    NameEntry{"LEFT", NamedKey::Left},           {"NUMLOCK", NamedKey::NumLock},
    NameEntry{"PGDN", NamedKey::PageDown},       {"PGUP", NamedKey::PageUp},   {"PRTSC", NamedKey::PrintScreen},
    NameEntry{"RIGHT", NamedKey::Right},         {"SCROLLLOCK", NamedKey::ScrollLock},
    NameEntry{"TAB", NamedKey::Tab},             {"UP", NamedKey::Up},
    NameEntry{"F1", NamedKey::F1},   {"F2", NamedKey::F2},   {"F3", NamedKey::F3},   {"F4", NamedKey::F4},
    NameEntry{"F5", NamedKey::F5},   {"F6", NamedKey::F6},   {"F7", NamedKey::F7},   {"F8", NamedKey::F8},
    NameEntry{"F9", NamedKey::F9},   {"F10", NamedKey::F10}, {"F11", NamedKey::F11}, {"F12", NamedKey::F12},
    NameEntry{"F13", NamedKey::F13}, {"F14", NamedKey::F14}, {"F15", NamedKey::F15}, {"F16", NamedKey::F16},
    NameEntry{"F17", NamedKey::F17}, {"F18", NamedKey::F18}, {"F19", NamedKey::F19}, {"F20", NamedKey::F20},
    NameEntry{"F21", NamedKey::F21}, {"F22", NamedKey::F22}, {"F23", NamedKey::F23}, {"F24", NamedKey::F24},
    NameEntry{"ADD", NamedKey::KeypadAdd},       {"SUBTRACT", NamedKey::KeypadSubtract},
    NameEntry{"MULTIPLY", NamedKey::KeypadMultiply}, {"DIVIDE", NamedKey::KeypadDivide},
};

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != b[i])
            return false;
    return true;
}

}  // namespace

bool IsTypeableCharacter(char32_t c)
{
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return false;
    if (c >= 0xD800 && c <= 0xDFFF)
        return false;
    return c <= 0x10FFFF;
}

std::string_view KeyName(NamedKey key)
{
    for (const auto& entry : kNames)
        if (entry.key == key)
            return entry.name;
    return {};
}

bool LookUpKeyName(std::string_view name, NamedKey& key)
{
    for (const auto& entry : kNames) {
        if (EqualsIgnoringCase(name, entry.name)) {
            key = entry.key;
            return true;
        }
    }
    return false;
}

}  // namespace kestrun
