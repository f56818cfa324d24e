#include "platform/wayland/VirtualKeyboardSender.h"

#include "platform/PlatformError.h"
#include "platform/posix/ClientBacklog.h"
#include "platform/wayland/CompositorIpc.h"
#include "platform/wayland/FocusWatch.h"
#include "platform/wayland/KeyboardLayouts.h"
#include "platform/wayland/KeymapUpload.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeymap.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace kestrun {

namespace {

// Keys written to the socket at once. A stroke is at most three requests of
// at most 24 bytes; the batch stays well below the client library's 4 KiB
// buffer, so nothing is written but whole batches, each of which ends with
// every key up and no modifier held.
constexpr std::size_t kBatch = 32;
// While the focus is watched, the compositor has handled each batch before
// the next one goes: with no way to hold the focus still, the keys of one
// batch are what can reach a window that took the focus meanwhile.
constexpr std::size_t kWatchedBatch = 4;
static_assert(kBatch % kWatchedBatch == 0);

// The compositor passes keys on to the focused client as fast as they come,
// and disconnects a client whose socket fills up: Chromium, which handles a
// few hundred keys a second, is gone after some thousand keys sent at once.
// So each batch waits until the target has read what it holds, down to
// kBacklog bytes (a hundred keys or so). Where the target's sockets cannot be
// seen, a text up to kBurst keys goes at once and longer ones at kKeyInterval;
// so also into X programs, for XWayland reads its keys at once and drops what
// its own input queue cannot hold (an eighth of 2,000 characters sent at once).
constexpr std::size_t kBacklog = 16 * 1024;
constexpr auto kBacklogPoll = std::chrono::milliseconds(2);
// A target that reads none of its keys for this long has stopped reading.
constexpr auto kStalled = std::chrono::seconds(10);
// X programs under XWayland translate a key with the keymap XWayland has when
// they read it, not the one it was pressed with; the slowest here (Writer with
// GTK) takes some 145 keys a second. So a keymap follows keys typed into an X
// program only once it can have read them.
constexpr auto kXKeyTime = std::chrono::milliseconds(7);

// Lock and Mod2: Caps Lock and Num Lock in every keymap of xkeyboard-config.
constexpr std::uint32_t kLocks = (1u << 1) | (1u << 4);
constexpr std::size_t kBurst = 1024;
constexpr auto kKeyInterval = std::chrono::microseconds(250);
// XWayland's input queue is short, and a busy XWayland that lets its socket
// fill is disconnected by the compositor with every X program in it: keys for
// X programs go in small bursts at a pace a loaded machine keeps.
constexpr std::size_t kXBurst = 128;
constexpr auto kXKeyInterval = std::chrono::microseconds(1000);

std::uint32_t Now()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

const LayoutList& Layouts()
{
    static const LayoutList list = [] {
        const char* root = std::getenv("XKB_CONFIG_ROOT");
        std::ifstream file(std::string(root && *root ? root : "/usr/share/X11/xkb") + "/rules/evdev.lst");
        std::ostringstream text;
        text << file.rdbuf();
        return LayoutList(text.str());
    }();
    return list;
}

// The layout the compositor says the user's keyboard has: sway's and
// Hyprland's lists of input devices name it.
std::optional<LayoutName> CompositorLayout()
{
    if (const auto inputs = SwayRequest(SwayMessage::GetInputs, ""))
        return UserLayout(SwayKeyboards(*inputs), Layouts());
    if (const auto devices = HyprlandRequest("j/devices"))
        return UserLayout(HyprlandKeyboards(*devices), Layouts());
    return std::nullopt;
}

}  // namespace

VirtualKeyboardSender::VirtualKeyboardSender(std::function<bool()> stopRequested,
                                             std::unique_ptr<WaylandConnection> connection)
    : stopRequested_(std::move(stopRequested)), connection_(std::move(connection))
{
    // The keyboard comes before the run starts and activates programs: when
    // a seat gets its first keyboard after the focus moved, the focused
    // window receives none of its keys.
    try {
        Connect();
    } catch (const PlatformError&) {
        // SendKeys tries again and says why.
    }
}

VirtualKeyboardSender::~VirtualKeyboardSender()
{
    if (keyboard_)
        zwp_virtual_keyboard_v1_destroy(keyboard_);
    if (connection_)
        wl_display_flush(connection_->display());
}

std::string VirtualKeyboardSender::Connect()
{
    if (keyboard_ && wl_display_get_error(connection_->display()) == 0)
        return UserKeymap();
    // A lost connection took the keyboard with it; only the proxy is left.
    if (keyboard_)
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(keyboard_));
    keyboard_ = nullptr;
    if (!connection_ || wl_display_get_error(connection_->display()) != 0)
        connection_ = WaylandConnection::Open();
    if (!connection_)
        throw PlatformError("No Wayland compositor answers.");
    if (!connection_->keyboards() || !connection_->seat()) {
        connection_.reset();
        throw PlatformError("The compositor offers no virtual keyboard.");
    }
    // Read before the new keyboard takes the seat with a keymap of the
    // compositor's choosing, which it then trades for the user's.
    std::string userKeymap = UserKeymap();
    keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(connection_->keyboards(), connection_->seat());
    keymap_.clear();
    Restore(WaylandKeymap(userKeymap).Text());
    return userKeymap;
}

// The seat's keymap is that of whichever keyboard typed last: another
// program's virtual keyboard (wtype's, say) leaves it one with only the few
// keys that program typed, which as the user's would leave no letter and no
// free code. So the compositor's word comes first, and a seat keymap counts
// only when it names a layout of xkeyboard-config; else xkbcommon's defaults.
std::string VirtualKeyboardSender::UserKeymap()
{
    if (const auto layout = CompositorLayout()) {
        if (layout == layout_ && !layoutKeymap_.empty())
            return layoutKeymap_;
        if (std::string text = WaylandKeymap::ForLayout(layout->layout, layout->variant); !text.empty()) {
            layout_ = *layout;
            return layoutKeymap_ = std::move(text);
        }
    }
    std::string seat = connection_->SeatKeymap();
    if (!seat.empty() && !Layouts().Find(WaylandKeymap(seat).LayoutDescription()))
        return "";
    return seat;
}

void VirtualKeyboardSender::SetModifiers(std::uint32_t modifiers)
{
    if (modifiers == modifiers_)
        return;
    // Nothing latched, nothing locked, the first group: each character types
    // itself whatever Caps Lock or the user's group is.
    zwp_virtual_keyboard_v1_modifiers(keyboard_, modifiers, 0, 0, 0);
    modifiers_ = modifiers;
}

void VirtualKeyboardSender::SendKeys(const std::vector<KeyStroke>& strokes, bool)
{
    const WaylandKeymap layout(Connect());
    const WaylandTypingPlan plan = layout.Plan(strokes);
    if (!plan.ok())
        throw PlatformError(plan.error);

    const std::optional<FocusedWindow> focused = FocusedWindowNow();
    const bool x11 = focused && focused->x11;
    std::optional<ClientBacklog> target;
    if (focused && !x11 && plan.steps.size() > kBatch) {
        target.emplace(static_cast<pid_t>(focused->pid));
        if (!target->Known())
            target.reset();
    }
    try {
        // The window focused now is the one the keys are for.
        const std::unique_ptr<FocusWatch> watch = WatchFocus(*connection_);
        const std::size_t batch = watch ? kWatchedBatch : kBatch;
        const auto start = std::chrono::steady_clock::now();
        std::size_t keymap = 0;
        ChangeKeymap(plan.keymaps[keymap]);
        for (std::size_t i = 0; i < plan.steps.size(); ++i) {
            // Hook for the process's termination signals: typing ends at the next key.
            if (stopRequested_ && stopRequested_())
                throw PlatformError("Typing was stopped.");
            if (watch && i % batch == 0 && !watch->Kept())
                throw FocusLostError(watch->Title());
            const WaylandKeyStep& step = plan.steps[i];
            if (step.keymap != keymap) {
                SetModifiers(0);
                connection_->RoundTrip();
                ChangeKeymap(plan.keymaps[keymap = step.keymap]);
            }
            SetModifiers(step.modifiers);
            const std::uint32_t time = Now();
            zwp_virtual_keyboard_v1_key(keyboard_, time, step.code, WL_KEYBOARD_KEY_STATE_PRESSED);
            zwp_virtual_keyboard_v1_key(keyboard_, time, step.code, WL_KEYBOARD_KEY_STATE_RELEASED);
            // The compositor locks nothing for a virtual keyboard, but XWayland
            // runs the key through its own state; it takes the locks the
            // compositor passes on, which it does only when they change.
            if (step.locks) {
                zwp_virtual_keyboard_v1_modifiers(keyboard_, modifiers_, 0, kLocks, 0);
                zwp_virtual_keyboard_v1_modifiers(keyboard_, modifiers_, 0, 0, 0);
            }
            if (x11) {
                ++xKeys_;
                xLastKey_ = std::chrono::steady_clock::now();
            }
            if ((i + 1) % batch == 0) {
                SetModifiers(0);
                connection_->Flush();
                // The compositor has handed on every key so far once it answers.
                connection_->RoundTrip();
            }
            if ((i + 1) % kBatch == 0) {
                if (target && !WaitUntilRead(*target, kBacklog, kStalled))
                    throw PlatformError("The window has stopped taking keys.");
                const std::size_t burst = x11 ? kXBurst : kBurst;
                if (!target && i + 1 > burst)
                    std::this_thread::sleep_until(start + (i + 1 - burst) * (x11 ? kXKeyInterval : kKeyInterval));
            }
        }
    } catch (...) {
        Restore(layout.Text());
        throw;
    }
    // Returning after the round trip means the compositor has handled every
    // key, in order, before the keymap went back. An X program keeps the
    // keymap it was typed with until the next change, which waits for it.
    if (x11) {
        SetModifiers(0);
        connection_->RoundTrip();
        return;
    }
    Restore(layout.Text());
}

void VirtualKeyboardSender::ChangeKeymap(const std::string& keymap)
{
    if (keymap == keymap_)
        return;
    if (xKeys_ > 0) {
        std::this_thread::sleep_until(xLastKey_ + static_cast<long>(xKeys_) * kXKeyTime);
        xKeys_ = 0;
    }
    UploadKeymap(keyboard_, keymap);
    keymap_ = keymap;
    // A new keymap starts with no modifier down.
    modifiers_ = 0;
}

bool VirtualKeyboardSender::WaitUntilRead(const ClientBacklog& target, std::size_t limit,
                                          std::chrono::milliseconds patience) const
{
    std::optional<std::size_t> unread = target.Pending();
    auto progress = std::chrono::steady_clock::now();
    while (unread && *unread > limit) {
        if (stopRequested_ && stopRequested_())
            throw PlatformError("Typing was stopped.");
        std::this_thread::sleep_for(kBacklogPoll);
        const std::optional<std::size_t> now = target.Pending();
        if (now && *now < *unread)
            progress = std::chrono::steady_clock::now();
        else if (std::chrono::steady_clock::now() - progress > patience)
            return false;
        unread = now;
    }
    return true;
}

void VirtualKeyboardSender::Restore(const std::string& keymap)
{
    if (wl_display_get_error(connection_->display()) != 0)
        return;
    SetModifiers(0);
    ChangeKeymap(keymap);
    connection_->RoundTrip();
}

}  // namespace kestrun
