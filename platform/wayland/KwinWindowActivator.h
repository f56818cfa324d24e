#pragma once

#include "platform/WindowActivator.h"

#include <functional>

namespace kestrun {

/// Brings a started program's window to the front on KWin, through a script
/// of KWin's own that finds the window of a process and activates it. The
/// process itself comes first, then the processes it started.
class KwinWindowActivator : public WindowActivator {
public:
    /// Waiting for a window ends early once `stopRequested` says so.
    explicit KwinWindowActivator(std::function<bool()> stopRequested = nullptr)
        : stopRequested_(std::move(stopRequested)) {}
    void Activate(std::int32_t taskId) override;
    bool WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit) override;

private:
    std::function<bool()> stopRequested_;
};

}  // namespace kestrun
