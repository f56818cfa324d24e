#pragma once

#include "platform/PlatformServices.h"

#include <functional>

namespace kestrun {

/// Fills in windows (EWMH) and typing (XTest, looked after by the keyboard
/// guardian) for an X session. `stopRequested` ends a wait for a window,
/// `stopTyping` typing at its next key.
void AddX11Services(PlatformServices& services, std::function<bool()> stopRequested,
                    std::function<bool()> stopTyping);

}  // namespace kestrun
