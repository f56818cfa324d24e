#pragma once

#include "platform/WindowActivator.h"

#include <functional>

namespace kestrun {

/// Finds a started program's window by process id, among the visible,
/// unowned top-level windows of the process and of the processes it started,
/// and brings it to the front.
///
/// Windows lets a process take the foreground only when it holds it or was
/// given it; when SetForegroundWindow is refused, the activator joins the
/// input of the foreground window's thread for the moment of the call, the
/// usual way round that lock.
class WindowsWindowActivator : public WindowActivator {
public:
    explicit WindowsWindowActivator(std::function<bool()> stopRequested = nullptr);

    void Activate(std::int32_t taskId) override;
    bool WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit) override;
    std::uint64_t ActiveWindowId() override;

private:
    std::function<bool()> stopRequested_;
};

}  // namespace kestrun
