#pragma once

#include <cstdint>

namespace kestrun {

/// Brings a started program's window to the front.
class WindowActivator {
public:
    virtual ~WindowActivator() = default;

    /// Activates a top-level window of the task (a process id here). Throws
    /// PlatformError when the task has no window (always for 0).
    virtual void Activate(std::int32_t taskId) = 0;
};

}  // namespace kestrun
