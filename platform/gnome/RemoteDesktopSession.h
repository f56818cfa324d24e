#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;
typedef struct _GVariant GVariant;

namespace kestrun {

/// What a clipboard held: its data by MIME type, in the owner's order.
struct ClipboardContent {
    std::vector<std::pair<std::string, std::string>> data;
    bool empty() const { return data.empty(); }
};

/// A remote-desktop session of GNOME on the session bus: a keyboard that
/// types keysyms of the user's layout, and a clipboard of its own.
///
/// Users reach it through the desktop portal (org.freedesktop.portal.
/// RemoteDesktop), which asks them once for each session; mutter's own
/// org.gnome.Mutter.RemoteDesktop serves where no portal answers (a bare
/// mutter, as in a test). The session lives as long as this object and dies
/// with its bus connection, so a Kestrun that is killed leaves no key down.
/// The bus's signals are handled on a thread of its own, which also hands the
/// clipboard's data to whoever pastes it, at any time.
class RemoteDesktopSession {
public:
    enum class Route { Portal, Mutter };

    /// The route this session bus offers, if any: the portal's when it has a
    /// RemoteDesktop interface, else mutter's when mutter answers.
    static bool Available(Route& route);

    /// Connects; nothing is asked of the user yet. Throws PlatformError.
    explicit RemoteDesktopSession(Route route);
    ~RemoteDesktopSession();
    RemoteDesktopSession(const RemoteDesktopSession&) = delete;
    RemoteDesktopSession& operator=(const RemoteDesktopSession&) = delete;

    Route route() const { return route_; }
    bool started() const { return started_; }
    /// Started, and neither closed by GNOME nor cut off from the bus.
    bool alive();

    /// Creates and starts the session: through the portal, its dialog asks
    /// the user, and this waits for the answer until `stop` says so. Throws
    /// PlatformError when refused or failed.
    void Start(const std::function<bool()>& stop);

    /// Presses or releases the key of `keysym`; with `wait`, returns once the
    /// compositor has taken it (and everything sent before), else at once.
    void Key(unsigned long keysym, bool down, bool wait = true);
    /// The same for the key with evdev code `code`, whatever it types.
    void KeyCode(unsigned code, bool down, bool wait = true);

    /// Returns once the compositor has taken every key sent before.
    void Sync();
    /// Asks, without waiting, to be told once the compositor has taken every
    /// key sent before, and waits until it has taken those sent before the
    /// last checkpoint: keys run at most one checkpoint ahead, without a stop
    /// for each answer. Throws PlatformError when the compositor refused it.
    void Checkpoint();

    /// Whether the session has a clipboard (mutter's own interface has; the
    /// portal of Debian 12 has none).
    bool HasClipboard() const { return route_ == Route::Mutter; }
    /// What the user's clipboard holds now (nothing when Kestrun's session
    /// owns it, or nothing owns it).
    ClipboardContent ReadClipboard();
    /// Makes `content` the clipboard, served by this session; an empty one
    /// leaves the clipboard empty. The count of transfers starts again at 0.
    void SetClipboard(ClipboardContent content);
    /// Transfers of the clipboard asked of this session since it was set.
    std::size_t Transfers();
    /// Waits until at least `count` transfers have been asked for, for
    /// `limit` at most, then until all are served and none comes for
    /// `quiet`; whether `count` came.
    bool WaitForTransfers(std::size_t count, std::chrono::milliseconds limit, std::chrono::milliseconds quiet);

private:
    void Notify(const char* method, std::uint32_t value, bool down, bool wait);
    GVariant* Call(const std::string& path, const char* interface, const char* method, GVariant* parameters,
                   const char* replyType, int timeout = -1);
    GVariant* PortalRequest(const char* method, GVariant* parameters, const std::string& token,
                            const std::function<bool()>& stop);
    void Subscribe(const char* interface, const std::string& path);
    void OnSignal(const std::string& path, const std::string& name, GVariant* parameters);
    void ServeTransfer(const std::string& mime, unsigned serial);

    Route route_;
    GDBusConnection* bus_ = nullptr;
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    std::thread signals_;
    std::vector<unsigned> subscriptions_;
    std::string session_;  // its object path
    bool started_ = false;
    unsigned requests_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, GVariant*> responses_;  // portal requests' results, by request path
    std::vector<std::string> offered_;            // the MIME types the clipboard's owner offers
    bool ownClipboard_ = false;
    ClipboardContent served_;
    std::size_t requested_ = 0;  // transfers asked for since the clipboard was set
    std::size_t transfers_ = 0;  // and served
    std::chrono::steady_clock::time_point lastTransfer_;
    bool closed_ = false;
    std::size_t drains_ = 0;  // times the signal thread caught up
    std::uint64_t checkpoints_ = 0;  // asked for
    std::uint64_t answered_ = 0;     // and answered
    std::string checkpointError_;
};

}  // namespace kestrun
