#pragma once

#include "platform/PlatformServices.h"

#include <functional>

namespace kestrun {

/// Fills in typing and activation for a GNOME Wayland session, through its
/// remote desktop (the portal's, else mutter's own). False, changing
/// nothing, outside Wayland or where neither answers on the session bus.
bool AddRemoteDesktopServices(PlatformServices& services, const std::function<bool()>& stopRequested,
                              const std::function<bool()>& stopTyping);

}  // namespace kestrun
