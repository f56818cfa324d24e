#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kestrun {

/// The processes that hold the read end of a pipe, as /proc tells of those
/// this program may look into: how a writer learns that what it wrote, and
/// closed, has been read to its end and put away.
class PipeReaders {
public:
    /// Looks for the readers of the pipe that `fd` is an end of (none when
    /// `fd` is no pipe).
    explicit PipeReaders(int fd);

    /// Whether any process found still holds the read end.
    bool Remain();

    const std::vector<pid_t>& processes() const { return processes_; }

    /// Whether the `fdinfo` text of /proc (its "flags:" line, octal) tells of
    /// an end opened for reading only.
    static bool ReadsOnly(const std::string& fdinfo);

private:
    bool HoldsReadEnd(pid_t pid) const;

    std::string link_;  // "pipe:[inode]", as /proc/<pid>/fd/<n> names it
    std::vector<pid_t> processes_;
};

}  // namespace kestrun
