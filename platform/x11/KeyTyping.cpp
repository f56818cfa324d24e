#include "platform/x11/KeyTyping.h"

#include "platform/PlatformError.h"
#include "platform/KeyPlan.h"
#include "platform/KeySyms.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <optional>
#include <set>
#include <thread>
#include <utility>

namespace kestrun {

namespace {

bool IsLockKey(const KeyStroke& stroke)
{
    return stroke.named && (stroke.key == NamedKey::CapsLock || stroke.key == NamedKey::NumLock ||
                            stroke.key == NamedKey::ScrollLock);
}

constexpr std::size_t kOnLayout = static_cast<std::size_t>(-1);

// LibreOffice's own X11 back-end takes a release and a press of the same key
// in the same millisecond for auto-repeat and drops the second letter of
// "ll". The server holds a press this long before it handles it, so the two
// carry different times; 1 ms keeps every letter (measured with Writer 7.4).
constexpr unsigned long kRepeatGapMs = 1;

// Keys typed between two round trips to the server. Xlib and the server's
// queue would otherwise hold thousands of keys not yet delivered, which a
// stop or a change of the active window could no longer hold back.
constexpr int kKeysInFlight = 16;

// Chromium fetches the map a change announces only after it has read the
// keys already queued behind the notice, and drops the first key typed with
// a code it does not know yet. A window that answers a ping has sent its
// request for the new map before the answer; the keys sent after the answer
// reach it after that map. Windows that do not answer read the map at once.
constexpr auto kMapTakenInTimeout = std::chrono::milliseconds(500);

}  // namespace

KeyTyping::KeyTyping(Display* display, BorrowedKeys& borrowed, KeyboardGuard& guard, KeySettle& settle,
                     std::function<bool()> stopRequested, int unsettledKeys)
    : display_(display), map_(display), borrowed_(borrowed), guard_(guard), settle_(settle),
      stopRequested_(std::move(stopRequested)), keysUnsettled_(unsettledKeys), borrowedUnsettled_(unsettledKeys > 0)
{
    map_.Ignore(borrowed_.Codes());
}

KeyTyping::~KeyTyping()
{
    if (std::exchange(grabbed_, false))
        XUngrabServer(display_);
    for (auto code = pressed_.rbegin(); code != pressed_.rend(); ++code) {
        XTestFakeKeyEvent(display_, *code, False, CurrentTime);
        released_.push_back(*code);
    }
    pressed_.clear();
    Sync();
}

unsigned KeyTyping::HeldMask(std::uint8_t modifiers) const
{
    unsigned mask = 0;
    if (modifiers & kControl) mask |= ControlMask;
    if (modifiers & kAlt) mask |= map_.AltMask();
    return mask;
}

void KeyTyping::Type(const std::vector<KeyStroke>& strokes)
{
    // The layout's own keys first; the rest become needs for borrowed codes.
    std::vector<KeyNeed> needs;
    std::vector<std::size_t> needOf(strokes.size(), kOnLayout);
    std::set<KeySym> missing;
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        if (FindOnLayout(strokes[i]))
            continue;
        const KeySym sym = KeySymFor(strokes[i]);
        needOf[i] = needs.size();
        needs.push_back({sym, (strokes[i].modifiers & kShift) != 0, (strokes[i].modifiers & (kControl | kAlt)) != 0});
        missing.insert(sym);
    }
    KeyPlan plan;
    if (!needs.empty()) {
        borrowed_.Prepare(map_, missing);
        plan = PlanKeySlots(borrowed_.Slots(), needs, borrowed_.Held());
        if (!plan.ok)
            throw PlatformError("There are not enough free key codes to type this text.");
        if (plan.phases.size() > 1 || borrowedUnsettled_)
            settle_.Watch();
    }

    std::size_t phase = 0;
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        // Hook for the process's termination signals: typing ends at the next key.
        if (stopRequested_ && stopRequested_())
            throw PlatformError("Typing was stopped.");
        std::optional<KeyChoice> choice;
        if (const std::size_t need = needOf[i]; need != kOnLayout) {
            for (; phase < plan.phases.size() && plan.phases[phase].first <= need; ++phase) {
                if (plan.phases[phase].changes.empty())
                    continue;
                // A code changes meaning only once the keys typed with the
                // old one are read.
                if (borrowedUnsettled_) {
                    Sync();
                    settle_.Settle(keysUnsettled_);
                    keysUnsettled_ = 0;
                    borrowedUnsettled_ = false;
                }
                borrowed_.Apply(plan.phases[phase].changes);
                Sync();
                settle_.Ping(kMapTakenInTimeout);
            }
            const std::size_t slot = plan.slotOf[need];
            choice = KeyChoice{borrowed_.Slots()[slot].code, borrowed_.ModifiersFor(slot)};
            borrowedUnsettled_ = true;
        } else {
            choice = FindOnLayout(strokes[i]);
            if (!choice)
                throw PlatformError("No key types the keysym " + std::to_string(KeySymFor(strokes[i])) + ".");
        }
        BeginBatch();
        TypeStroke(strokes[i], *choice);
        if (++batch_ >= kKeysInFlight)
            Sync();
        ++keysSinceInTurn_;
        if (strokes[i].named && !IsLockKey(strokes[i]) && TargetTakesKeysOutOfTurn()) {
            Sync();
            std::this_thread::sleep_for(KeySettle::InTurnPause(keysSinceInTurn_));
            keysSinceInTurn_ = 0;
        }
    }
    Sync();
}

// Asked at the first key that needs it: most texts have none.
bool KeyTyping::TargetTakesKeysOutOfTurn()
{
    if (!inTurn_)
        inTurn_ = settle_.TakesKeysOutOfTurn();
    return *inTurn_;
}

std::optional<KeyChoice> KeyTyping::FindOnLayout(const KeyStroke& stroke)
{
    const unsigned held = HeldMask(stroke.modifiers);
    return stroke.named ? map_.Find(KeySymFor(stroke), held) : map_.FindCharacter(stroke.character, held);
}

void KeyTyping::TypeStroke(const KeyStroke& stroke, KeyChoice choice)
{
    unsigned mods = choice.modifiers | HeldMask(stroke.modifiers);
    if (stroke.modifiers & kShift)
        mods |= ShiftMask;
    std::vector<KeyCode> modifierKeys;
    for (unsigned bit = 1; bit <= Mod5Mask; bit <<= 1) {
        if (!(mods & bit))
            continue;
        const KeyCode key = map_.ModifierKey(bit);
        if (key == 0)
            throw PlatformError("No key sets a modifier the keysym needs.");
        if (std::find(modifierKeys.begin(), modifierKeys.end(), key) == modifierKeys.end())
            modifierKeys.push_back(key);
    }
    for (KeyCode key : modifierKeys)
        Press(key);
    Press(choice.code, choice.code == lastKey_ ? kRepeatGapMs : CurrentTime);
    lastKey_ = choice.code;
    Release(choice.code);
    for (auto key = modifierKeys.rbegin(); key != modifierKeys.rend(); ++key)
        Release(*key);
    if (IsLockKey(stroke)) {
        Sync();
        map_.RefreshState();
    }
}

void KeyTyping::Press(KeyCode code, unsigned long delayMs)
{
    ++keysUnsettled_;
    ++keysTyped_;
    pressed_.push_back(code);
    guard_.KeyDown(code);
    XTestFakeKeyEvent(display_, code, True, delayMs);
}

void KeyTyping::Release(KeyCode code)
{
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    pressed_.erase(std::find(pressed_.begin(), pressed_.end(), code));
    released_.push_back(code);
}

void KeyTyping::Sync()
{
    if (std::exchange(grabbed_, false))
        XUngrabServer(display_);
    batch_ = 0;
    XSync(display_, False);
    Synced();
}

// Keys queued before the ungrab are delivered before any other client's next
// request: none of them can reach a window that took the focus meanwhile.
void KeyTyping::BeginBatch()
{
    if (!focusKept_ || grabbed_)
        return;
    XGrabServer(display_);
    grabbed_ = true;
    batch_ = 0;
    if (!focusKept_()) {
        Sync();
        throw FocusLostError(focusWindowName_ ? focusWindowName_() : std::string());
    }
}

// A release still in Xlib's buffer would be lost with the process: a key
// counts as up for the guard only once the server has its release.
void KeyTyping::Synced()
{
    for (KeyCode code : released_)
        if (std::find(pressed_.begin(), pressed_.end(), code) == pressed_.end())
            guard_.KeyUp(code);
    released_.clear();
}

}  // namespace kestrun
