#pragma once

#include "platform/Sleeper.h"
#include "platform/TerminationSignals.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <limits>

namespace kestrun {

/// Sleeps, but wakes at once when Kestrun is asked to end, and within a
/// slice when `stopRequested` says so.
class ThreadSleeper : public Sleeper {
public:
    explicit ThreadSleeper(std::function<bool()> stopRequested = nullptr) : stopRequested_(std::move(stopRequested)) {}

    void Sleep(std::uint32_t milliseconds) override
    {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        for (auto now = Clock::now(); now < deadline && !TerminationRequested() && !Stopping(); now = Clock::now()) {
            long long left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
            if (stopRequested_)
                left = std::min<long long>(left, kSliceMs);
            pollfd termination{TerminationDescriptor(), POLLIN, 0};
            // A descriptor of -1 is skipped: then this is a plain sleep.
            poll(&termination, 1, static_cast<int>(std::min<long long>(left, std::numeric_limits<int>::max())));
        }
    }

private:
    static constexpr long long kSliceMs = 20;

    bool Stopping() const { return stopRequested_ && stopRequested_(); }

    std::function<bool()> stopRequested_;
};

}  // namespace kestrun
