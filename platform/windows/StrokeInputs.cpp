#include "platform/windows/StrokeInputs.h"

#include "platform/windows/VirtualKeys.h"

#include <algorithm>

namespace kestrun {

namespace {

INPUT KeyInput(VirtualKey key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key.code;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key.code, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (key.extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
    return input;
}

INPUT UnitInput(wchar_t unit, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = unit;
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    return input;
}

// The layout's key for a character, with the Shift it needs; nothing when it
// has none, or reaches it only through Ctrl or Alt (AltGr) themselves.
bool LayoutKey(char32_t c, HKL layout, VirtualKey& key, bool& shift)
{
    if (c > 0xFFFF)
        return false;
    const SHORT scan = VkKeyScanExW(static_cast<wchar_t>(c), layout);
    if (scan == -1 || (scan & 0x0600))
        return false;
    key = {static_cast<std::uint16_t>(scan & 0xFF)};
    shift = (scan & 0x0100) != 0;
    return true;
}

}  // namespace

std::vector<INPUT> StrokeInputs(const KeyStroke& stroke, HKL layout)
{
    std::uint8_t modifiers = stroke.modifiers;
    std::vector<INPUT> keys;  // the stroke's own downs and ups
    if (stroke.named) {
        const VirtualKey key = VirtualKeyFor(stroke.key);
        keys = {KeyInput(key, false), KeyInput(key, true)};
    } else {
        VirtualKey key;
        bool shift = false;
        if (modifiers && LayoutKey(stroke.character, layout, key, shift)) {
            if (shift)
                modifiers |= kShift;
            keys = {KeyInput(key, false), KeyInput(key, true)};
        } else {
            wchar_t units[2];
            int count = 1;
            if (stroke.character > 0xFFFF) {
                const char32_t v = stroke.character - 0x10000;
                units[0] = static_cast<wchar_t>(0xD800 + (v >> 10));
                units[1] = static_cast<wchar_t>(0xDC00 + (v & 0x3FF));
                count = 2;
            } else {
                units[0] = static_cast<wchar_t>(stroke.character);
            }
            for (int i = 0; i < count; ++i) {
                keys.push_back(UnitInput(units[i], false));
                keys.push_back(UnitInput(units[i], true));
            }
        }
    }

    VirtualKey held[3];
    const int heldCount = ModifierKeys(modifiers, held);
    std::vector<INPUT> inputs;
    inputs.reserve(keys.size() + 2 * static_cast<std::size_t>(heldCount));
    for (int i = 0; i < heldCount; ++i)
        inputs.push_back(KeyInput(held[i], false));
    inputs.insert(inputs.end(), keys.begin(), keys.end());
    for (int i = heldCount - 1; i >= 0; --i)
        inputs.push_back(KeyInput(held[i], true));
    return inputs;
}

std::vector<INPUT> ReleasesAfter(const std::vector<INPUT>& inputs, std::size_t sent)
{
    // A key is told apart by its virtual key, or by its UTF-16 unit.
    const auto sameKey = [](const INPUT& a, const INPUT& b) {
        const bool unicode = a.ki.dwFlags & KEYEVENTF_UNICODE;
        return unicode == static_cast<bool>(b.ki.dwFlags & KEYEVENTF_UNICODE) &&
               (unicode ? a.ki.wScan == b.ki.wScan : a.ki.wVk == b.ki.wVk);
    };
    std::vector<INPUT> down;
    for (std::size_t i = 0; i < std::min(sent, inputs.size()); ++i) {
        const INPUT& input = inputs[i];
        if (input.type != INPUT_KEYBOARD)
            continue;
        if (input.ki.dwFlags & KEYEVENTF_KEYUP) {
            const auto found = std::find_if(down.rbegin(), down.rend(),
                                            [&](const INPUT& d) { return sameKey(d, input); });
            if (found != down.rend())
                down.erase(std::next(found).base());
        } else {
            down.push_back(input);
        }
    }
    std::vector<INPUT> releases(down.rbegin(), down.rend());
    for (INPUT& release : releases)
        release.ki.dwFlags |= KEYEVENTF_KEYUP;
    return releases;
}

}  // namespace kestrun
