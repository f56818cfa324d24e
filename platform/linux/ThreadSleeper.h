#pragma once

#include "platform/Sleeper.h"

#include <chrono>
#include <thread>

namespace kestrun {

class ThreadSleeper : public Sleeper {
public:
    void Sleep(std::uint32_t milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

}  // namespace kestrun
