#pragma once

#include <chrono>
#include <functional>

namespace kestrun {

/// What one look for a started program's window found.
enum class WindowLook {
    Found,    ///< it has one
    Pending,  ///< not yet; the program runs
    Ended,    ///< the program has ended: it will have none
};

/// Looks with `look` until it finds a window or an end, `limit` has passed or
/// `stopping` says so, resting 20 ms between looks. Whether a window was found.
bool WaitForWindowWith(const std::function<WindowLook()>& look, std::chrono::milliseconds limit,
                       const std::function<bool()>& stopping);

}  // namespace kestrun
