#include "platform/linux/XTestKeySender.h"

#include "platform/KeyNotation.h"
#include "platform/PlatformError.h"
#include "platform/TerminationSignals.h"
#include "platform/linux/KeyboardGuard.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/XkbKeyMap.h"

#include <X11/XF86keysym.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

namespace kestrun {

namespace {

// Time given to the receiving client to translate the keys typed on spare
// codes before those codes change meaning again, plus a little for each key
// it may still have to read. X offers no way to know when another client has
// read its events.
constexpr auto kRemapSettleTime = std::chrono::milliseconds(400);
constexpr auto kRemapSettleTimePerKey = std::chrono::microseconds(250);

int gXErrors = 0;
int CountXError(Display*, XErrorEvent*)
{
    ++gXErrors;
    return 0;
}

// Installs an error handler that counts errors instead of ending the process.
class XErrorTrap {
public:
    XErrorTrap() : previous_(XSetErrorHandler(CountXError)) { gXErrors = 0; }
    ~XErrorTrap() { XSetErrorHandler(previous_); }
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

private:
    int (*previous_)(Display*, XErrorEvent*);
};

KeySym NamedKeySym(NamedKey key)
{
    switch (key) {
    case NamedKey::Backspace: return XK_BackSpace;
    case NamedKey::Break: return XK_Break;
    case NamedKey::CapsLock: return XK_Caps_Lock;
    case NamedKey::Clear: return XK_Clear;
    case NamedKey::Delete: return XK_Delete;
    case NamedKey::Down: return XK_Down;
    case NamedKey::End: return XK_End;
    case NamedKey::Enter: return XK_Return;
    case NamedKey::Escape: return XK_Escape;
    case NamedKey::Help: return XK_Help;
    case NamedKey::Home: return XK_Home;
    case NamedKey::Insert: return XK_Insert;
    case NamedKey::Left: return XK_Left;
    case NamedKey::NumLock: return XK_Num_Lock;
    case NamedKey::PageDown: return XK_Next;
    case NamedKey::PageUp: return XK_Prior;
    case NamedKey::PrintScreen: return XK_Print;
    case NamedKey::Right: return XK_Right;
    case NamedKey::ScrollLock: return XK_Scroll_Lock;
    case NamedKey::Tab: return XK_Tab;
    case NamedKey::Up: return XK_Up;
    case NamedKey::KeypadAdd: return XK_KP_Add;
    case NamedKey::KeypadSubtract: return XK_KP_Subtract;
    case NamedKey::KeypadMultiply: return XK_KP_Multiply;
    case NamedKey::KeypadDivide: return XK_KP_Divide;
    default:
        return XK_F1 + (static_cast<int>(key) - static_cast<int>(NamedKey::F1));
    }
}

bool IsLockKey(const KeyStroke& stroke)
{
    return stroke.named && (stroke.key == NamedKey::CapsLock || stroke.key == NamedKey::NumLock ||
                            stroke.key == NamedKey::ScrollLock);
}

// One sequence being typed. Whatever ends it, the destructor releases every
// key still down and gives the spare codes back their empty mapping.
class Typing {
public:
    Typing(Display* display, int& mappingChanges, KeyboardGuard& guard)
        : display_(display), map_(display), mappingChanges_(mappingChanges), guard_(guard) {}

    ~Typing()
    {
        for (auto code = pressed_.rbegin(); code != pressed_.rend(); ++code) {
            XTestFakeKeyEvent(display_, *code, False, CurrentTime);
            released_.push_back(*code);
        }
        pressed_.clear();
        if (!mapped_.empty()) {
            Settle();
            std::map<KeyCode, KeySym> empty;
            for (const auto& entry : mapped_)
                empty[entry.first] = NoSymbol;
            ChangeMapping(empty);
        }
        XSync(display_, False);
        Synced();
        if (!mapped_.empty())
            guard_.Restored();
    }

    Typing(const Typing&) = delete;
    Typing& operator=(const Typing&) = delete;

    void Type(const std::vector<KeyStroke>& strokes)
    {
        std::size_t next = 0;
        while (next < strokes.size()) {
            const std::size_t end = PlanBatch(strokes, next);
            for (; next < end; ++next) {
                if (TerminationRequested())
                    throw PlatformError("Typing stopped: Kestrun is ending.");
                TypeStroke(strokes[next]);
            }
        }
    }

private:
    unsigned HeldMask(std::uint8_t modifiers) const
    {
        unsigned mask = 0;
        if (modifiers & kControl) mask |= ControlMask;
        if (modifiers & kAlt) mask |= map_.AltMask();
        return mask;
    }

    // Maps the keysyms that no key produces, from `first` on, onto the spare
    // codes, as many strokes as the codes allow; returns where that batch ends.
    std::size_t PlanBatch(const std::vector<KeyStroke>& strokes, std::size_t first)
    {
        const auto& spare = map_.SpareCodes();
        std::map<KeySym, KeyCode> batch;
        std::size_t end = first;
        for (; end < strokes.size(); ++end) {
            const KeySym sym = KeySymFor(strokes[end]);
            if (map_.Find(sym, HeldMask(strokes[end].modifiers)) || batch.contains(sym))
                continue;
            if (batch.size() == spare.size())
                break;
            const KeyCode code = spare[batch.size()];
            batch[sym] = code;
        }
        if (end == first)
            throw PlatformError("There is no spare key code to type with.");
        if (batch.empty())
            return end;

        std::map<KeyCode, KeySym> changes;
        for (const auto& [sym, code] : batch) {
            const auto old = mapped_.find(code);
            if (old == mapped_.end() || old->second != sym)
                changes[code] = sym;
        }
        if (!changes.empty() && !mapped_.empty())
            Settle();
        std::vector<BorrowedCode> borrowing;
        for (const auto& [code, sym] : changes)
            borrowing.push_back({code, {NoSymbol, NoSymbol}, {sym, sym}});
        guard_.Borrowing(borrowing);
        ChangeMapping(changes);
        for (const auto& [code, sym] : changes)
            mapped_[code] = sym;
        bySym_.clear();
        for (const auto& [sym, code] : batch)
            bySym_[sym] = code;
        return end;
    }

    // One request per run of consecutive codes: each request makes every client
    // reload its keymap.
    void ChangeMapping(const std::map<KeyCode, KeySym>& changes)
    {
        auto it = changes.begin();
        while (it != changes.end()) {
            std::vector<KeySym> syms;
            const KeyCode first = it->first;
            KeyCode expected = first;
            for (; it != changes.end() && it->first == expected; ++it, ++expected) {
                syms.push_back(it->second);
                syms.push_back(it->second);
            }
            XChangeKeyboardMapping(display_, first, 2, syms.data(), static_cast<int>(syms.size() / 2));
            ++mappingChanges_;
        }
    }

    void Settle()
    {
        XSync(display_, False);
        Synced();
        std::this_thread::sleep_for(kRemapSettleTime + keysSinceSettled_ * kRemapSettleTimePerKey);
        keysSinceSettled_ = 0;
    }

    void TypeStroke(const KeyStroke& stroke)
    {
        const KeySym sym = KeySymFor(stroke);
        const unsigned held = HeldMask(stroke.modifiers);
        KeyChoice choice;
        if (const auto spare = bySym_.find(sym); spare != bySym_.end())
            choice = {spare->second, 0};
        else if (const auto found = map_.Find(sym, held))
            choice = *found;
        else
            throw PlatformError("No key types the keysym " + std::to_string(sym) + ".");

        unsigned mods = choice.modifiers | held;
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
        Press(choice.code);
        Release(choice.code);
        for (auto key = modifierKeys.rbegin(); key != modifierKeys.rend(); ++key)
            Release(*key);
        if (IsLockKey(stroke)) {
            XSync(display_, False);
            map_.RefreshState();
        }
    }

    void Press(KeyCode code)
    {
        ++keysSinceSettled_;
        pressed_.push_back(code);
        guard_.KeyDown(code);
        XTestFakeKeyEvent(display_, code, True, CurrentTime);
    }

    void Release(KeyCode code)
    {
        XTestFakeKeyEvent(display_, code, False, CurrentTime);
        pressed_.erase(std::find(pressed_.begin(), pressed_.end(), code));
        released_.push_back(code);
    }

    // A key counts as up for the guard once its release reached the server.
    void Synced()
    {
        for (KeyCode code : released_)
            if (std::find(pressed_.begin(), pressed_.end(), code) == pressed_.end())
                guard_.KeyUp(code);
        released_.clear();
    }

    Display* display_;
    XkbKeyMap map_;
    std::vector<KeyCode> pressed_;
    std::map<KeyCode, KeySym> mapped_;  // spare codes in use, with their keysym
    std::map<KeySym, KeyCode> bySym_;   // the current batch's missing keysyms
    std::vector<KeyCode> released_;  // not yet known to the server
    int& mappingChanges_;
    KeyboardGuard& guard_;
    int keysSinceSettled_ = 0;
};

}  // namespace

unsigned long KeySymFor(const KeyStroke& stroke)
{
    if (stroke.named)
        return NamedKeySym(stroke.key);
    const char32_t c = stroke.character;
    if ((c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF))
        return c;
    if (c == 0x20AC)
        return XK_EuroSign;
    return 0x01000000 | c;
}

int TypeStrokes(Display* display, const std::vector<KeyStroke>& strokes, KeyboardGuard& guard)
{
    int major = 0, minor = 0, event = 0, error = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor))
        throw PlatformError("The X server has no XTest extension.");
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    int opcode = 0;
    if (!XkbQueryExtension(display, &opcode, &event, &error, &major, &minor))
        throw PlatformError("The X server has no XKEYBOARD extension.");
    XErrorTrap trap;
    int changes = 0;
    Typing(display, changes, guard).Type(strokes);
    XSync(display, False);
    if (gXErrors != 0)
        throw PlatformError("The X server refused some of the keys.");
    return changes;
}

void XTestKeySender::SendKeys(const std::string& text, bool /*wait*/)
{
    const KeySequence sequence = ParseKeySequence(text);
    if (!sequence.ok())
        throw PlatformError(sequence.error);
    X11Connection connection;
    const auto guard = StartKeyboardGuard(DisplayString(connection.get()));
    TypeStrokes(connection.get(), sequence.strokes, *guard);
}

}  // namespace kestrun
