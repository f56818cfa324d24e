#pragma once

#include <optional>
#include <string>

namespace kestrun {

/// Whether every thread of process `pid` sleeps waiting for input, blocked
/// in poll, select or epoll, as an event loop does once it has handled every
/// event it had. Nothing when the system does not tell: no such process, or
/// its wait channels are hidden from this one.
std::optional<bool> WaitsForInput(long pid);

/// Where each thread of process `pid` sleeps: its system call and the call's
/// first two arguments, as /proc gives them. A program waiting in its event
/// loop sleeps in the same call with the same arguments each time, unlike a
/// wait for one answer in the middle of handling an event. Nothing when a
/// thread runs, or the system does not tell.
std::optional<std::string> WaitSignature(long pid);

/// The same for the contents of one thread's /proc syscall file ("270 0x5
/// 0x5556... ..."): nothing for a thread that runs ("running", "-1 ...").
std::optional<std::string> SyscallSignature(const std::string& syscallLine);

/// Whether a thread in `state` (of /proc's stat line: R, S, D...) sleeping in
/// the kernel function `channel` (its wchan) waits for input; nothing when
/// the channel is hidden ("0" for a sleeping thread).
std::optional<bool> ThreadWaitsForInput(char state, const std::string& channel);

}  // namespace kestrun
