#include "platform/wayland/WaylandProtocols.h"

#include "platform/PlatformError.h"

#include <sys/mman.h>
#include <unistd.h>

namespace kestrun::wayland {

namespace {

const wl_interface* kNoTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};
const wl_interface* kCreateKeyboardTypes[] = {&wl_seat_interface, &kVirtualKeyboard};
const wl_interface* kSeatType[] = {&wl_seat_interface};
const wl_interface* kSurfaceAndRectangle[] = {&wl_surface_interface, nullptr, nullptr, nullptr, nullptr};
const wl_interface* kHandleType[] = {&kToplevelHandle};
const wl_interface* kOutputType[] = {&wl_output_interface};

const wl_message kManagerRequests[] = {
    {"create_virtual_keyboard", "on", kCreateKeyboardTypes},
};

const wl_message kKeyboardRequests[] = {
    {"keymap", "uhu", kNoTypes},
    {"key", "uuu", kNoTypes},
    {"modifiers", "uuuu", kNoTypes},
    {"destroy", "", kNoTypes},
};

const wl_message kToplevelManagerRequests[] = {
    {"stop", "", kNoTypes},
};

const wl_message kToplevelManagerEvents[] = {
    {"toplevel", "n", kHandleType},
    {"finished", "", kNoTypes},
};

const wl_message kHandleRequests[] = {
    {"set_maximized", "", kNoTypes},
    {"unset_maximized", "", kNoTypes},
    {"set_minimized", "", kNoTypes},
    {"unset_minimized", "", kNoTypes},
    {"activate", "o", kSeatType},
    {"close", "", kNoTypes},
    {"set_rectangle", "oiiii", kSurfaceAndRectangle},
    {"destroy", "", kNoTypes},
};

const wl_message kHandleEvents[] = {
    {"title", "s", kNoTypes},
    {"app_id", "s", kNoTypes},
    {"output_enter", "o", kOutputType},
    {"output_leave", "o", kOutputType},
    {"state", "a", kNoTypes},
    {"done", "", kNoTypes},
    {"closed", "", kNoTypes},
};

enum KeyboardRequest : std::uint32_t { kKeymap = 0, kKey = 1, kModifiers = 2, kDestroyKeyboard = 3 };
enum HandleRequest : std::uint32_t { kActivate = 4, kDestroyHandle = 7 };

}  // namespace

const wl_interface kVirtualKeyboardManager = {"zwp_virtual_keyboard_manager_v1", 1, 1, kManagerRequests, 0,
                                              nullptr};
const wl_interface kVirtualKeyboard = {"zwp_virtual_keyboard_v1", 1, 4, kKeyboardRequests, 0, nullptr};
const wl_interface kToplevelManager = {"zwlr_foreign_toplevel_manager_v1", 1, 1, kToplevelManagerRequests, 2,
                                       kToplevelManagerEvents};
const wl_interface kToplevelHandle = {"zwlr_foreign_toplevel_handle_v1", 1, 8, kHandleRequests, 7, kHandleEvents};

wl_proxy* CreateVirtualKeyboard(wl_proxy* manager, wl_seat* seat)
{
    return wl_proxy_marshal_flags(manager, 0, &kVirtualKeyboard, wl_proxy_get_version(manager), 0, seat, nullptr);
}

void UploadKeymap(wl_proxy* keyboard, const std::string& keymap)
{
    const int fd = memfd_create("kestrun-keymap", MFD_CLOEXEC);
    if (fd < 0)
        throw PlatformError("No memory for the keymap.");
    // The compositor maps the text with its terminating NUL.
    const std::size_t size = keymap.size() + 1;
    bool written = true;
    for (std::size_t done = 0; written && done < size;) {
        const ssize_t n = write(fd, keymap.c_str() + done, size - done);
        written = n > 0;
        done += written ? static_cast<std::size_t>(n) : 0;
    }
    if (written)
        wl_proxy_marshal_flags(keyboard, kKeymap, nullptr, wl_proxy_get_version(keyboard), 0,
                               WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, static_cast<std::uint32_t>(size));
    close(fd);  // the request carries a copy of it
    if (!written)
        throw PlatformError("No memory for the keymap.");
}

void SendKey(wl_proxy* keyboard, std::uint32_t time, std::uint32_t code, std::uint32_t state)
{
    wl_proxy_marshal_flags(keyboard, kKey, nullptr, wl_proxy_get_version(keyboard), 0, time, code, state);
}

void SendModifiers(wl_proxy* keyboard, std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                   std::uint32_t group)
{
    wl_proxy_marshal_flags(keyboard, kModifiers, nullptr, wl_proxy_get_version(keyboard), 0, depressed, latched,
                           locked, group);
}

void DestroyVirtualKeyboard(wl_proxy* keyboard)
{
    wl_proxy_marshal_flags(keyboard, kDestroyKeyboard, nullptr, wl_proxy_get_version(keyboard),
                           WL_MARSHAL_FLAG_DESTROY);
}

void ActivateToplevel(wl_proxy* handle, wl_seat* seat)
{
    wl_proxy_marshal_flags(handle, kActivate, nullptr, wl_proxy_get_version(handle), 0, seat);
}

void DestroyToplevel(wl_proxy* handle)
{
    wl_proxy_marshal_flags(handle, kDestroyHandle, nullptr, wl_proxy_get_version(handle), WL_MARSHAL_FLAG_DESTROY);
}

void StopToplevels(wl_proxy* manager)
{
    wl_proxy_marshal_flags(manager, 0, nullptr, wl_proxy_get_version(manager), 0);
}

}  // namespace kestrun::wayland
