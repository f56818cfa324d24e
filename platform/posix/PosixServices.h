#pragma once

#include "platform/PlatformServices.h"

#include <functional>

namespace kestrun {

/// Fills in the services every POSIX desktop shares, whatever its display:
/// file tests, program starts, the file opener and the sleeper.
void AddPosixServices(PlatformServices& services, std::function<bool()> stopRequested);

}  // namespace kestrun
