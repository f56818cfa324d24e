#include "platform/gnome/RemoteDesktopServices.h"

#include "platform/gnome/GnomeWindowActivator.h"
#include "platform/gnome/RemoteDesktopSender.h"

#include <cstdlib>

namespace kestrun {

bool AddRemoteDesktopServices(PlatformServices& services, const std::function<bool()>& stopRequested,
                              const std::function<bool()>& stopTyping)
{
    // GNOME on X11 offers the portal too, but XTest serves it better.
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    RemoteDesktopSession::Route route;
    if (!wayland || !*wayland || !RemoteDesktopSession::Available(route))
        return false;
    services.typingRoute = "GNOME remote desktop";
    services.windows = std::make_unique<GnomeWindowActivator>(stopRequested);
    services.keys = std::make_unique<RemoteDesktopSender>(route, stopTyping);
    return true;
}

}  // namespace kestrun
