#include "platform/posix/ProcStat.h"
#include "platform/posix/ProcessTree.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>

namespace kestrun::test {
namespace {

// Fields 5 to 22 after the state and the parent: the start time is the last.
std::string Line(const std::string& command, const std::string& stateAndParent, const std::string& started = "4242")
{
    return "17 (" + command + ") " + stateAndParent + " 1 1 0 -1 4194560 0 0 0 0 0 0 0 0 20 0 1 0 " + started +
           " 1000 200";
}

TEST(ProcStat, FieldsAreTakenAfterTheLastParenthesisOfTheCommand)
{
    struct Row {
        std::string line;
        std::optional<char> state;  // nothing: the line does not read as a process
        long parent = 0;
    };
    const Row rows[] = {
        {Line("bash", "S 1"), 'S', 1},
        {Line("a) R 99 (b", "Z 7"), 'Z', 7},
        {Line("two words", "X 3000"), 'X', 3000},
        {Line("()", "R 0"), 'R', 0},
        {Line("bash", "SS 1"), std::nullopt},
        {Line("bash", "S 1x"), std::nullopt},
        {Line("bash", "S -"), std::nullopt},
        {Line("bash", "S 1", "12a"), std::nullopt},
        {"17 (bash) S 1 1 1", std::nullopt},
        {"17 bash S 1", std::nullopt},
        {"", std::nullopt},
    };
    for (const Row& row : rows) {
        const auto stat = ParseProcStat(row.line);
        ASSERT_EQ(stat.has_value(), row.state.has_value()) << row.line;
        if (!stat)
            continue;
        EXPECT_EQ(stat->state, *row.state) << row.line;
        EXPECT_EQ(stat->parent, row.parent) << row.line;
        EXPECT_EQ(stat->started, 4242u) << row.line;
    }
}

TEST(ProcStat, ThisProcessRunsItsEndedChildDoesNotAndHasTheSameStartEachTime)
{
    const auto self = ReadProcStat(getpid());
    ASSERT_TRUE(self);
    EXPECT_EQ(self->parent, getppid());
    EXPECT_NE(self->started, 0u);
    EXPECT_EQ(ReadProcStat(getpid()).value_or(ProcStat{}).started, self->started);
    EXPECT_TRUE(ProcessRunning(getpid()));

    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    ASSERT_GT(child, 0);
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, child, &info, WEXITED | WNOWAIT), 0);
    // Ended but not reaped: a zombie, which no longer runs.
    const auto zombie = ReadProcStat(child);
    ASSERT_TRUE(zombie);
    EXPECT_EQ(zombie->state, 'Z');
    EXPECT_FALSE(ProcessRunning(child));
    EXPECT_EQ(ProcessFamily(child), std::vector<long>{});
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(ReadProcStat(child));
}

}  // namespace
}  // namespace kestrun::test
