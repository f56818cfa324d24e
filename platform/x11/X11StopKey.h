#pragma once

#include "platform/StopKey.h"

#include <thread>

typedef struct _XDisplay Display;

namespace kestrun {

/// The Pause key grabbed on the root window through a connection of its
/// own, whose events a thread reads while the key is held.
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

    Display* display_ = nullptr;
    int wake_[2] = {-1, -1};
    std::thread watcher_;
};

}  // namespace kestrun
