#pragma once

#include <optional>
#include <string>

namespace kestrun {

/// What /proc/<pid>/stat tells of a process that Kestrun asks about.
struct ProcStat {
    char state = '?';                // R, S, D, Z (zombie), X (dead), ...
    long parent = 0;
    unsigned long long started = 0;  // clock ticks after boot
};

/// The process's line of /proc; nothing when no process has that id or the
/// line does not read as one.
std::optional<ProcStat> ReadProcStat(long processId);

/// The same for a line already read: "id (command) state parent ... start ...".
std::optional<ProcStat> ParseProcStat(const std::string& line);

}  // namespace kestrun
