#include "platform/wayland/KwinServices.h"

#include "platform/wayland/KwinFakeInputSender.h"
#include "platform/wayland/KwinWindowActivator.h"
#include "platform/wayland/WaylandConnection.h"

#include <cstdio>

namespace kestrun {

bool AddKwinServices(PlatformServices& services, const std::function<bool()>& stopRequested,
                     const std::function<bool()>& stopTyping)
{
    auto wayland = WaylandConnection::Open();
    if (!wayland || !wayland->kwin())
        return false;
    if (wayland->fakeInput()) {
        services.typingRoute = "KWin fake input";
    } else {
        services.typingRoute = "KWin fake input (refused)";
        std::fprintf(stderr, "kestrun: %s\n", KwinFakeInputSender::RefusedMessage().c_str());
    }
    services.windows = std::make_unique<KwinWindowActivator>(stopRequested);
    services.keys = std::make_unique<KwinFakeInputSender>(stopTyping, std::move(wayland));
    return true;
}

}  // namespace kestrun
