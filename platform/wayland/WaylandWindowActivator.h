#pragma once

#include "platform/WindowActivator.h"

#include <deque>
#include <functional>
#include <memory>

namespace kestrun {

class ForeignToplevels;
class WaylandConnection;

/// Brings a started program's window to the front on a Wayland compositor:
/// through sway's IPC ("[pid=N] focus") or Hyprland's ("focuswindow pid:N")
/// where one of them runs the session, otherwise through the foreign toplevel
/// manager of wlroots compositors, by the program's app id. The process
/// itself comes first, then the processes it started.
///
/// The active window is sway's focused container (its con id) or else the
/// activated toplevel of a foreign toplevel list the activator keeps for the
/// ids to stay the same from one question to the next.
class WaylandWindowActivator : public WindowActivator {
public:
    /// Waiting for a window ends early once `stopRequested` says so.
    explicit WaylandWindowActivator(std::function<bool()> stopRequested = nullptr);
    ~WaylandWindowActivator() override;

    void Activate(std::int32_t taskId) override;
    bool WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit) override;
    std::uint64_t ActiveWindowId() override;
    std::string WindowTitle(std::uint64_t id) override;
    /// Sway names each window's process; the toplevel list tells none.
    bool SameApplication(std::uint64_t noted, std::uint64_t other) override;

private:
    bool Stopping() const { return stopRequested_ && stopRequested_(); }
    /// The kept toplevel list, brought up to date; nullptr when the
    /// compositor offers none.
    ForeignToplevels* Toplevels();

    std::function<bool()> stopRequested_;
    std::unique_ptr<WaylandConnection> connection_;
    std::unique_ptr<ForeignToplevels> toplevels_;
    // The owners of the windows ActiveWindowId named last, newest first.
    std::deque<std::pair<std::uint64_t, long>> owners_;
};

}  // namespace kestrun
