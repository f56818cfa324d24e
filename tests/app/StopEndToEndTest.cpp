// The built kestrun on a private X server with a tray: a stop during the wait for a window, and the
// tray menu's "Stop" entry clicked like a user.

#include "tests/support/TestDocuments.h"
#include "tests/support/X11Queries.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class StopEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session.ok()) << session.failure;
        executable = session.InstallKestrun(TemplateDocument(
            Program("Late", {{"Open File", session.RecorderScript(late, "sleep 4")}, {"Keystrokes", "never~"}}) +
            Program("Waits", {{"Open File", session.RecorderScript(waited)}, {"Keystrokes", "before~"}, {"Wait", "6"},
                              {"Keystrokes", "after~"}})));
        running.pid = StartProcess({executable});
        icon = WaitForTrayIcon();
        ASSERT_FALSE(icon.empty()) << "no tray icon; Kestrun's windows: " << KestrunWindows().size()
                                   << (MainWindowMapped() ? ", the main window among them" : "");
    }

    int Stop() { return RunProgram({executable, "--stop"}).status; }
    bool RunEnds() { return WaitUntil([&] { return Stop() == 1; }, 10s); }

    XSession session{{.tray = true}};
    const fs::path late = session.folder() / "late.txt", waited = session.folder() / "waited.txt";
    fs::path executable;
    Started running;
    std::string icon;
};

// A program that takes seconds to show its window: --stop ends the run in the wait, and no key
// reaches the window when it comes.
TEST_F(StopEndToEnd, StopDuringTheWaitForAWindowTypesNothingIntoItLater)
{
    const auto idleAsked = std::chrono::steady_clock::now();
    EXPECT_EQ(Stop(), 1);
    EXPECT_EQ(Stop(), 1);
    const auto twoStarts = std::chrono::steady_clock::now() - idleAsked;

    ASSERT_EQ(RunProgram({executable, "--run", "Late"}).status, 0);
    std::this_thread::sleep_for(1s);
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(Stop(), 0);
    EXPECT_TRUE(RunEnds()) << "the run did not end";
    const auto inWindowWait = std::chrono::steady_clock::now() - asked;
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(late); }, 20s)) << "the late program never showed its window";
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(ReadFile(late), "") << "keys were typed after the stop";
    EXPECT_EQ(KeysDown(), "");

    const auto ms = [](auto duration) { return (long long)std::chrono::duration_cast<std::chrono::milliseconds>(duration).count(); };
    std::fprintf(stderr, "X11, stop to the end of the run in the window wait %lld ms; two starts alone %lld ms\n",
                 ms(inWindowWait), ms(twoStarts));
    EXPECT_LT(inWindowWait, 10 * twoStarts);
}

// During a Wait the tray menu opens on the icon and its first entry, "Stop 'Waits'", ends the run: the
// keys after the Wait never come. (Asking `--stop` whether a run goes would stop it.)
TEST_F(StopEndToEnd, TheTrayMenusStopEntryEndsTheRun)
{
    ASSERT_EQ(RunProgram({executable, "--run", "Waits"}).status, 0);
    EXPECT_EQ(WaitForOutput(waited, 7), "before\n");
    const auto waitEnds = std::chrono::steady_clock::now() + 6s;
    // A key pressed before the menu holds the keyboard is lost: try again then.
    bool chosen = false;
    for (int attempt = 0; attempt < 4 && !chosen; ++attempt) {
        ClickCentre(icon, 3);
        if (!WaitUntil([] { return KestrunWindows().size() >= 2; }, 3s))
            continue;
        std::this_thread::sleep_for(300ms);
        Xdo({"key", "Down", "Return"});
        chosen = WaitUntil([] { return KestrunWindows().size() == 1; }, 2s);
    }
    EXPECT_TRUE(chosen) << "the menu stayed or a window showed";
    ASSERT_LT(std::chrono::steady_clock::now(), waitEnds) << "too slow to tell a stop from the Wait's end";
    std::this_thread::sleep_until(waitEnds + 3s);
    EXPECT_EQ(ReadFile(waited), "before\n") << "the run went on after its Stop entry";
    EXPECT_EQ(Stop(), 1);
    EXPECT_EQ(KeysDown(), "");
}

}  // namespace
}  // namespace kestrun::test
