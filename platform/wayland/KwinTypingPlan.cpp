#include "platform/wayland/KwinTypingPlan.h"

#include "platform/wayland/WaylandKeymap.h"

#include <algorithm>

namespace kestrun {

std::size_t KwinTypingPlan::events() const
{
    std::size_t count = 0;
    for (const FakeInputPiece& piece : pieces)
        count += piece.keys.size();
    return count;
}

namespace {

// Fake input takes evdev codes; the layout's model speaks in xkb key codes.
std::uint32_t Evdev(std::uint32_t xkbCode) { return xkbCode - 8; }

}  // namespace

KwinTypingPlan PlanFakeInput(const WaylandKeymap& layout, const std::vector<KeyStroke>& strokes)
{
    KwinTypingPlan plan;
    std::vector<std::uint32_t> held;  // modifier keys down, in the order pressed
    const auto fail = [&plan](std::string why) {
        plan.pieces.clear();
        plan.error = std::move(why);
        return plan;
    };
    const auto releaseAll = [&] {
        for (auto key = held.rbegin(); key != held.rend(); ++key)
            plan.pieces.back().keys.push_back({Evdev(*key), false});
        held.clear();
    };
    for (const KeyStroke& stroke : strokes) {
        const std::optional<LayoutKey> key = layout.Find(stroke);
        if (!key) {
            if (stroke.named)
                return fail("The keyboard layout has no key for this named key.");
            if (stroke.modifiers & (kControl | kAlt))
                return fail("A character the keyboard layout lacks cannot be typed with Ctrl or Alt.");
            // Shift means nothing to a pasted character.
            if (!plan.pieces.empty() && plan.pieces.back().paste.empty())
                releaseAll();
            if (plan.pieces.empty() || plan.pieces.back().paste.empty())
                plan.pieces.emplace_back();
            plan.pieces.back().paste += stroke.character;
            continue;
        }
        const std::optional<std::vector<std::uint32_t>> modifiers = layout.ModifierKeys(key->modifiers);
        if (!modifiers)
            return fail("The keyboard layout has no key for a modifier this text needs.");
        if (plan.pieces.empty() || !plan.pieces.back().paste.empty())
            plan.pieces.emplace_back();
        std::vector<FakeKeyEvent>& keys = plan.pieces.back().keys;
        // Up what this stroke does not want, latest first; then down what it lacks.
        for (auto it = held.rbegin(); it != held.rend(); ++it)
            if (std::find(modifiers->begin(), modifiers->end(), *it) == modifiers->end())
                keys.push_back({Evdev(*it), false});
        std::erase_if(held, [&](std::uint32_t code) {
            return std::find(modifiers->begin(), modifiers->end(), code) == modifiers->end();
        });
        for (const std::uint32_t code : *modifiers)
            if (std::find(held.begin(), held.end(), code) == held.end()) {
                keys.push_back({Evdev(code), true});
                held.push_back(code);
            }
        keys.push_back({Evdev(key->code), true});
        keys.push_back({Evdev(key->code), false});
    }
    if (!plan.pieces.empty() && plan.pieces.back().paste.empty())
        releaseAll();
    return plan;
}

}  // namespace kestrun
