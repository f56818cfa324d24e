#pragma once

#include <cstdint>

namespace kestrun {

/// Blocks the calling thread.
class Sleeper {
public:
    virtual ~Sleeper() = default;

    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

}  // namespace kestrun
