#include "platform/x11/X11StopKey.h"

#include <xcb/xcb.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace kestrun {

namespace {

constexpr xcb_keysym_t kPause = 0xff13;

// The first key code whose keysyms include Pause; 0 for none.
xcb_keycode_t PauseCode(xcb_connection_t* connection)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count)), nullptr);
    if (!map)
        return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
    const int perCode = map->keysyms_per_keycode;
    xcb_keycode_t found = 0;
    for (int code = 0; code < count && found == 0; ++code)
        for (int level = 0; level < perCode && found == 0; ++level)
            if (syms[code * perCode + level] == kPause)
                found = static_cast<xcb_keycode_t>(setup->min_keycode + code);
    std::free(map);
    return found;
}

}  // namespace

X11StopKey::~X11StopKey() { Release(); }

bool X11StopKey::Hold(std::function<void()> pressed)
{
    Release();
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    const xcb_keycode_t code = PauseCode(connection);
    bool held = false;
    if (code != 0) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        // Refused (BadAccess) where another client has a grab on the key.
        xcb_generic_error_t* refused = xcb_request_check(
            connection, xcb_grab_key_checked(connection, 0, root, XCB_MOD_MASK_ANY, code, XCB_GRAB_MODE_ASYNC,
                                             XCB_GRAB_MODE_ASYNC));
        held = refused == nullptr;
        std::free(refused);
    }
    if (!held || pipe2(wake_, O_CLOEXEC) != 0) {
        xcb_disconnect(connection);
        wake_[0] = wake_[1] = -1;
        return false;
    }
    connection_ = connection;
    watcher_ = std::thread(&X11StopKey::Watch, this, code, std::move(pressed));
    return true;
}

void X11StopKey::Release()
{
    if (!connection_)
        return;
    const char wake = 0;
    (void)!write(wake_[1], &wake, 1);
    watcher_.join();
    close(wake_[0]);
    close(wake_[1]);
    wake_[0] = wake_[1] = -1;
    xcb_disconnect(connection_);  // which ends the grab
    connection_ = nullptr;
}

void X11StopKey::Watch(unsigned char code, std::function<void()> pressed)
{
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            const bool press = (event->response_type & 0x7f) == XCB_KEY_PRESS &&
                               reinterpret_cast<xcb_key_press_event_t*>(event)->detail == code;
            std::free(event);
            if (press)
                pressed();
        }
        if (xcb_connection_has_error(connection_))
            return;
        pollfd watched[2] = {{xcb_get_file_descriptor(connection_), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(watched, 2, -1) < 0 && errno != EINTR)
            return;
        if (watched[1].revents != 0)
            return;
    }
}

}  // namespace kestrun
