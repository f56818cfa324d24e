#include "platform/gnome/RemoteDesktopPlan.h"

#include "core/Utf8.h"
#include "platform/KeySyms.h"
#include "platform/gnome/LayoutCharacters.h"

#include <xkbcommon/xkbcommon.h>

namespace kestrun {

namespace {

// The keysym that gives `keysym`'s character while Caps Lock is on: its
// other case, where the layout has it.
unsigned long UnderCapsLock(unsigned long keysym, const LayoutCharacters& layout)
{
    const auto sym = static_cast<xkb_keysym_t>(keysym);
    const xkb_keysym_t upper = xkb_keysym_to_upper(sym);
    const xkb_keysym_t other = upper != sym ? upper : xkb_keysym_to_lower(sym);
    return other != sym && layout.Carries(other) ? other : keysym;
}

std::string Describe(const KeyStroke& stroke)
{
    std::string text;
    AppendUtf8(text, stroke.character);
    return text;
}

}  // namespace

bool RemoteTypingPlan::pastes() const
{
    for (const RemoteStep& step : steps)
        if (step.keysym == 0)
            return true;
    return false;
}

RemoteTypingPlan PlanRemoteTyping(const std::vector<KeyStroke>& strokes, const LayoutCharacters& layout)
{
    RemoteTypingPlan plan;
    bool capsLock = false;
    for (const KeyStroke& stroke : strokes) {
        if (stroke.named) {
            const unsigned long keysym = KeySymFor(stroke);
            if (!layout.Carries(keysym)) {
                plan.error = "The keyboard layout has no key for one of the named keys.";
                break;
            }
            if (stroke.key == NamedKey::CapsLock)
                capsLock = !capsLock;
            plan.steps.push_back({keysym, stroke.modifiers, {}});
            continue;
        }
        if (unsigned long keysym = layout.KeySymOf(stroke.character)) {
            plan.steps.push_back({capsLock ? UnderCapsLock(keysym, layout) : keysym, stroke.modifiers, {}});
            continue;
        }
        if (stroke.modifiers != 0) {
            plan.error = "\"" + Describe(stroke) +
                         "\" is not on the keyboard layout, so it cannot be typed with Shift, Ctrl or Alt.";
            break;
        }
        if (plan.steps.empty() || plan.steps.back().keysym != 0)
            plan.steps.push_back({0, 0, {}});
        AppendUtf8(plan.steps.back().paste, stroke.character);
    }
    if (!plan.ok())
        plan.steps.clear();
    return plan;
}

}  // namespace kestrun
