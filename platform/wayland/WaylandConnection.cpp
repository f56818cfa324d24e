#include "platform/wayland/WaylandConnection.h"

#include "platform/PlatformError.h"

#include "fake-input-client-protocol.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kestrun {

std::unique_ptr<WaylandConnection> WaylandConnection::Open()
{
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name)
        return nullptr;
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    // The first round trip lists the globals, the second the seat's
    // capabilities, the third the keyboard's keymap.
    for (int i = 0; i < 3; ++i)
        if (wl_display_roundtrip(display) < 0)
            return nullptr;
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display) : display_(display)
{
    static const wl_registry_listener registryListener = {&OnGlobal, &OnGlobalRemove};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &registryListener, this);
}

WaylandConnection::~WaylandConnection()
{
    if (keyboard_)
        wl_keyboard_destroy(keyboard_);
    if (keyboards_)
        zwp_virtual_keyboard_manager_v1_destroy(keyboards_);
    if (fakeInput_)
        org_kde_kwin_fake_input_destroy(fakeInput_);
    if (seat_)
        wl_seat_destroy(seat_);
    wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
}

void WaylandConnection::OnGlobal(void* data, wl_registry* registry, unsigned name, const char* interface,
                                 unsigned version)
{
    static const wl_seat_listener seatListener = {&OnCapabilities, &OnSeatName};
    auto* self = static_cast<WaylandConnection*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_) {
        self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        wl_seat_add_listener(self->seat_, &seatListener, self);
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 && !self->keyboards_) {
        self->keyboards_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    } else if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4 &&
               !self->fakeInput_) {
        self->fakeInput_ = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    } else if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
        self->toplevelsName_ = name;
    }
    // KWin names its own globals so, whichever of them it offers this client.
    if (std::strncmp(interface, "org_kde_kwin_", 13) == 0 || std::strncmp(interface, "org_kde_plasma_", 15) == 0)
        self->kwin_ = true;
}

void WaylandConnection::OnGlobalRemove(void*, wl_registry*, unsigned) {}

void WaylandConnection::OnCapabilities(void* data, wl_seat* seat, unsigned capabilities)
{
    static const wl_keyboard_listener keyboardListener = {
        &OnKeymap,
        [](void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {},
        [](void*, wl_keyboard*, uint32_t, wl_surface*) {},
        [](void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {},
        [](void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {},
        [](void*, wl_keyboard*, int32_t, int32_t) {},
    };
    auto* self = static_cast<WaylandConnection*>(data);
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !self->keyboard_) {
        self->keyboard_ = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(self->keyboard_, &keyboardListener, self);
    } else if (!(capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && self->keyboard_) {
        wl_keyboard_destroy(self->keyboard_);
        self->keyboard_ = nullptr;
        self->keymap_.clear();
    }
}

void WaylandConnection::OnSeatName(void*, wl_seat*, const char*) {}

void WaylandConnection::OnKeymap(void* data, wl_keyboard*, unsigned format, int fd, unsigned size)
{
    auto* self = static_cast<WaylandConnection*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            const char* text = static_cast<const char*>(map);
            self->keymap_.assign(text, strnlen(text, size));
            munmap(map, size);
        }
    }
    close(fd);
}

std::string WaylandConnection::SeatKeymap()
{
    RoundTrip();
    return keyboard_ ? keymap_ : std::string();
}

zwlr_foreign_toplevel_manager_v1* WaylandConnection::BindToplevels()
{
    if (toplevelsName_ == 0)
        return nullptr;
    return static_cast<zwlr_foreign_toplevel_manager_v1*>(
        wl_registry_bind(registry_, toplevelsName_, &zwlr_foreign_toplevel_manager_v1_interface, 1));
}

void WaylandConnection::RoundTrip()
{
    if (wl_display_roundtrip(display_) < 0)
        throw PlatformError("The connection to the compositor was lost.");
}

void WaylandConnection::Flush()
{
    while (wl_display_flush(display_) < 0) {
        if (errno != EAGAIN)
            throw PlatformError("The connection to the compositor was lost.");
        pollfd socket{wl_display_get_fd(display_), POLLOUT, 0};
        poll(&socket, 1, -1);
    }
}

}  // namespace kestrun
