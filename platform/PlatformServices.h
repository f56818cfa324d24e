#pragma once

#include "platform/FileExistence.h"
#include "platform/FileOpener.h"
#include "platform/KeySender.h"
#include "platform/ProgramStarter.h"
#include "platform/Sleeper.h"
#include "platform/StopKey.h"
#include "platform/WindowActivator.h"

#include <functional>
#include <memory>
#include <string>

namespace kestrun {

/// The operating-system services a task run needs, one of each.
struct PlatformServices {
    std::unique_ptr<FileExistence> files;
    std::unique_ptr<ProgramStarter> programs;
    std::unique_ptr<FileOpener> opener;
    std::unique_ptr<Sleeper> sleeper;
    std::unique_ptr<WindowActivator> windows;
    std::unique_ptr<KeySender> keys;
    /// The key that stops a run; null where the session offers none (on
    /// Wayland a shortcut of the desktop's runs `kestrun --stop`).
    std::unique_ptr<StopKey> stopKey;
    /// How this session types and activates, in a few words for people
    /// ("X11", "Wayland virtual keyboard", ...).
    std::string typingRoute;
};

/// The services of this session, chosen once: a Wayland compositor's when
/// it offers virtual keyboards and a seat, X11's otherwise; the no-op
/// platform's in a build without back-ends.
/// Waiting and typing end early once `stopRequested` or a termination signal
/// says so.
PlatformServices MakePlatformServices(std::function<bool()> stopRequested = nullptr);

}  // namespace kestrun
