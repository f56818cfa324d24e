#pragma once

#include <cstdint>
#include <string>

namespace kestrun {

/// Starts program files as new processes.
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;

    /// True when the file is one this platform starts as a program (beyond
    /// the "exe" extension, which always counts).
    virtual bool IsProgramFile(const std::string& path) = 0;

    /// Starts the file itself as a new process, with no command line parsing
    /// and no shell in between, and returns its task identifier. Throws
    /// PlatformError when it cannot be started.
    virtual std::int32_t Start(const std::string& path) = 0;
};

}  // namespace kestrun
