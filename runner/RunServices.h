#pragma once

#include <functional>
#include <string>

namespace kestrun {

class FileExistence;
class FileOpener;
class KeySender;
class ProgramStarter;
class Sleeper;
class StopKey;
class WindowActivator;

/// The services a run drives, all owned elsewhere.
struct RunServices {
    FileExistence& files;
    ProgramStarter& programs;
    FileOpener& opener;
    Sleeper& sleeper;
    WindowActivator& windows;
    KeySender& keys;
    /// Whether the user asked the run to stop; none: never. Asked from any
    /// thread, between tasks and by the waiting and typing services.
    std::function<bool()> stopRequested = {};
    /// The key the user may press to stop the run; null where there is none.
    StopKey* stopKey = nullptr;
    /// How keys are typed in this session, in a few words for people.
    std::string typingRoute = {};
};

}  // namespace kestrun
