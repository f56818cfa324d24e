#include "platform/wayland/WaylandServices.h"

#include "platform/wayland/VirtualKeyboardSender.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandWindowActivator.h"

namespace kestrun {

bool AddWaylandServices(PlatformServices& services, const std::function<bool()>& stopRequested,
                        const std::function<bool()>& stopTyping)
{
    auto wayland = WaylandConnection::Open();
    if (!wayland || !wayland->keyboards() || !wayland->seat())
        return false;
    services.typingRoute = "Wayland virtual keyboard";
    services.windows = std::make_unique<WaylandWindowActivator>(stopRequested);
    services.keys = std::make_unique<VirtualKeyboardSender>(stopTyping, std::move(wayland));
    return true;
}

}  // namespace kestrun
