#pragma once

// The two wlroots protocols Kestrun speaks besides the core one: the virtual
// keyboard (typing) and the foreign toplevel manager (activation by app id).
// Neither ships with a Debian package, so their wire interfaces are declared
// here, in the order the protocols define their requests and events.

#include <wayland-client.h>

#include <cstdint>
#include <string>

namespace kestrun::wayland {

extern const wl_interface kVirtualKeyboardManager;  // zwp_virtual_keyboard_manager_v1
extern const wl_interface kVirtualKeyboard;         // zwp_virtual_keyboard_v1
extern const wl_interface kToplevelManager;         // zwlr_foreign_toplevel_manager_v1
extern const wl_interface kToplevelHandle;          // zwlr_foreign_toplevel_handle_v1

/// zwp_virtual_keyboard_manager_v1.create_virtual_keyboard
wl_proxy* CreateVirtualKeyboard(wl_proxy* manager, wl_seat* seat);
/// zwp_virtual_keyboard_v1.keymap, with a keymap in the xkb text format.
/// Throws PlatformError when there is no memory to hand it over in.
void UploadKeymap(wl_proxy* keyboard, const std::string& keymap);
/// zwp_virtual_keyboard_v1.key: 1 pressed, 0 released.
void SendKey(wl_proxy* keyboard, std::uint32_t time, std::uint32_t code, std::uint32_t state);
/// zwp_virtual_keyboard_v1.modifiers
void SendModifiers(wl_proxy* keyboard, std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                   std::uint32_t group);
/// zwp_virtual_keyboard_v1.destroy
void DestroyVirtualKeyboard(wl_proxy* keyboard);

/// zwlr_foreign_toplevel_handle_v1.activate
void ActivateToplevel(wl_proxy* handle, wl_seat* seat);
/// zwlr_foreign_toplevel_handle_v1.destroy
void DestroyToplevel(wl_proxy* handle);
/// zwlr_foreign_toplevel_manager_v1.stop
void StopToplevels(wl_proxy* manager);

/// The events of a foreign toplevel manager, in protocol order.
struct ToplevelManagerListener {
    void (*toplevel)(void* data, wl_proxy* manager, wl_proxy* handle);
    void (*finished)(void* data, wl_proxy* manager);
};

/// The events of a foreign toplevel handle (version 1), in protocol order.
struct ToplevelHandleListener {
    void (*title)(void* data, wl_proxy* handle, const char* title);
    void (*appId)(void* data, wl_proxy* handle, const char* appId);
    void (*outputEnter)(void* data, wl_proxy* handle, wl_output* output);
    void (*outputLeave)(void* data, wl_proxy* handle, wl_output* output);
    void (*state)(void* data, wl_proxy* handle, wl_array* state);
    void (*done)(void* data, wl_proxy* handle);
    void (*closed)(void* data, wl_proxy* handle);
};

}  // namespace kestrun::wayland
