#include "platform/posix/PipeReaders.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

namespace kestrun {
namespace {

TEST(PipeReadersTest, TellsAReadEndByItsFlags)
{
    const struct Row {
        const char* fdinfo;
        bool readsOnly;
    } rows[] = {
        {"pos:\t0\nflags:\t0100000\nmnt_id:\t14\nino:\t7\n", true},
        {"pos:\t0\nflags:\t02004000\n", true},   // O_CLOEXEC | O_NONBLOCK, read only
        {"pos:\t0\nflags:\t0100001\n", false},  // the write end
        {"pos:\t0\nflags:\t02\n", false},       // read and write: a FIFO opened so is a writer too
        {"pos:\t0\nmnt_id:\t14\n", false},
        {"flags:\tx\n", false},
        {"", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PipeReaders::ReadsOnly(row.fdinfo), row.readsOnly) << row.fdinfo;
}

// Another process holds the read end until told to close it; this one, which holds both, is not counted.
TEST(PipeReadersTest, FindsTheProcessHoldingTheReadEndUntilItClosesIt)
{
    int data[2], go[2];
    ASSERT_EQ(pipe(data), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(data[1]);
        close(go[1]);
        char byte;
        (void)!read(go[0], &byte, 1);
        close(data[0]);
        (void)!read(go[0], &byte, 1);
        _exit(0);
    }
    close(go[0]);
    PipeReaders readers(data[1]);
    EXPECT_EQ(readers.processes(), std::vector<pid_t>{child});
    EXPECT_TRUE(readers.Remain());
    close(data[0]);
    ASSERT_EQ(write(go[1], "x", 1), 1);
    bool gone = false;
    for (int i = 0; i < 1000 && !gone; ++i, usleep(10000))
        gone = !readers.Remain();
    EXPECT_TRUE(gone) << "the reader closed the pipe";
    close(go[1]);
    waitpid(child, nullptr, 0);
    close(data[1]);

    // Not a pipe: no reader, nothing to wait for.
    const int file = open("/dev/null", O_WRONLY);
    EXPECT_FALSE(PipeReaders(file).Remain());
    close(file);
}

}  // namespace
}  // namespace kestrun
