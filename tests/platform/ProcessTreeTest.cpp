#include "platform/linux/ProcessTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrun::test {
namespace {

bool Contains(const std::vector<long>& ids, long id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

TEST(ProcessTree, TheFamilyIsTheProcessFirstThenEveryDescendantAndNoneOnceEnded)
{
    // A child that starts a grandchild, whose id comes back through a pipe.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const pid_t child = fork();
    if (child == 0) {
        const pid_t inner = fork();
        if (inner == 0)
            pause();
        (void)!write(ends[1], &inner, sizeof inner);
        pause();
        _exit(0);
    }
    close(ends[1]);
    pid_t grandchild = -1;
    (void)!read(ends[0], &grandchild, sizeof grandchild);
    close(ends[0]);

    const std::vector<long> ofChild = ProcessFamily(child);
    ASSERT_FALSE(ofChild.empty());
    EXPECT_EQ(ofChild.front(), child);
    EXPECT_TRUE(Contains(ofChild, grandchild));
    const std::vector<long> ofThis = ProcessFamily(getpid());
    EXPECT_TRUE(Contains(ofThis, child));
    EXPECT_TRUE(Contains(ofThis, grandchild));
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
    EXPECT_FALSE(ProcessRunning(child));
    EXPECT_FALSE(ProcessRunning(0));
    EXPECT_FALSE(ProcessRunning(-1));
}

}  // namespace
}  // namespace kestrun::test
