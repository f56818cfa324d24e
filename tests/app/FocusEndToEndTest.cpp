// The built kestrun on a private X server: keys that open a window of their own application go on into
// it, and a window of another process still stops the run.

#include "platform/x11/EwmhWindowActivator.h"
#include "tests/support/TestDocuments.h"
#include "tests/support/X11Queries.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::uintmax_t SizeOf(const fs::path& file)
{
    std::error_code ignored;
    const std::uintmax_t size = fs::file_size(file, ignored);
    return size == std::uintmax_t(-1) ? 0 : size;
}

// The size of a file once it has not grown for a second (the recorder works off the keys it holds).
std::uintmax_t Settled(const fs::path& file)
{
    std::uintmax_t size = SizeOf(file);
    for (int second = 0; second < 30; ++second) {
        std::this_thread::sleep_for(1s);
        if (const std::uintmax_t now = SizeOf(file); now == size)
            break;
        else
            size = now;
    }
    return size;
}

// Lines of numbers counting up, as keys ("~" ends a line) and as typed: a lost, doubled or moved key
// shows. Short lines: an editor slows down with the length of its line.
std::pair<std::string, std::string> Counting(int numbers)
{
    std::string keys, typed;
    for (int n = 0; n < numbers; ++n) {
        const std::string number = std::to_string(n) + (n % 10 == 9 ? "" : " ");
        keys += number + (n % 10 == 9 ? "~" : "");
        typed += number + (n % 10 == 9 ? "\n" : "");
    }
    return {keys, typed};
}

TEST(FocusEndToEnd, KeysGoOnIntoADialogTheirApplicationOpensAndAnotherProcessStopsThem)
{
    XSession session({.tray = true});
    ASSERT_TRUE(session.ok()) << session.failure;
    const fs::path meant = session.folder() / "meant.txt", dialog = session.folder() / "meant.txt.dialog",
                   other = session.folder() / "other.txt";
    const auto counting = Counting(5000);
    const std::string &keys = counting.first, &text = counting.second;
    std::string longText;
    for (int line = 0; line < 700; ++line)
        longText += "abcdefghij abcdefghij abcdefghij abcdefghij abcdefghij~";
    const fs::path executable = session.InstallKestrun(
        TemplateDocument(Program("Opens", {{"Keystrokes", "abc^o" + keys}}) +
                         Program("Pauses", {{"Keystrokes", "m^o"}, {"Wait", "2"}, {"Keystrokes", "after~"}}) +
                         Program("Long", {{"Keystrokes", longText}})));
    const pid_t bystander = session.StartRecorder(other);
    ASSERT_GT(bystander, 0);
    const pid_t editor = session.Start({KESTRUN_X_DIALOG_RECORDER, meant.string()});
    ASSERT_TRUE(EwmhWindowActivator().WaitForWindow(editor, 10s)) << "the recorder did not start";
    Started running{StartProcess({executable})};
    ASSERT_FALSE(WaitForTrayIcon().empty());
    const auto kestrunStop = [&] { return RunProgram({executable, "--stop"}); };
    const auto box = [] { return !WindowsNamed("^Kestrun$").empty(); };

    Step("Ctrl+O opens the dialog mid-text: the rest of the text goes into it, every key once and in order");
    EwmhWindowActivator().Activate(editor);
    ASSERT_EQ(RunProgram({executable, "--run", "Opens"}).status, 0);
    ASSERT_TRUE(WaitUntil([&] { return SizeOf(meant) + SizeOf(dialog) == 3 + text.size(); }, 60s))
        << "typed " << SizeOf(meant) << " + " << SizeOf(dialog) << " of " << 3 + text.size();
    EXPECT_TRUE(WaitUntil([&] { return kestrunStop().status == 1; }, 10s)) << "the run did not end";
    EXPECT_FALSE(box()) << "the dialog stopped the run";
    const std::string intoDialog = ReadFile(dialog);
    std::fprintf(stderr, "of %zu keys, %zu into the window and %zu into its dialog\n", 3 + text.size(),
                 static_cast<std::size_t>(SizeOf(meant)), intoDialog.size());
    EXPECT_FALSE(intoDialog.empty()) << "the dialog received nothing";
    EXPECT_EQ(ReadFile(meant) + intoDialog, "abc" + text);
    EXPECT_EQ(ReadFile(other), "");

    Step("a Wait during which the keys' dialog took the focus: the next keys go into the dialog");
    Xdo({"key", "Escape"});  // the dialog closes
    ASSERT_TRUE(WaitUntil([] { return WindowsNamed("^Open$").empty(); }, 10s)) << "the dialog stays";
    EwmhWindowActivator().Activate(editor);
    ASSERT_EQ(RunProgram({executable, "--run", "Pauses"}).status, 0);
    EXPECT_EQ(WaitForOutput(dialog, intoDialog.size() + 6).substr(intoDialog.size()), "after\n");
    EXPECT_EQ(ReadFile(meant).back(), 'm');
    EXPECT_FALSE(box()) << "the dialog stopped the run";

    Step("another process's window activated mid-text: the run stops, and that window receives nothing");
    Xdo({"key", "Escape"});
    ASSERT_TRUE(WaitUntil([] { return WindowsNamed("^Open$").empty(); }, 10s)) << "the dialog stays";
    EwmhWindowActivator().Activate(editor);
    const std::uintmax_t before = SizeOf(meant);
    ASSERT_EQ(RunProgram({executable, "--run", "Long"}).status, 0);
    ASSERT_TRUE(WaitUntil([&] { return SizeOf(meant) > before + 200; })) << "typing did not start";
    EwmhWindowActivator().Activate(bystander);
    EXPECT_TRUE(WaitUntil(box, 10s)) << "no message box";
    // The run has ended when its message shows.
    const Outcome duringBox = kestrunStop();
    EXPECT_EQ(duringBox.status, 1) << duringBox.err;
    EXPECT_EQ(duringBox.err, "Kestrun is running no program.\n");
    const std::uintmax_t typed = Settled(meant);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(SizeOf(meant), typed) << "typing went on";
    EXPECT_LT(typed - before, longText.size());
    EXPECT_EQ(ReadFile(other), "") << "keys reached the other process's window";
    EXPECT_EQ(KeysDown(), "");
}

}  // namespace
}  // namespace kestrun::test
