#pragma once

#include "platform/PlatformServices.h"

#include <functional>

namespace kestrun {

/// When the session's compositor can be reached and offers virtual keyboards
/// and a seat, fills in windows and typing through it and returns true;
/// otherwise changes nothing and returns false. `stopRequested` ends a wait
/// for a window, `stopTyping` typing at its next key.
bool AddWaylandServices(PlatformServices& services, const std::function<bool()>& stopRequested,
                        const std::function<bool()>& stopTyping);

}  // namespace kestrun
