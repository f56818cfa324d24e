#include "platform/PlatformServices.h"

#include "platform/linux/EwmhWindowActivator.h"
#include "platform/linux/GioFileOpener.h"
#include "platform/linux/PosixFileExistence.h"
#include "platform/linux/PosixProgramStarter.h"
#include "platform/linux/ThreadSleeper.h"
#include "platform/linux/XTestKeySender.h"

namespace kestrun {

PlatformServices MakePlatformServices()
{
    PlatformServices services;
    services.files = std::make_unique<PosixFileExistence>();
    services.programs = std::make_unique<PosixProgramStarter>();
    services.opener = std::make_unique<GioFileOpener>();
    services.sleeper = std::make_unique<ThreadSleeper>();
    services.windows = std::make_unique<EwmhWindowActivator>();
    // KEYBOARD GUARD: pass StartKeyboardGuard as the guard starter, and the
    // termination-signal check as stopRequested, once both exist.
    services.keys = std::make_unique<XTestKeySender>();
    return services;
}

}  // namespace kestrun
