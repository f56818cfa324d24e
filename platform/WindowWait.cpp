#include "platform/WindowWait.h"

#include <thread>

namespace kestrun {

bool WaitForWindowWith(const std::function<WindowLook()>& look, std::chrono::milliseconds limit,
                       const std::function<bool()>& stopping)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        switch (look()) {
        case WindowLook::Found: return true;
        case WindowLook::Ended: return false;
        case WindowLook::Pending: break;
        }
        if (std::chrono::steady_clock::now() >= deadline || stopping())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace kestrun
