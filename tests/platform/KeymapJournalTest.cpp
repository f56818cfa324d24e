#include "platform/x11/keyguard/KeyGuardJournal.h"
#include "platform/x11/keyguard/KeyGuardRepair.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace kestrun::test {
namespace {

const std::string kJournalText = "kestrun-keymap-journal 1\nwriter 1234 987654321\nguardian 1240 987654399\n"
                                 "code 200 2 0 0 1000436 1000436\ncode 201 4 1008ff12 0 1008ff12 0 3b1 391 3b2 392\n"
                                 "code 200 2 0 0 20ac 20ac\nend\n";

const KeymapJournal kJournal = {{1234, 987654321}, {1240, 987654399},
    {{200, {0, 0}, {0x1000436, 0x1000436}}, {201, {0x1008ff12, 0, 0x1008ff12, 0}, {0x3b1, 0x391, 0x3b2, 0x392}},
     {200, {0, 0}, {0x20ac, 0x20ac}}}};

// The journal is read back whole or not at all: a cut or altered file must
// never give back keys that were not borrowed.
TEST(KeymapJournalTest, OnlyAWholeJournalReadsBack)
{
    EXPECT_EQ(FormatKeymapJournal(kJournal), kJournalText);
    EXPECT_EQ(ParseKeymapJournal(kJournalText), kJournal);
    KeymapJournal alone = kJournal;
    alone.guardian = {};  // the guardian could not start
    EXPECT_EQ(ParseKeymapJournal(FormatKeymapJournal(alone)), alone);

    const auto replaced = [](const std::string& from, const std::string& to) {
        std::string text = kJournalText;
        return text.replace(text.find(from), from.size(), to);
    };
    for (const std::string& text : {kJournalText.substr(0, kJournalText.size() - 1),
                                    kJournalText.substr(0, kJournalText.rfind("end")), replaced("journal 1", "journal 2"),
                                    replaced("writer 1234", "writer 12x4"), replaced("code 200 2 0", "code 256 2 0"),
                                    replaced("1000436 1000436", "1000436"), replaced("code 200 2", "code 200 0")})
        EXPECT_FALSE(ParseKeymapJournal(text)) << text;
}

TEST(KeymapJournalTest, ACodeKeepsItsFirstOriginalAndItsTwoLatestMeanings)
{
    std::vector<BorrowedCode> codes;
    AddBorrowedCode(codes, {200, {0, 0}, {0x3b1, 0x3b1}});
    AddBorrowedCode(codes, {201, {0x61, 0x41}, {0x3b2, 0x3b2}});
    for (unsigned long sym = 0x3b3; sym <= 0x3b6; ++sym)
        AddBorrowedCode(codes, {200, {0x3b1, 0x3b1}, {sym, sym}});  // each time read from the borrowed code
    EXPECT_EQ(codes, (std::vector<BorrowedCode>{
                         {201, {0x61, 0x41}, {0x3b2, 0x3b2}}, {200, {0, 0}, {0x3b5, 0x3b5}}, {200, {0, 0}, {0x3b6, 0x3b6}}}));
}

TEST(KeymapJournalTest, ACodeIsStillBorrowedOnlyWhileItHoldsExactlyWhatTypingPutThere)
{
    const std::vector<std::tuple<std::vector<unsigned long>, std::vector<unsigned long>, bool>> cases = {
        {{0x1000436, 0x1000436, 0x1000436, 0x1000436, 0, 0, 0}, {0x1000436, 0x1000436, 0x1000436, 0x1000436}, true},
        {{0x3b1, 0x391, 0x3b2, 0x392, 0, 0}, {0x3b1, 0x391, 0x3b2, 0x392}, true},
        {{0x61, 0x41, 0x61, 0x41, 0, 0, 0}, {0x61, 0x41}, false},  // the same keysyms, not in the same places
        {{0x3b1, 0x391, 0, 0}, {0x3b1, 0x391, 0x3b2, 0x392}, false},  // a level changed since
        {{0x61, 0x41, 0x61, 0x41}, {0x1000436, 0x1000436}, false},    // someone else's keysyms
        {{0, 0, 0, 0}, {0x1000436, 0x1000436}, false},                // already given back
    };
    for (const auto& [current, borrowed, holds] : cases)
        EXPECT_EQ(HoldsBorrowed(current, borrowed), holds) << borrowed.front();
}

TEST(KeymapJournalTest, LivesInAPrivateFolderOfTheRuntimeDirectory)
{
    TempFolder runtime;
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    const auto path = KeymapJournalPath("host/unix:1.0");
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, runtime / "kestrun" / "keymap-host_unix:1.0.journal");
    ASSERT_TRUE(WriteKeymapJournal(*path, kJournal));
    EXPECT_EQ(runtime.Read("kestrun/keymap-host_unix:1.0.journal"), kJournalText);
    EXPECT_EQ(ReadKeymapJournal(*path), kJournal);
    EXPECT_EQ(std::filesystem::status(path->parent_path()).permissions(), std::filesystem::perms::owner_all);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path->parent_path()), {}), 1)
        << "a file of the write was left beside the journal";
    setenv("XDG_RUNTIME_DIR", "relative/run", 1);
    EXPECT_FALSE(KeymapJournalPath(":1"));
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_FALSE(KeymapJournalPath(":1"));
}

TEST(KeymapJournalTest, AProcessThatEndedOrWhoseIdWasReusedIsNotRunning)
{
    const ProcessIdentity self = CurrentProcess();
    EXPECT_TRUE(IsRunning(self));
    EXPECT_FALSE(IsRunning({self.pid, self.started + 1}));
    EXPECT_FALSE(ProvenEnded(self));
    EXPECT_TRUE(ProvenEnded({self.pid, self.started + 1}));
    EXPECT_FALSE(ProvenEnded({self.pid, 0})) << "a start time not known proves nothing";
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    ASSERT_GT(child, 0);
    // Ended but not yet reaped: a zombie does not count.
    for (int k = 0; k < 500 && RunningProcess(child); ++k)
        usleep(10000);
    EXPECT_FALSE(RunningProcess(child));
    EXPECT_TRUE(ProvenEnded({child, 0}));
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(ProvenEnded({child, 0}));
}

}  // namespace
}  // namespace kestrun::test
