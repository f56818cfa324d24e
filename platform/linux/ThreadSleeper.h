#pragma once

#include "platform/Sleeper.h"
#include "platform/TerminationSignals.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>

namespace kestrun {

/// Sleeps, but wakes at once when Kestrun is asked to end.
class ThreadSleeper : public Sleeper {
public:
    void Sleep(std::uint32_t milliseconds) override
    {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        for (auto now = Clock::now(); now < deadline && !TerminationRequested(); now = Clock::now()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
            pollfd termination{TerminationDescriptor(), POLLIN, 0};
            // A descriptor of -1 is skipped: then this is a plain sleep.
            poll(&termination, 1, static_cast<int>(std::min<long long>(left, std::numeric_limits<int>::max())));
        }
    }
};

}  // namespace kestrun
