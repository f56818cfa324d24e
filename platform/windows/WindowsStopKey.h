#pragma once

#include "platform/StopKey.h"

#include <cstdint>
#include <functional>
#include <thread>

namespace kestrun {

/// Pause as a hot key of the system's (RegisterHotKey), with each
/// combination of Shift, Ctrl and Alt, on a thread of its own whose message
/// loop receives the presses.
class WindowsStopKey : public StopKey {
public:
    WindowsStopKey() = default;
    ~WindowsStopKey() override;
    WindowsStopKey(const WindowsStopKey&) = delete;
    WindowsStopKey& operator=(const WindowsStopKey&) = delete;

    bool Hold(std::function<void()> pressed) override;
    void Release() override;

private:
    std::thread thread_;
    std::uint32_t threadId_ = 0;
};

}  // namespace kestrun
