#pragma once

#include "platform/ProgramStarter.h"

#include <sys/types.h>

#include <vector>

namespace kestrun {

/// Starts programs with posix_spawn: the file itself is the process image,
/// its path the only argument. A program file is a regular file with execute
/// permission. The task identifier is the process id. Each child is reaped
/// as soon as it ends, without the caller waiting for it.
class PosixProgramStarter : public ProgramStarter {
public:
    PosixProgramStarter() = default;
    PosixProgramStarter(const PosixProgramStarter&) = delete;
    PosixProgramStarter& operator=(const PosixProgramStarter&) = delete;
    ~PosixProgramStarter() override;

    bool IsProgramFile(const std::string& path) override;
    std::int32_t Start(const std::string& path) override;

private:
    void ReapWhenEnded(pid_t pid);
    void ReapEnded();

    std::vector<pid_t> started_;
};

}  // namespace kestrun
