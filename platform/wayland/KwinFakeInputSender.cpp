#include "platform/wayland/KwinFakeInputSender.h"

#include "core/Utf8.h"
#include "platform/PlatformError.h"
#include "platform/posix/ClientBacklog.h"
#include "platform/wayland/DataControl.h"
#include "platform/wayland/KwinTypingPlan.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeymap.h"

#include "fake-input-client-protocol.h"

#include <wayland-client.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace kestrun {

namespace {

// KWin hands each key to the focused client at once; a client that reads
// slower than keys come is disconnected once its socket fills (GTK windows,
// unpaced, in four runs of five). At 250 µs an event every client here read
// every key; twice that leaves a margin for a loaded machine.
constexpr auto kEventInterval = std::chrono::microseconds(500);
// Events are written in batches of at least this many, each of which ends
// with every key up: KWin keeps down what a client that dies pressed, and
// the focused window then repeats it. A batch goes in one write, so a
// Kestrun killed while typing leaves nothing down. After each batch a round
// trip, so that the pace is KWin's and not only the socket's.
constexpr std::size_t kBatch = 24;
// KWin draws each window's new frame for each key, and on a busy machine
// reads its clients' requests slower than keys come: a window whose requests
// KWin leaves unread fills its socket and loses its connection. So after each
// batch typing waits while KWin holds more than this unread.
constexpr std::size_t kCompositorBacklog = 32 * 1024;
constexpr auto kBacklogPoll = std::chrono::milliseconds(2);
// A compositor that reads nothing for this long has stopped reading.
constexpr auto kStalled = std::chrono::seconds(10);
// How long the focused window may take to ask for a pasted text.
constexpr int kPastePatience = 5000;

// The compositor's process: the peer of the connection.
pid_t CompositorProcess(wl_display* display)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(wl_display_get_fd(display), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return 0;
    return peer.pid;
}

}  // namespace

KwinFakeInputSender::KwinFakeInputSender(std::function<bool()> stopRequested,
                                         std::unique_ptr<WaylandConnection> connection)
    : stopRequested_(std::move(stopRequested)), connection_(std::move(connection))
{
    try {
        Connect();
    } catch (const PlatformError&) {
        // SendKeys tries again and says why.
    }
}

KwinFakeInputSender::~KwinFakeInputSender() { ReleaseAll(); }

std::string KwinFakeInputSender::RefusedMessage()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string path = error ? std::string("kestrun") : self.string();
    return "KWin does not let Kestrun type. Install Kestrun's desktop entry (kestrun.desktop, which asks for "
           "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input and has Exec=" + path +
           ") in ~/.local/share/applications or with Kestrun's package, then start Kestrun again.";
}

void KwinFakeInputSender::Connect()
{
    if (connection_ && wl_display_get_error(connection_->display()) == 0 && connection_->fakeInput())
        return;
    connection_ = WaylandConnection::Open();
    if (!connection_)
        throw PlatformError("No Wayland compositor answers.");
    if (!connection_->fakeInput())
        throw PlatformError(RefusedMessage());
    org_kde_kwin_fake_input_authenticate(connection_->fakeInput(), "Kestrun", "Types the keystrokes of your programs");
    connection_->RoundTrip();
}

void KwinFakeInputSender::SendKeys(const std::vector<KeyStroke>& strokes, bool)
{
    Connect();
    // KWin types with its own keymap, the one every client of the seat gets.
    const WaylandKeymap layout(connection_->SeatKeymap());
    const KwinTypingPlan plan = PlanFakeInput(layout, strokes);
    if (!plan.ok())
        throw PlatformError(plan.error);
    // Characters the layout lacks are pasted through the clipboard, whose
    // content the user gets back afterwards.
    const bool pastes = std::any_of(plan.pieces.begin(), plan.pieces.end(),
                                    [](const FakeInputPiece& piece) { return !piece.paste.empty(); });
    const KwinTypingPlan paste = PlanFakeInput(layout, {KeyStroke::Character('v', kControl)});
    if (pastes) {
        if (!clipboard_)
            clipboard_ = DataControl::Open();
        if (!clipboard_ || !paste.ok())
            throw PlatformError("The keyboard layout has no key for a character of this text, and the compositor "
                                "offers no clipboard to paste it through.");
        if (!clipboard_->Save())
            throw PlatformError("The clipboard's content cannot be kept to give it back: nothing was typed.");
    }
    try {
        for (const FakeInputPiece& piece : plan.pieces) {
            if (piece.paste.empty()) {
                TypeKeys(piece);
                continue;
            }
            std::string text;
            for (const char32_t c : piece.paste)
                AppendUtf8(text, c);
            clipboard_->Offer(text);
            for (const FakeInputPiece& keys : paste.pieces)
                TypeKeys(keys);
            if (!clipboard_->WaitUntilPasted(kPastePatience))
                throw PlatformError("The window did not take the pasted characters (with Ctrl+V).");
        }
        connection_->RoundTrip();
    } catch (...) {
        ReleaseAll();
        if (pastes)
            clipboard_->Restore();
        throw;
    }
    if (pastes)
        clipboard_->Restore();
}

void KwinFakeInputSender::TypeKeys(const FakeInputPiece& piece)
{
    std::optional<ClientBacklog> compositor;
    if (piece.keys.size() > kBatch) {
        compositor.emplace(CompositorProcess(connection_->display()));
        if (!compositor->Known())
            compositor.reset();
    }
    auto next = std::chrono::steady_clock::now();
    std::size_t batch = 0;
    for (const FakeKeyEvent& event : piece.keys) {
        // Hook for the process's termination signals: typing ends at the next batch.
        if (batch == 0 && stopRequested_ && stopRequested_())
            throw PlatformError("Typing was stopped.");
        Key(event.code, event.pressed);
        next += kEventInterval;
        if (++batch >= kBatch && down_.empty()) {
            connection_->Flush();
            connection_->RoundTrip();
            if (compositor && !WaitUntilRead(*compositor))
                throw PlatformError("KWin has stopped taking keys.");
            next = std::max(next, std::chrono::steady_clock::now());
            std::this_thread::sleep_until(next);
            batch = 0;
        }
    }
    connection_->Flush();
}

bool KwinFakeInputSender::WaitUntilRead(const ClientBacklog& compositor) const
{
    std::optional<std::size_t> unread = compositor.Pending();
    auto progress = std::chrono::steady_clock::now();
    while (unread && *unread > kCompositorBacklog) {
        if (stopRequested_ && stopRequested_())
            throw PlatformError("Typing was stopped.");
        std::this_thread::sleep_for(kBacklogPoll);
        const std::optional<std::size_t> now = compositor.Pending();
        if (now && *now < *unread)
            progress = std::chrono::steady_clock::now();
        else if (std::chrono::steady_clock::now() - progress > kStalled)
            return false;
        unread = now;
    }
    return true;
}

void KwinFakeInputSender::Key(std::uint32_t code, bool pressed)
{
    org_kde_kwin_fake_input_keyboard_key(connection_->fakeInput(), code,
                                         pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    if (pressed)
        down_.push_back(code);
    else
        std::erase(down_, code);
}

void KwinFakeInputSender::ReleaseAll() noexcept
{
    if (!connection_ || wl_display_get_error(connection_->display()) != 0) {
        down_.clear();
        return;
    }
    while (!down_.empty())
        Key(down_.back(), false);
    wl_display_roundtrip(connection_->display());
}

}  // namespace kestrun
