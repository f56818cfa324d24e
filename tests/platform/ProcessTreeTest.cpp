#include "platform/linux/ProcessTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrun::test {
namespace {

TEST(ProcessTree, TheFamilyIsTheProcessFirstThenEveryDescendantAndNoneOnceEnded)
{
    // A child that starts a grandchild, whose id comes back through a pipe.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const pid_t child = fork();
    if (child == 0) {
        const pid_t inner = fork();
        if (inner != 0)
            (void)!write(ends[1], &inner, sizeof inner);
        pause();
        _exit(0);
    }
    pid_t grandchild = -1;
    (void)!read(ends[0], &grandchild, sizeof grandchild);
    close(ends[0]);
    close(ends[1]);

    EXPECT_EQ(ProcessFamily(child), (std::vector<long>{child, grandchild}));
    const std::vector<long> ofThis = ProcessFamily(getpid());
    EXPECT_EQ(std::count(ofThis.begin(), ofThis.end(), child) + std::count(ofThis.begin(), ofThis.end(), grandchild), 2);
    EXPECT_EQ(ProcessFamily(grandchild), std::vector<long>{grandchild});
    EXPECT_TRUE(ProcessRunning(child));

    kill(grandchild, SIGKILL);
    kill(child, SIGKILL);
    // Its end waited for without reaping it: it stays as a zombie.
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, child, &info, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(ProcessRunning(child));
    EXPECT_TRUE(ProcessFamily(child).empty());
    waitpid(child, nullptr, 0);
    for (const long gone : {long(child), 0L, -1L})
        EXPECT_FALSE(ProcessRunning(gone)) << gone;
}

}  // namespace
}  // namespace kestrun::test
