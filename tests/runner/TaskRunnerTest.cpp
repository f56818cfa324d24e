#include "runner/FileName.h"
#include "runner/TaskRunner.h"
#include "tests/runner/FakeRunHost.h"
#include "tests/runner/FakeServices.h"
#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kestrun::test {
namespace {

using Log = std::vector<std::string>;

TaskRow OpenFile(const std::string& path, const std::string& enabled = "True") { return {"Open File", path, enabled}; }
TaskRow Wait(const std::string& value) { return {"Wait", value, "True"}; }
TaskRow Keys(const std::string& keys) { return {"Keystrokes", keys, "True"}; }

class TaskRunnerTest : public ::testing::Test {
protected:
    Log Run(std::vector<TaskRow> rows)
    {
        host.log.clear(), fake.log.clear();
        host.rows = std::move(rows);
        runner.Run();
        host.log.insert(host.log.end(), fake.log.begin(), fake.log.end());
        return host.log;
    }

    Log Shown()
    {
        static const char* const icons[] = {"none", "information", "exclamation", "critical", "question"};
        static const char* const buttons[] = {"Ok", "OkCancel", "YesNo", "YesNoCancel"};
        Log shown;
        for (const auto& box : dialogs.shown)
            shown.push_back(box.text + "|" + box.title + "|" + icons[static_cast<int>(box.icon)] + "|" +
                            buttons[static_cast<int>(box.buttons)]);
        return shown;
    }

    FakeRunHost host;
    FakeServices fake;
    ScriptedDialogs dialogs;
    // With it, the user asks for the stop as soon as keys have been typed.
    bool stopAfterKeys = false;
    TaskRunner runner{host, dialogs, [this] {
                          RunServices services = fake.Services();
                          services.stopRequested = [this] {
                              return stopAfterKeys && !fake.log.empty() && fake.log.back().starts_with("keys");
                          };
                          return services;
                      }()};
};

TEST_F(TaskRunnerTest, WithoutAProgramToRunItSaysSoAndDoesNothingElse)
{
    host.unsaved = true;
    host.programCount = 0;
    EXPECT_EQ(Run({Keys("a")}), Log{"focus cmdAddProgram"});
    host.programCount = 2;
    host.selected = false;
    EXPECT_EQ(Run({Keys("a")}), Log{"focus cboPrograms"});
    EXPECT_EQ(Shown(), (Log{"Please create a program first.||information|Ok", "Please select a program.||information|Ok"}));
}

// The window hides before the save; "True"/"False" count in any case, or as a number.
TEST_F(TaskRunnerTest, HidesSavesPendingChangesAndRunsOnlyEnabledKnownRows)
{
    EXPECT_EQ(Run({}), Log{"hide"});
    host.unsaved = true;
    EXPECT_EQ(Run({OpenFile("/x", "False"), {"Keystrokes", "1", "false"}, {"Keystrokes", "2", "FALSE"},
                   {"Keystrokes", "3", "0"}, {"Keystrokes", "4", " 0.0 "}, {"Keystrokes", "5", "True"},
                   {"Keystrokes", "6", "-1"}, {"Keystrokes", "7", "maybe"}, {"Keystrokes", "8", ""},
                   {"wait", "1 seconds", "True"}, {"keystrokes", "x", "True"}, {"Open file", "/x", "True"}}),
              (Log{"hide", "save", "activate 0", "keys 5", "activate 0", "keys 6", "activate 0", "keys 7", "activate 0",
                   "keys 8"}));
    EXPECT_TRUE(dialogs.shown.empty());
}

// Waiting for its first window; a program that cannot start or a failed existence test change
// nothing of that, silently.
TEST_F(TaskRunnerTest, KeystrokesGoToTheProgramStartedLast)
{
    fake.executables = {"/bin/tool"};
    fake.failingExistence = {"/bin/tool"};
    fake.unstartable = {"/b.exe"};
    EXPECT_EQ(Run({Keys("a"), OpenFile("D:\\Setup.EXE"), Keys("b"), Wait("1"), Keys("c"), OpenFile("/b.exe"),
                   OpenFile("/bin/tool"), Keys("d")}),
              (Log{"hide", "activate 0", "keys a", "exists D:\\Setup.EXE", "start D:\\Setup.EXE", "activate 100",
                   "keys b", "sleep 1000", "activate 100", "keys c", "exists /b.exe", "start /b.exe", "exists /bin/tool",
                   "start /bin/tool", "activate 101", "keys d"}));
    using Waits = std::vector<std::pair<std::int32_t, std::chrono::milliseconds>>;
    const std::chrono::seconds limit(10);
    EXPECT_EQ(fake.waits, (Waits{{100, limit}, {100, limit}, {101, limit}})) << "for the first window";
    EXPECT_EQ(runner.LastTaskId(), 101);
    EXPECT_EQ(Run({Keys("x")}), (Log{"hide", "activate 0", "keys x"})) << "each run starts without a target";
    EXPECT_TRUE(dialogs.shown.empty());
}

// Notation that cannot be read stops the run before its first task, keys that cannot be typed stop
// it there, each with one message naming the task and why; a disabled row is never read.
TEST_F(TaskRunnerTest, KeystrokesThatCannotBeTypedStopTheRunWithOneMessage)
{
    fake.untypable = {"b"};
    const std::string x70(70, 'x'), task = "Task 3 of [Mine], Keystrokes [";
    const std::string notRun = "\r\n\r\nThe program was not run.";
    const std::tuple<std::vector<TaskRow>, Log, std::string> cases[] = {
        {{OpenFile("/a.txt"), {"Keystrokes", "{BAD", "False"}, Keys(x70 + "{ENTER")}, {"hide"},
         task + x70.substr(0, 60) + "...], cannot be typed:\r\nCharacter 71: \"{\" has no closing \"}\"." + notRun},
        {{Keys("a"), {"Keystrokes", "{BAD", "False"}, Keys("b"), Keys("c")},
         {"hide", "activate 0", "keys a", "activate 0", "keys b"},
         task + "b], cannot be typed:\r\nThe window has stopped taking keys.\r\n\r\nThe run stops here."},
    };
    for (const auto& [rows, log, message] : cases) {
        dialogs.shown.clear();
        EXPECT_EQ(Run(rows), log);
        EXPECT_EQ(Shown(), Log{message + "||critical|Ok"});
    }
}

// Typing that lost its window ends the run with one message naming the task and the window; typing
// that the user stopped ends it without a word.
TEST_F(TaskRunnerTest, TypingThatLostItsWindowOrWasStoppedEndsTheRun)
{
    fake.focusLost = {{"b", "Notes - Editor"}, {"c", ""}};
    const std::string stops = "\r\n\r\nThe run stops here.||exclamation|Ok";
    const std::tuple<std::vector<TaskRow>, bool, Log, Log> cases[] = {
        {{Keys("a"), Keys("b"), Keys("never")}, false, {"hide", "activate 0", "keys a", "activate 0", "keys b"},
         {"Typing stopped: the window \"Notes - Editor\" was no longer active.\r\nTask 2 of [Mine], Keystrokes [b] "
          "typed nothing into another window." + stops}},
        {{Keys("c")}, false, {"hide", "activate 0", "keys c"},
         {"Typing stopped: the window it typed into was no longer active.\r\nTask 1 of [Mine], Keystrokes [c] typed "
          "nothing into another window." + stops}},
        {{Keys("b"), Keys("never")}, true, {"hide", "activate 0", "keys b"}, {}},
    };
    for (const auto& [rows, stopped, log, shown] : cases) {
        dialogs.shown.clear();
        stopAfterKeys = stopped;
        EXPECT_EQ(Run(rows), log);
        EXPECT_EQ(Shown(), shown);
    }
}

// After a Wait the keys go only into the window typed into before, or one of its application's (a dialog
// its keys opened), unless the run brings its program forward.
TEST_F(TaskRunnerTest, AfterAWaitAnotherActiveWindowStopsTheRun)
{
    fake.executables = {"/bin/tool"};
    fake.sameApplication = {{7, 8}, {7, 5}};
    const std::string lost = "Typing stopped: the window it typed into was no longer active.\r\nTask 3 of [Mine], "
                             "Keystrokes [b] typed nothing into another window.\r\n\r\nThe run stops here.||exclamation|Ok";
    const std::tuple<std::vector<TaskRow>, std::vector<std::uint64_t>, Log, Log> cases[] = {
        {{Keys("a"), Wait("1"), Keys("b")}, {7, 9}, {"hide", "activate 0", "keys a", "sleep 1000", "activate 0"}, {lost}},
        {{Keys("a"), Wait("1"), Keys("b")}, {7, 7}, {"hide", "activate 0", "keys a", "sleep 1000", "activate 0", "keys b"}, {}},
        {{Keys("a"), Wait("1"), Keys("b")}, {7, 8}, {"hide", "activate 0", "keys a", "sleep 1000", "activate 0", "keys b"}, {}},
        {{Keys("a"), Wait("1"), Keys("b"), Wait("1"), Keys("c")}, {7, 8, 8, 5},  // 5 is of 7's application, not of 8's, typed into last
         {"hide", "activate 0", "keys a", "sleep 1000", "activate 0", "keys b", "sleep 1000", "activate 0"},
         {"Typing stopped: the window it typed into was no longer active.\r\nTask 5 of [Mine], Keystrokes [c] typed "
          "nothing into another window.\r\n\r\nThe run stops here.||exclamation|Ok"}},
        {{Keys("a"), Keys("b")}, {7, 9}, {"hide", "activate 0", "keys a", "activate 0", "keys b"}, {}},  // no Wait
        {{Keys("a"), Wait("1"), Keys("b")}, {7, 0}, {"hide", "activate 0", "keys a", "sleep 1000", "activate 0", "keys b"}, {}},
        {{OpenFile("/bin/tool"), Keys("a"), Wait("1"), Keys("b")}, {7, 9},
         {"hide", "exists /bin/tool", "start /bin/tool", "activate 100", "keys a", "sleep 1000", "activate 100", "keys b"},
         {}},  // brought forward by the run
    };
    for (const auto& [rows, active, log, shown] : cases) {
        dialogs.shown.clear();
        fake.activeWindows = active;
        fake.nextTaskId = 100;
        EXPECT_EQ(Run(rows), log);
        EXPECT_EQ(Shown(), shown);
    }
}

// The message after a Wait names the window typed into by its title now, or by the one it had when
// typed into once it is gone.
TEST_F(TaskRunnerTest, AfterAWaitTheMessageNamesTheWindowTypedInto)
{
    const auto message = [](const std::string& window) {
        return "Typing stopped: the window " + window + " was no longer active.\r\nTask 3 of [Mine], Keystrokes [b] "
               "typed nothing into another window.\r\n\r\nThe run stops here.||exclamation|Ok";
    };
    const std::tuple<std::map<std::uint64_t, std::string>, std::function<void()>, std::string> cases[] = {
        {{{7, "Notes"}, {9, "Chat"}}, nullptr, message("\"Notes\"")},
        {{{7, "Notes"}}, [&] { fake.titles[7] = "*Notes"; }, message("\"*Notes\"")},
        {{{7, "Notes"}}, [&] { fake.titles.erase(7); }, message("\"Notes\"")},
        {{{9, "Chat"}}, nullptr, message("it typed into")},
    };
    for (const auto& [titles, duringWait, shown] : cases) {
        dialogs.shown.clear();
        fake.activeWindows = {7, 9};
        fake.titles = titles;
        fake.duringSleep = duringWait;
        EXPECT_EQ(Run({Keys("a"), Wait("1"), Keys("b")}),
                  (Log{"hide", "activate 0", "keys a", "sleep 1000", "activate 0"}));
        EXPECT_EQ(Shown(), Log{shown});
    }
}

TEST_F(TaskRunnerTest, AMissingFileAsksWhetherToContinue)
{
    fake.missing = {"/gone.txt"};
    dialogs.answers = {MessageAnswer::Yes, MessageAnswer::No};
    EXPECT_EQ(Run({OpenFile("/gone.txt"), Keys("after")}), (Log{"hide", "exists /gone.txt", "activate 0", "keys after"}));
    EXPECT_EQ(Run({OpenFile("/gone.txt"), Keys("after")}), (Log{"hide", "exists /gone.txt"}));
    const std::string question = "[/gone.txt] file not found.\r\n\r\nContinue?|File Not Found|exclamation|YesNo";
    EXPECT_EQ(Shown(), (Log{question, question}));
}

TEST_F(TaskRunnerTest, DocumentsOpenThroughTheirAssociationAndAFailureEndsTheRun)
{
    fake.unopenable = {"/b/letter.doc"};
    EXPECT_EQ(Run({OpenFile("/a/notes.txt"), OpenFile("/b/letter.doc"), Keys("never")}),
              (Log{"hide", "exists /a/notes.txt", "open /a/notes.txt", "exists /b/letter.doc", "open /b/letter.doc"}));
    EXPECT_EQ(Shown(), Log{"An Error has occurred trying to open [/b/letter.doc].||critical|Ok"});
}

// The number at the start of the value, in milliseconds rounded half to even;
// nothing for zero or what does not fit a signed 32-bit count.
TEST_F(TaskRunnerTest, WaitsReadTheLeadingNumberAndRoundHalfToEven)
{
    EXPECT_EQ(Run({Wait("5 seconds"), Wait("0 seconds"), Wait("2.5 seconds"), Wait("0.0005 seconds"),
                   Wait("0.0015 seconds"), Wait("0.0025"), Wait("-0.0004"), Wait("1 5 seconds"), Wait("-3 seconds"),
                   Wait("2147483.647 seconds"), Wait("2147483.6475"), Wait("2147483.648 seconds"), Wait("1e999")}),
              (Log{"hide", "sleep 5000", "sleep 2500", "sleep 2", "sleep 2", "sleep 15000", "sleep 2147483647"}));
}

TEST(FileNameTest, ExtensionIsWhatFollowsTheLastDotOfTheName)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"D:\\Tools\\Setup.EXE", "EXE"}, {"D:\\Data\\backup.tar.gz", "gz"}, {"D:\\my.files\\readme", "readme"},
        {"D:\\Data\\", ""},            {"D:\\Data\\file.", ""},        {"/home/ann/my.files/readme", "readme"},
        {"/srv/a.b\\c", "c"},            {"/srv/a\\b.c/d", "d"},           {".bashrc", "bashrc"},
        {"", ""},                       {"/tmp/é.ñ", "ñ"},
    };
    for (const auto& [path, extension] : cases)
        EXPECT_EQ(GetFileExtension(path), extension) << path;
}

}  // namespace
}  // namespace kestrun::test
