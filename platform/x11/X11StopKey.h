#pragma once

#include "platform/StopKey.h"

#include <thread>

struct xcb_connection_t;

namespace kestrun {

/// The Pause key grabbed on the root window through a connection of its
/// own, whose events a thread reads while the key is held. The connection is
/// XCB's, so that a refused grab is the grab's own answer rather than an
/// error for Xlib's process-wide handler.
class X11StopKey : public StopKey {
public:
    X11StopKey() = default;
    ~X11StopKey() override;
    X11StopKey(const X11StopKey&) = delete;
    X11StopKey& operator=(const X11StopKey&) = delete;

    bool Hold(std::function<void()> pressed) override;
    void Release() override;

private:
    void Watch(unsigned char code, std::function<void()> pressed);

    xcb_connection_t* connection_ = nullptr;
    int wake_[2] = {-1, -1};
    std::thread watcher_;
};

}  // namespace kestrun
