#pragma once

#include "platform/WindowActivator.h"

#include <functional>

namespace kestrun {

/// Brings a started program's window to the front on a Wayland compositor:
/// through sway's IPC ("[pid=N] focus") or Hyprland's ("focuswindow pid:N")
/// where one of them runs the session, otherwise through the foreign toplevel
/// manager of wlroots compositors, by the program's app id. The process
/// itself comes first, then the processes it started.
class WaylandWindowActivator : public WindowActivator {
public:
    /// Waiting for a window ends early once `stopRequested` says so.
    explicit WaylandWindowActivator(std::function<bool()> stopRequested = nullptr) : stopRequested_(std::move(stopRequested)) {}

    void Activate(std::int32_t taskId) override;
    bool WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit) override;

private:
    bool Stopping() const { return stopRequested_ && stopRequested_(); }

    std::function<bool()> stopRequested_;
};

}  // namespace kestrun
