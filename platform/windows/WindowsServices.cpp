#include "platform/windows/WindowsServices.h"

#include "platform/TerminationSignals.h"
#include "platform/windows/ShellOpeners.h"
#include "platform/windows/WindowsFileExistence.h"
#include "platform/windows/WindowsKeySender.h"
#include "platform/windows/WindowsProgramStarter.h"
#include "platform/windows/WindowsStopKey.h"
#include "platform/windows/WindowsWindowActivator.h"

#include <windows.h>

#include <algorithm>
#include <chrono>

namespace kestrun {

namespace {

// Sleeps in slices, so that a stop or an end request wakes it within one.
class SliceSleeper : public Sleeper {
public:
    explicit SliceSleeper(std::function<bool()> stopping) : stopping_(std::move(stopping)) {}

    void Sleep(std::uint32_t milliseconds) override
    {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        for (auto now = Clock::now(); now < deadline && !stopping_(); now = Clock::now()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
            ::Sleep(static_cast<DWORD>(std::min<long long>(left, kSliceMs)));
        }
    }

private:
    static constexpr long long kSliceMs = 20;
    std::function<bool()> stopping_;
};

}  // namespace

void AddWindowsServices(PlatformServices& services, std::function<bool()> stopRequested)
{
    const std::function<bool()> stopping = [stopRequested] {
        return TerminationRequested() || (stopRequested && stopRequested());
    };
    services.files = std::make_unique<WindowsFileExistence>();
    services.programs = std::make_unique<WindowsProgramStarter>();
    services.opener = std::make_unique<ShellFileOpener>();
    services.sleeper = std::make_unique<SliceSleeper>(stopping);
    services.windows = std::make_unique<WindowsWindowActivator>(stopping);
    services.keys = std::make_unique<WindowsKeySender>(stopping);
    services.stopKey = std::make_unique<WindowsStopKey>();
    services.typingRoute = "Windows SendInput";
}

}  // namespace kestrun
