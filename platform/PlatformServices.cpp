#include "platform/PlatformServices.h"

#include "platform/TerminationSignals.h"
#include "platform/x11/EwmhWindowActivator.h"
#include "platform/posix/GioFileOpener.h"
#include "platform/posix/PosixFileExistence.h"
#include "platform/posix/PosixProgramStarter.h"
#include "platform/posix/ThreadSleeper.h"
#include "platform/x11/XTestKeySender.h"
#include "platform/wayland/VirtualKeyboardSender.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandWindowActivator.h"

namespace kestrun {

PlatformServices MakePlatformServices(std::function<bool()> stopRequested)
{
    const std::function<bool()> stopTyping = [stopRequested] {
        return TerminationRequested() || (stopRequested && stopRequested());
    };
    PlatformServices services;
    services.files = std::make_unique<PosixFileExistence>();
    services.programs = std::make_unique<PosixProgramStarter>();
    services.opener = std::make_unique<GioFileOpener>();
    services.sleeper = std::make_unique<ThreadSleeper>(stopRequested);
    // A Wayland session types and activates through its compositor, even
    // when Qt itself runs through XWayland: XTest reaches X programs only.
    if (auto wayland = WaylandConnection::Open(); wayland && wayland->keyboards() && wayland->seat()) {
        services.windows = std::make_unique<WaylandWindowActivator>(stopRequested);
        services.keys = std::make_unique<VirtualKeyboardSender>(stopTyping, std::move(wayland));
        return services;
    }
    services.windows = std::make_unique<EwmhWindowActivator>(stopRequested);
    // The guardian starts with the first typing and watches as long as the
    // sender may hold borrowed key codes; a stop or a termination signal
    // stops typing at the next key.
    services.keys = std::make_unique<XTestKeySender>(
        [](const std::string& displayName) { return StartKeyboardGuard(displayName); }, stopTyping);
    return services;
}

}  // namespace kestrun
