// Whether a process sleeps waiting for input, as an event loop with nothing
// left to handle does.

#include "platform/posix/ProcessIdle.h"

#include "tests/support/TestProcesses.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace kestrun {
namespace {

using namespace std::chrono_literals;

TEST(ProcessIdle, OnlyASleepInPollSelectOrEpollIsAWaitForInput)
{
    const struct {
        char state;
        const char* channel;
        std::optional<bool> waits;
    } rows[] = {
        {'S', "poll_schedule_timeout.constprop.0", true},
        {'S', "do_select", true},
        {'S', "ep_poll", true},
        {'S', "hrtimer_nanosleep", false},  // a sleep, not a wait for input
        {'S', "futex_wait_queue", false},
        {'D', "poll_schedule_timeout", false},
        {'R', "0", false},
        {'S', "0", std::nullopt},  // hidden
        {'S', "", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ThreadWaitsForInput(row.state, row.channel), row.waits) << row.state << " " << row.channel;
}

TEST(ProcessIdle, ASleepingThreadsSignatureIsItsCallAndFirstTwoArguments)
{
    const std::pair<const char*, std::optional<std::string>> rows[] = {
        {"270 0x5 0x5556 0x5557 0x0 0x0 0x0 0x7fff 0x7f84\n", "270 0x5 0x5556"},
        {"7 0x7ffd 0x1 0xffffffff 0x0 0x0 0x0 0x7ffd 0x7f84", "7 0x7ffd 0x1"},
        {"running\n", std::nullopt},
        {"-1 0x7ffd 0x7f84\n", std::nullopt},  // in no system call
        {"0", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [line, signature] : rows)
        EXPECT_EQ(SyscallSignature(line), signature) << line;
}

// A child doing `body` until killed.
class Child {
public:
    explicit Child(const std::function<void()>& body) : pid_(fork())
    {
        if (pid_ == 0) {
            body();
            _exit(0);
        }
    }
    ~Child()
    {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_;
};

// What WaitsForInput says of the process once it has said the same for a while.
std::optional<bool> Settled(pid_t pid)
{
    std::optional<bool> last = WaitsForInput(pid);
    for (int same = 0; same < 20; std::this_thread::sleep_for(5ms)) {
        const std::optional<bool> now = WaitsForInput(pid);
        same = now == last ? same + 1 : 0;
        last = now;
    }
    return last;
}

TEST(ProcessIdle, AProcessInPollWaitsOneThatSleepsOrRunsDoesNot)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const Child polling([&] {
        pollfd wait{ends[0], POLLIN, 0};
        poll(&wait, 1, -1);
    });
    const Child sleeping([] { sleep(100); });
    const Child running([] {
        std::atomic<unsigned long> spin{0};
        for (;;)
            spin.fetch_add(1, std::memory_order_relaxed);
    });
    EXPECT_EQ(Settled(polling.pid()), true);
    const auto signature = WaitSignature(polling.pid());
    ASSERT_TRUE(signature);
    EXPECT_EQ(WaitSignature(polling.pid()), signature);  // the same wait, looked at again
    EXPECT_NE(WaitSignature(sleeping.pid()), signature);
    EXPECT_EQ(Settled(sleeping.pid()), false);
    EXPECT_EQ(Settled(running.pid()), false);
    close(ends[0]);
    close(ends[1]);

    EXPECT_EQ(WaitsForInput(test::EndedProcess()), std::nullopt);
}

}  // namespace
}  // namespace kestrun
