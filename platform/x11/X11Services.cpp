#include "platform/x11/X11Services.h"

#include "platform/x11/EwmhWindowActivator.h"
#include "platform/x11/X11StopKey.h"
#include "platform/x11/XTestKeySender.h"

namespace kestrun {

void AddX11Services(PlatformServices& services, std::function<bool()> stopRequested,
                    std::function<bool()> stopTyping)
{
    services.typingRoute = "X11";
    services.windows = std::make_unique<EwmhWindowActivator>(std::move(stopRequested));
    // The guardian starts with the first typing and watches as long as the
    // sender may hold borrowed key codes; a stop or a termination signal
    // stops typing at the next key.
    services.keys = std::make_unique<XTestKeySender>(
        [](const std::string& displayName) { return StartKeyboardGuard(displayName); }, std::move(stopTyping));
    services.stopKey = std::make_unique<X11StopKey>();
}

}  // namespace kestrun
