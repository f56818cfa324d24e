#pragma once

#include "platform/PlatformServices.h"

#include <functional>

namespace kestrun {

/// When the session's compositor is KWin, fills in windows (KWin's
/// scripting) and typing (its fake input) and returns true; otherwise changes
/// nothing and returns false. Where KWin refuses this program fake input,
/// says once on standard error what to do, and typing says it again.
bool AddKwinServices(PlatformServices& services, const std::function<bool()>& stopRequested,
                     const std::function<bool()>& stopTyping);

}  // namespace kestrun
