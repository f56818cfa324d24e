#pragma once

#include <vector>

namespace kestrun {

/// Whether a process runs. One that has ended but is not reaped yet does not.
bool ProcessRunning(long processId);

/// The process and every running process it started, directly or through
/// others; empty when the process itself does not run.
std::vector<long> ProcessFamily(long processId);

}  // namespace kestrun
