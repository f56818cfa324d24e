#include "platform/posix/PosixServices.h"

#include "platform/posix/GioFileOpener.h"
#include "platform/posix/PosixFileExistence.h"
#include "platform/posix/PosixProgramStarter.h"
#include "platform/posix/ThreadSleeper.h"

namespace kestrun {

void AddPosixServices(PlatformServices& services, std::function<bool()> stopRequested)
{
    services.files = std::make_unique<PosixFileExistence>();
    services.programs = std::make_unique<PosixProgramStarter>();
    services.opener = std::make_unique<GioFileOpener>();
    services.sleeper = std::make_unique<ThreadSleeper>(std::move(stopRequested));
}

}  // namespace kestrun
