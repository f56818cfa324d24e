#pragma once

#include "platform/PlatformServices.h"

#include <functional>

namespace kestrun {

/// The message every service of the no-op platform fails with.
inline constexpr const char* kNotAvailableHere = "This is not available on this system.";

/// Fills in services for a build without a back-end, so that everything above
/// the platform builds and runs: sleeping works, everything that needs the
/// system throws PlatformError(kNotAvailableHere) or answers "none".
void AddNoPlatformServices(PlatformServices& services, std::function<bool()> stopRequested);

}  // namespace kestrun
