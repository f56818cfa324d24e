#pragma once

#include "platform/ProgramStarter.h"

namespace kestrun {

/// Starts .exe and .com files with CreateProcessW: the file itself, never
/// through cmd.exe, with its own name as the whole command line. The started
/// program may take the foreground (AllowSetForegroundWindow), so that its
/// first window comes to the front.
class WindowsProgramStarter : public ProgramStarter {
public:
    bool IsProgramFile(const std::string& path) override;
    /// Refuses batch files (.bat, .cmd), which CreateProcessW would hand to
    /// the command interpreter.
    std::int32_t Start(const std::string& path) override;
};

}  // namespace kestrun
