#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace kestrun {

/// Brings a started program's window to the front.
class WindowActivator {
public:
    virtual ~WindowActivator() = default;

    /// Activates a top-level window of the task (a process id here), or of
    /// a process it started. Throws PlatformError when there is none (always
    /// for 0).
    virtual void Activate(std::int32_t taskId) = 0;

    /// Waits until the task, or a process it started, has a window, for
    /// `limit` at most. Returns at once when there is one already or the task
    /// has ended. Whether there is one.
    virtual bool WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit) = 0;

    /// The active window, as a number that tells windows apart; 0 when it
    /// cannot be known.
    virtual std::uint64_t ActiveWindowId() { return 0; }

    /// The title of the window `id` (as ActiveWindowId gives it); empty when
    /// it has none, is gone or cannot be known.
    virtual std::string WindowTitle(std::uint64_t /*id*/) { return {}; }

    /// Whether the window `other` belongs to the application of the window
    /// `noted` (both as ActiveWindowId gives them, `noted` among its answers):
    /// the same process, or a dialog of the noted window. What tells is read
    /// when ActiveWindowId names a window, so that a noted window that is
    /// gone still counts. False whenever it cannot be told.
    virtual bool SameApplication(std::uint64_t /*noted*/, std::uint64_t /*other*/) { return false; }
};

}  // namespace kestrun
