#include "platform/linux/ProcessTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrun::test {
namespace {

bool Contains(const std::vector<long>& ids, long id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

// A child that starts a grandchild and then waits for a signal; the
// grandchild's id comes back through a pipe.
struct Family {
    pid_t child = -1;
    pid_t grandchild = -1;

    Family()
    {
        int ends[2];
        if (pipe(ends) != 0)
            return;
        child = fork();
        if (child == 0) {
            const pid_t inner = fork();
            if (inner == 0) {
                pause();
                _exit(0);
            }
            (void)!write(ends[1], &inner, sizeof inner);
            pause();
            _exit(0);
        }
        close(ends[1]);
        if (read(ends[0], &grandchild, sizeof grandchild) != sizeof grandchild)
            grandchild = -1;
        close(ends[0]);
    }
    ~Family()
    {
        if (grandchild > 0)
            kill(grandchild, SIGKILL);
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
    }
};

TEST(ProcessTree, TheFamilyHoldsTheProcessFirstAndEveryDescendant)
{
    Family family;
    ASSERT_GT(family.grandchild, 0);
    const std::vector<long> ofChild = ProcessFamily(family.child);
    ASSERT_FALSE(ofChild.empty());
    EXPECT_EQ(ofChild.front(), family.child);
    EXPECT_TRUE(Contains(ofChild, family.grandchild));

    const std::vector<long> ofThis = ProcessFamily(getpid());
    EXPECT_TRUE(Contains(ofThis, family.child));
    EXPECT_TRUE(Contains(ofThis, family.grandchild));
    EXPECT_EQ(ProcessFamily(family.grandchild), std::vector<long>{family.grandchild});
}

TEST(ProcessTree, AProcessThatHasEndedDoesNotRunEvenBeforeItIsReaped)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    ASSERT_GT(child, 0);
    siginfo_t info{};
    // Wait for its end without reaping it: it stays as a zombie.
    ASSERT_EQ(waitid(P_PID, child, &info, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(ProcessRunning(child));
    EXPECT_TRUE(ProcessFamily(child).empty());
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(ProcessRunning(child));

    EXPECT_TRUE(ProcessRunning(getpid()));
    EXPECT_FALSE(ProcessRunning(0));
    EXPECT_FALSE(ProcessRunning(-1));
}

}  // namespace
}  // namespace kestrun::test
