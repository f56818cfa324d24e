// What a process holds unread on its sockets.

#include "platform/posix/ClientBacklog.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace kestrun {
namespace {

TEST(ClientBacklogTest, CountsWhatArrivedSinceItStartedAndIsNotReadYet)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    const std::string before(300, 'x');
    ASSERT_EQ(write(ends[0], before.data(), before.size()), 300);  // there before: not counted
    const ClientBacklog backlog(getpid());
    ASSERT_TRUE(backlog.Known());
    EXPECT_EQ(backlog.Pending(), 0u);
    const std::string keys(5000, 'k');
    ASSERT_EQ(write(ends[0], keys.data(), keys.size()), 5000);
    EXPECT_EQ(backlog.Pending(), 5000u);
    char buffer[2300];
    ASSERT_EQ(read(ends[1], buffer, sizeof buffer), 2300);
    EXPECT_EQ(backlog.Pending(), 2700u);  // 3,000 unread, less the 300 it started with
    ASSERT_EQ(read(ends[1], buffer, sizeof buffer), 2300);
    EXPECT_EQ(backlog.Pending(), 400u);
    close(ends[0]);
    close(ends[1]);

    const pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    waitpid(ended, nullptr, 0);
    EXPECT_FALSE(ClientBacklog(ended).Known());
}

}  // namespace
}  // namespace kestrun
