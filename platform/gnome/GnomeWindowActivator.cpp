#include "platform/gnome/GnomeWindowActivator.h"

#include "platform/PlatformError.h"
#include "platform/posix/ProcStat.h"
#include "platform/posix/ProcessTree.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <thread>

namespace kestrun {

namespace {

// What programs people start from a run take to show a window here: a text
// editor well under a second, a browser or office program two to three.
constexpr std::chrono::milliseconds kFirstWindow{3000};

// How long ago the process started; nothing when it cannot be known.
std::optional<std::chrono::milliseconds> Age(long processId)
{
    const auto stat = ReadProcStat(processId);
    std::ifstream uptime("/proc/uptime");
    double seconds = 0;
    const long ticks = sysconf(_SC_CLK_TCK);
    if (!stat || !(uptime >> seconds) || ticks <= 0)
        return std::nullopt;
    const double age = seconds - static_cast<double>(stat->started) / static_cast<double>(ticks);
    return std::chrono::milliseconds(static_cast<long long>(std::max(0.0, age) * 1000));
}

}  // namespace

std::chrono::milliseconds TimeToFirstWindow(std::chrono::milliseconds age, std::chrono::milliseconds limit)
{
    const auto left = age < kFirstWindow ? kFirstWindow - age : std::chrono::milliseconds(0);
    return std::min(left, limit);
}

GnomeWindowActivator::GnomeWindowActivator(std::function<bool()> stopRequested)
    : stopRequested_(std::move(stopRequested))
{
}

void GnomeWindowActivator::Activate(std::int32_t taskId)
{
    if (taskId <= 0)
        throw PlatformError("No program was started.");
    throw PlatformError("GNOME lets no program bring another's window to the front.");
}

bool GnomeWindowActivator::WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit)
{
    if (taskId <= 0 || !ProcessRunning(taskId))
        return false;
    const auto age = Age(taskId);
    const auto until = std::chrono::steady_clock::now() + TimeToFirstWindow(age.value_or(kFirstWindow), limit);
    while (std::chrono::steady_clock::now() < until) {
        if ((stopRequested_ && stopRequested_()) || !ProcessRunning(taskId))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return ProcessRunning(taskId);
}

}  // namespace kestrun
