#pragma once

#include "platform/WindowActivator.h"
#include "platform/x11/WindowOwnership.h"

#include <deque>

#include <functional>

#include <optional>

// Kept free of the X headers, whose macros clash with ordinary names.
typedef struct _XDisplay Display;

namespace kestrun {

/// Window activation through the window manager's EWMH support: the first
/// window of _NET_CLIENT_LIST whose _NET_WM_PID is the task's process id, or
/// else that of a process it started, is made _NET_ACTIVE_WINDOW. Returns once
/// the window manager has activated it, or after a second at most.
class EwmhWindowActivator : public WindowActivator {
public:
    /// Waiting for a window ends early once `stopRequested` says so.
    explicit EwmhWindowActivator(std::function<bool()> stopRequested = nullptr) : stopRequested_(std::move(stopRequested)) {}

    void Activate(std::int32_t taskId) override;
    bool WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit) override;
    std::uint64_t ActiveWindowId() override;
    std::string WindowTitle(std::uint64_t id) override;
    bool SameApplication(std::uint64_t noted, std::uint64_t other) override;

private:
    bool Stopping() const { return stopRequested_ && stopRequested_(); }

    std::function<bool()> stopRequested_;
    // The owners of the windows ActiveWindowId named last, newest first.
    std::deque<std::pair<std::uint64_t, WindowOwnership>> owners_;
};

/// The first managed top-level window of a process, if any.
std::optional<unsigned long> FindClientWindow(Display* display, long processId);

/// The first managed top-level window of a process, else of the processes
/// it started, in the order ProcessFamily gives them.
std::optional<unsigned long> FindFamilyWindow(Display* display, long processId);

}  // namespace kestrun
