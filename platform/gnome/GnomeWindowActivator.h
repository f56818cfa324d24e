#pragma once

#include "platform/WindowActivator.h"

#include <functional>

namespace kestrun {

/// Window activation on GNOME under Wayland, which lets no program see or
/// raise another's windows (only an extension of the shell could). GNOME
/// gives a newly mapped window the focus itself, so a started program is
/// typed into once it has had the time to show its window.
class GnomeWindowActivator : public WindowActivator {
public:
    explicit GnomeWindowActivator(std::function<bool()> stopRequested);

    /// Throws PlatformError: GNOME does not allow it.
    void Activate(std::int32_t taskId) override;
    /// Nothing tells when the task's window is there: waits until the task
    /// has run for a few seconds since it started (at once for one started
    /// earlier), `limit` at most; whether it still runs.
    bool WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit) override;

private:
    std::function<bool()> stopRequested_;
};

/// How long a program started `age` ago still has to show its first window.
std::chrono::milliseconds TimeToFirstWindow(std::chrono::milliseconds age, std::chrono::milliseconds limit);

}  // namespace kestrun
