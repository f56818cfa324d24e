// What a process holds unread on its sockets.

#include "platform/posix/ClientBacklog.h"

#include "tests/support/TestProcesses.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
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

    EXPECT_FALSE(ClientBacklog(test::EndedProcess()).Known());
}

// Only the connections to a server at the address count, and all they hold.
TEST(ClientBacklogTest, AConnectionToAServerCountsAllItHoldsAndNothingElse)
{
    const std::string address = "kestrun-backlog-test-" + std::to_string(getpid());
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    std::memcpy(where.sun_path + 1, address.data(), address.size());  // abstract: a zero byte first
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + address.size());
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&where), length), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    const int client = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&where), length), 0);
    const int server = accept(listener, nullptr, nullptr);
    ASSERT_GE(server, 0);
    int other[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, other), 0);

    const std::string before(100, 'e');
    ASSERT_EQ(write(server, before.data(), before.size()), 100);  // unread before: still the client's to read
    ASSERT_EQ(write(other[0], before.data(), before.size()), 100);  // another socket: never counted
    ASSERT_EQ(write(client, before.data(), before.size()), 100);    // the server's unread: not the client's
    const ClientBacklog backlog(getpid(), address);
    ASSERT_TRUE(backlog.Known());
    EXPECT_EQ(backlog.Pending(), 100u);
    ASSERT_EQ(write(server, before.data(), before.size()), 100);
    EXPECT_EQ(backlog.Pending(), 200u);
    char buffer[200];
    ASSERT_EQ(read(client, buffer, sizeof buffer), 200);
    EXPECT_EQ(backlog.Pending(), 0u);

    EXPECT_FALSE(ClientBacklog(getpid(), address + "-elsewhere").Known());
    for (const int fd : {listener, client, server, other[0], other[1]})
        close(fd);
}

}  // namespace
}  // namespace kestrun
