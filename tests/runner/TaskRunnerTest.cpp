#include "runner/TaskRunner.h"

#include "core/Globals.h"
#include "tests/runner/FakeRunHost.h"
#include "tests/runner/FakeServices.h"
#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

using Log = std::vector<std::string>;

TaskRow OpenFile(const std::string& path, const std::string& enabled = "True") { return {"Open File", path, enabled}; }
TaskRow Wait(const std::string& value) { return {"Wait", value, "True"}; }
TaskRow Keys(const std::string& keys) { return {"Keystrokes", keys, "True"}; }

class TaskRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { gDocumentDirty = false; }
    void TearDown() override { gDocumentDirty = false; }

    Log Run(std::vector<TaskRow> rows)
    {
        host.rows = std::move(rows);
        runner.Run();
        return services.log;
    }

    FakeServices services;
    FakeRunHost host;
    ScriptedDialogs dialogs;
    TaskRunner runner{host, dialogs, services.Services()};
};

TEST_F(TaskRunnerTest, WithoutProgramsItAsksForOneAndRunsNothing)
{
    host.programCount = 0;
    gDocumentDirty = true;
    EXPECT_EQ(Run({Keys("a")}), Log{});
    EXPECT_EQ(host.log, Log{"focus cmdAddProgram"});
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Please create a program first.");
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(dialogs.shown[0].title, "");
}

TEST_F(TaskRunnerTest, WithoutSelectionItAsksForOneAndRunsNothing)
{
    host.selected = false;
    EXPECT_EQ(Run({Keys("a")}), Log{});
    EXPECT_EQ(host.log, Log{"focus cboPrograms"});
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Please select a program.");
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Information);
}

TEST_F(TaskRunnerTest, HidesTheWindowThenSavesOnlyPendingChanges)
{
    Run({});
    EXPECT_EQ(host.log, Log{"hide"});
    host.log.clear();
    gDocumentDirty = true;
    Run({OpenFile("/x", "False")});
    EXPECT_EQ(host.log, (Log{"hide", "save"}));
    EXPECT_EQ(services.log, Log{});
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(TaskRunnerTest, SkipsDisabledRowsAndUnknownTypes)
{
    const Log log = Run({
        {"Keystrokes", "1", "False"}, {"Keystrokes", "2", "false"}, {"Keystrokes", "3", "FALSE"},
        {"Keystrokes", "4", "0"},     {"Keystrokes", "5", " 0.0 "}, {"Keystrokes", "6", "True"},
        {"Keystrokes", "7", "-1"},    {"Keystrokes", "8", "maybe"}, {"Keystrokes", "9", ""},
        {"wait", "1 seconds", "True"}, {"keystrokes", "x", "True"}, {"Open file", "/x", "True"},
    });
    EXPECT_EQ(log, (Log{"activate 0", "keys 6", "activate 0", "keys 7", "activate 0", "keys 8",
                        "activate 0", "keys 9"}));
}

TEST_F(TaskRunnerTest, KeystrokesGoToTheProgramStartedLast)
{
    services.executables = {"/bin/tool"};
    const Log log = Run({Keys("a"), OpenFile("D:\\Setup.EXE"), Keys("b"), OpenFile("/bin/tool"), Keys("{BAD"),
                         Keys("c")});
    EXPECT_EQ(log, (Log{"activate 0", "keys a", "exists D:\\Setup.EXE", "start D:\\Setup.EXE", "activate 100",
                        "keys b", "exists /bin/tool", "start /bin/tool", "activate 101",
                        "activate 101", "keys c"}));
    EXPECT_EQ(runner.LastTaskId(), 101);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(TaskRunnerTest, KeystrokesAfterAStartWaitForThatProgramsFirstWindow)
{
    using Waits = std::vector<std::pair<std::int32_t, std::chrono::milliseconds>>;
    Run({Keys("a"), OpenFile("/a.exe"), Keys("b"), Wait("1"), Keys("c"), OpenFile("/b.exe"), Keys("d")});
    EXPECT_EQ(services.waits, (Waits{{100, kFirstWindowLimit}, {100, kFirstWindowLimit}, {101, kFirstWindowLimit}}));
    EXPECT_EQ(kFirstWindowLimit, std::chrono::seconds(10));
}

TEST_F(TaskRunnerTest, AProgramThatCannotStartKeepsThePreviousTargetSilently)
{
    services.unstartable = {"/b.exe"};
    const Log log = Run({OpenFile("/a.exe"), OpenFile("/b.exe"), Keys("x")});
    EXPECT_EQ(log.back(), "keys x");
    EXPECT_EQ(log[log.size() - 2], "activate 100");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(TaskRunnerTest, EachRunStartsWithoutATarget)
{
    Run({OpenFile("/a.exe")});
    services.log.clear();
    EXPECT_EQ(Run({Keys("x")}), (Log{"activate 0", "keys x"}));
}

TEST_F(TaskRunnerTest, AMissingFileAsksWhetherToContinue)
{
    services.missing = {"/gone.txt"};
    dialogs.answers = {MessageAnswer::Yes};
    Log log = Run({OpenFile("/gone.txt"), Keys("after")});
    EXPECT_EQ(log, (Log{"exists /gone.txt", "activate 0", "keys after"}));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "[/gone.txt] file not found.\r\n\r\nContinue?");
    EXPECT_EQ(dialogs.shown[0].title, "File Not Found");
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::YesNo);

    services.log.clear();
    dialogs.answers = {MessageAnswer::No};
    log = Run({OpenFile("/gone.txt"), Keys("after")});
    EXPECT_EQ(log, (Log{"exists /gone.txt"}));
    EXPECT_EQ(host.log.back(), "hide");
}

TEST_F(TaskRunnerTest, AFailedExistenceTestCountsAsPresent)
{
    services.failingExistence = {"/net/a.exe"};
    EXPECT_EQ(Run({OpenFile("/net/a.exe")}), (Log{"exists /net/a.exe", "start /net/a.exe"}));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(TaskRunnerTest, DocumentsOpenThroughTheirAssociationAndAFailureEndsTheRun)
{
    services.unopenable = {"/b/letter.doc"};
    const Log log = Run({OpenFile("/a/notes.txt"), OpenFile("/b/letter.doc"), Keys("never")});
    EXPECT_EQ(log, (Log{"exists /a/notes.txt", "open /a/notes.txt", "exists /b/letter.doc", "open /b/letter.doc"}));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "An Error has occurred trying to open [/b/letter.doc].");
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(dialogs.shown[0].title, "");
}

TEST_F(TaskRunnerTest, WaitsReadTheLeadingNumberAndRoundHalfToEven)
{
    const Log log = Run({Wait("5 seconds"), Wait("0 seconds"), Wait("2.5 seconds"), Wait("0.0005 seconds"),
                         Wait("0.0015 seconds"), Wait("1 5 seconds"), Wait("seconds"), Wait("-3 seconds"),
                         Wait("2147483.647 seconds"), Wait("2147483.648 seconds"), Wait("1e999 seconds")});
    EXPECT_EQ(log, (Log{"sleep 5000", "sleep 2500", "sleep 2", "sleep 15000", "sleep 2147483647"}));
}

TEST(WaitMillisecondsTest, RefusesWhatDoesNotFitASignedCount)
{
    EXPECT_EQ(WaitMilliseconds("0.0025"), 2u);
    EXPECT_EQ(WaitMilliseconds("-0.0004"), 0u);
    EXPECT_EQ(WaitMilliseconds("-1"), std::nullopt);
    EXPECT_EQ(WaitMilliseconds("2147483.6475"), std::nullopt);
    EXPECT_EQ(WaitMilliseconds("1e300"), std::nullopt);
}

}  // namespace
}  // namespace kestrun::test
