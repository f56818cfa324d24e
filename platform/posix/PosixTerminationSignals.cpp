#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace kestrun {

namespace {

std::atomic<bool> gRequested{false};
// The self-pipe: the handler may only write to it, the event loop reads it.
int gPipe[2] = {-1, -1};

void OnTermination(int)
{
    const int saved = errno;
    gRequested.store(true);
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(gPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void CatchTerminationSignals()
{
    if (gPipe[0] >= 0 || pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = OnTermination;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool TerminationRequested() { return gRequested.load(std::memory_order_relaxed); }

int TerminationDescriptor() { return gPipe[0]; }

}  // namespace kestrun
