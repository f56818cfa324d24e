#pragma once

#include <memory>
#include <string>

struct wl_display;
struct wl_keyboard;
struct wl_registry;
struct wl_seat;
struct zwlr_foreign_toplevel_manager_v1;
struct zwp_virtual_keyboard_manager_v1;
struct org_kde_kwin_fake_input;

namespace kestrun {

/// A client connection to the Wayland compositor of the session, with the
/// globals Kestrun uses: the first seat, and where offered the virtual
/// keyboard manager, KWin's fake input and the foreign toplevel manager.
class WaylandConnection {
public:
    /// Connects to the compositor that WAYLAND_DISPLAY names; nullptr when
    /// that variable is not set or no compositor answers there.
    static std::unique_ptr<WaylandConnection> Open();
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return display_; }
    wl_seat* seat() const { return seat_; }
    /// The virtual keyboard manager; nullptr when the compositor has none.
    zwp_virtual_keyboard_manager_v1* keyboards() const { return keyboards_; }
    /// KWin's fake input (version 4, which types keys); nullptr when the
    /// compositor does not offer it to this program.
    org_kde_kwin_fake_input* fakeInput() const { return fakeInput_; }
    /// Whether the compositor is KWin: it offers globals of KDE's own.
    bool kwin() const { return kwin_; }
    /// Binds a new foreign toplevel manager, which lists every toplevel at
    /// once; nullptr when the compositor has none.
    zwlr_foreign_toplevel_manager_v1* BindToplevels();

    /// The keymap the seat's keyboard has now, in the xkb text format; empty
    /// when the seat has no keyboard. Throws PlatformError when the
    /// connection is lost.
    std::string SeatKeymap();

    /// Returns once the compositor has handled every request sent so far.
    /// Throws PlatformError when the connection is lost.
    void RoundTrip();

    /// Writes the requests queued so far, waiting while the socket is full.
    /// Throws PlatformError when the connection is lost.
    void Flush();

private:
    explicit WaylandConnection(wl_display* display);
    static void OnGlobal(void* data, wl_registry* registry, unsigned name, const char* interface, unsigned version);
    static void OnGlobalRemove(void* data, wl_registry* registry, unsigned name);
    static void OnCapabilities(void* data, wl_seat* seat, unsigned capabilities);
    static void OnSeatName(void* data, wl_seat* seat, const char* name);
    static void OnKeymap(void* data, wl_keyboard* keyboard, unsigned format, int fd, unsigned size);

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboards_ = nullptr;
    org_kde_kwin_fake_input* fakeInput_ = nullptr;
    bool kwin_ = false;
    unsigned toplevelsName_ = 0;
    std::string keymap_;
};

}  // namespace kestrun
