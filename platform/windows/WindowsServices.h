#pragma once

#include "platform/PlatformServices.h"

#include <functional>

namespace kestrun {

/// Fills in every service of a Windows session: file tests, program starts
/// (CreateProcessW), the shell's file opener, the sleeper, window activation,
/// typing (SendInput) and the Pause hot key. `stopRequested` ends a wait and
/// typing at its next key, as the console's end requests do.
void AddWindowsServices(PlatformServices& services, std::function<bool()> stopRequested);

}  // namespace kestrun
