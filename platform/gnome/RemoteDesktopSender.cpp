#include "platform/gnome/RemoteDesktopSender.h"

#include "platform/PlatformError.h"
#include "platform/gnome/GnomeInputSources.h"
#include "platform/gnome/LayoutCharacters.h"
#include "platform/gnome/RemoteDesktopPlan.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <optional>
#include <thread>

namespace kestrun {

namespace {

// mutter hands keys on to the focused window as fast as they come: unpaced,
// a GTK window was disconnected after some 70 characters, and Qt took keys
// held too long for repeats. One event a millisecond arrived exactly, in ten
// runs of 1,000 characters into each on a loaded machine of 2 cores: the
// waits for mutter's answers, not the pace, were what held typing back.
constexpr auto kEventPace = std::chrono::microseconds(1000);
// The seat gets a keyboard with the session's first key, and clients bind
// to it only once told: keys before that are lost to them (in Qt, one or two
// in five sessions here).
constexpr auto kKeyboardSettle = std::chrono::milliseconds(250);
// Keys go without waiting for mutter's answer, which under load takes
// longer than the pace (some 17 ms here, a frame of mutter's); every so
// many, a checkpoint, whose answer typing waits for at the next one, so that
// the keys sent never run far ahead of mutter and a failure shows, without
// a stop of that long at each.
constexpr unsigned kAnswerEvery = 32;
// A window takes the pasted text once it has the clipboard's offer and the
// paste key: it asks for the text within this (a busy one late), or has
// not taken it.
constexpr auto kPasteLimit = std::chrono::seconds(3);
constexpr int kPasteAttempts = 3;
constexpr auto kCopyLimit = std::chrono::milliseconds(500);
constexpr auto kCopyQuiet = std::chrono::milliseconds(20);
// After the last transfer, time for the window to read its end and insert
// the text before the next keys come and before the user's clipboard is back.
constexpr auto kPasteQuiet = std::chrono::milliseconds(20);

// The clipboard's text in the types Wayland and X programs ask for.
ClipboardContent TextContent(const std::string& text)
{
    ClipboardContent content;
    for (const char* type : {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "STRING", "TEXT"})
        content.data.emplace_back(type, text);
    return content;
}

}  // namespace

RemoteDesktopSender::RemoteDesktopSender(RemoteDesktopSession::Route route, std::function<bool()> stopRequested)
    : route_(route), stopRequested_(std::move(stopRequested))
{
    // mutter's own session asks nobody, so it is ready before the first run;
    // the portal's asks the user, which waits for the first keys.
    if (route_ == RemoteDesktopSession::Route::Mutter) {
        try {
            Begin();
        } catch (const PlatformError&) {
            // SendKeys tries again and says why.
        }
    }
}

RemoteDesktopSender::~RemoteDesktopSender() = default;

void RemoteDesktopSender::Begin()
{
    if (session_ && session_->alive())
        return;
    session_ = std::make_unique<RemoteDesktopSession>(route_);
    session_->Start(stopRequested_);
    // mutter makes the session's keyboard at its first key, and that key is
    // lost: a Shift tap, taken whole before anything else, makes it.
    session_->Key(XKB_KEY_Shift_L, true);
    session_->Key(XKB_KEY_Shift_L, false);
    next_ = std::chrono::steady_clock::now() + kKeyboardSettle;
}

const LayoutCharacters& RemoteDesktopSender::Layout()
{
    const InputSourceLayout current = GnomeCurrentLayout();
    const std::string name = current.layout + "+" + current.variant;
    if (!layout_ || name != layoutName_) {
        layout_ = std::make_unique<LayoutCharacters>(current.layout, current.variant);
        layoutName_ = name;
    }
    if (layout_->empty())
        throw PlatformError("The keyboard layout \"" + current.layout + "\" could not be read.");
    return *layout_;
}

void RemoteDesktopSender::Event(unsigned long keysym, bool down)
{
    std::this_thread::sleep_until(next_);
    if (down)
        held_.push_back(keysym);
    else
        held_.erase(std::find(held_.begin(), held_.end(), keysym));
    session_->Key(keysym, down, false);
    if (++events_ % kAnswerEvery == 0)
        session_->Checkpoint();
    next_ = std::max(next_ + kEventPace, std::chrono::steady_clock::now());
}

void RemoteDesktopSender::Press(unsigned long keysym)
{
    // Down and up sent together, so that they reach the window together:
    // a window that gets the press alone while mutter is kept from the
    // release (a loaded machine) repeats the key until the release comes.
    std::this_thread::sleep_until(next_);
    held_.push_back(keysym);
    session_->Key(keysym, true, false);
    session_->Key(keysym, false, false);
    if ((events_ += 2) % kAnswerEvery < 2)
        session_->Checkpoint();
    held_.pop_back();
    next_ = std::max(next_ + 2 * kEventPace, std::chrono::steady_clock::now());
}

void RemoteDesktopSender::Tap(unsigned long keysym, std::uint8_t modifiers)
{
    static constexpr std::pair<KeyModifier, unsigned long> kModifierKeys[] = {
        {kControl, XKB_KEY_Control_L}, {kAlt, XKB_KEY_Alt_L}, {kShift, XKB_KEY_Shift_L}};
    for (const auto& [bit, key] : kModifierKeys)
        if (modifiers & bit)
            Event(key, true);
    Press(keysym);
    while (!held_.empty())
        Event(held_.back(), false);
}

void RemoteDesktopSender::ReleaseAll() noexcept
{
    while (!heldCodes_.empty()) {
        const unsigned code = heldCodes_.back();
        heldCodes_.pop_back();
        try {
            session_->KeyCode(code, false);
        } catch (const PlatformError&) {
            // A session that is gone holds no key.
        }
    }
    while (!held_.empty()) {
        const unsigned long keysym = held_.back();
        held_.pop_back();
        try {
            session_->Key(keysym, false);
        } catch (const PlatformError&) {
            // A session that is gone holds no key.
        }
    }
}

// Ctrl+V by the keys' places: layouts without Latin letters (Russian, say)
// have no keysym v in their group, but toolkits match shortcuts by the key.
void RemoteDesktopSender::PasteKey()
{
    constexpr unsigned kLeftControl = 29, kV = 47;  // evdev codes
    std::this_thread::sleep_until(next_);
    heldCodes_.push_back(kLeftControl);
    session_->KeyCode(kLeftControl, true);
    std::this_thread::sleep_for(kEventPace);
    heldCodes_.push_back(kV);
    session_->KeyCode(kV, true, false);
    session_->KeyCode(kV, false);
    heldCodes_.pop_back();
    std::this_thread::sleep_for(kEventPace);
    session_->KeyCode(kLeftControl, false);
    heldCodes_.pop_back();
    next_ = std::chrono::steady_clock::now() + kEventPace;
}

void RemoteDesktopSender::Paste(const std::string& text)
{
    session_->Sync();
    // A paste key that brought no request for the text pasted nothing of
    // it, so another cannot paste it twice. Now and then (one in some dozen
    // first pastes into a Qt window that has just got the keyboard) a
    // window never asks for an offer; a new offer it takes.
    for (int attempt = 0;; ++attempt) {
        session_->SetClipboard(TextContent(text));
        // mutter keeps a copy of each new clipboard's text, for when its
        // owner goes; its fetch comes at once and is not the window's.
        session_->WaitForTransfers(1, kCopyLimit, kCopyQuiet);
        const std::size_t before = session_->Transfers();
        PasteKey();
        if (session_->WaitForTransfers(before + 1, kPasteLimit, kPasteQuiet))
            break;
        if (attempt + 1 == kPasteAttempts)
            throw PlatformError("The window did not take the pasted characters.");
    }
    next_ = std::max(next_, std::chrono::steady_clock::now());
}

void RemoteDesktopSender::SendKeys(const std::vector<KeyStroke>& strokes, bool)
{
    Begin();
    const RemoteTypingPlan plan = PlanRemoteTyping(strokes, Layout());
    if (!plan.ok())
        throw PlatformError(plan.error);
    if (plan.pastes() && !session_->HasClipboard())
        throw PlatformError("Here Kestrun types only characters of the keyboard layout: GNOME's remote desktop "
                            "portal offers it no clipboard.");
    std::optional<ClipboardContent> users;
    try {
        for (const RemoteStep& step : plan.steps) {
            if (stopRequested_ && stopRequested_())
                throw PlatformError("Typing was stopped.");
            if (step.keysym != 0) {
                Tap(step.keysym, step.modifiers);
                continue;
            }
            if (!users)
                users = session_->ReadClipboard();
            Paste(step.paste);
        }
        session_->Sync();
    } catch (...) {
        ReleaseAll();
        if (users)
            session_->SetClipboard(std::move(*users));
        throw;
    }
    if (users)
        session_->SetClipboard(std::move(*users));
}

}  // namespace kestrun
