// The built kestrun on a private X server with openbox and an XEmbed tray
// (trayer), driven like a user with xdotool: from its start hidden in the
// tray to its end from the tray menu, then ended by SIGTERM while it types.

#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The numbers of a CARDINAL property as xprop prints it ("NAME(CARDINAL) = 1, 2").
std::vector<int> Cardinals(const std::vector<std::string>& xprop)
{
    const std::string text = RunProgram(xprop).out;
    std::vector<int> values;
    const auto equals = text.find(" = ");
    std::istringstream in(equals == std::string::npos ? "" : text.substr(equals + 3));
    for (std::string value; std::getline(in, value, ',');)
        values.push_back(std::atoi(value.c_str()));
    return values;
}

// A number that xwininfo prints after `label`.
int WindowInfo(const std::string& window, const std::string& label)
{
    const std::string text = RunProgram({"xwininfo", "-id", window}).out;
    const auto at = text.find(label);
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + label.size());
}

// A position stored on quitting, in twips; -1 when none is.
long Stored(const fs::path& settings, const std::string& name)
{
    const std::string text = ReadFile(settings), key = "\"frmMain " + name + "\"=dword:";
    const auto at = text.find(key);
    return at == std::string::npos ? -1L : std::strtol(text.c_str() + at + key.size(), nullptr, 16);
}

TEST(TrayEndToEnd, HiddenInTheTrayOpenedCentredLaunchedQuitAndEndedBySigterm)
{
    XSession session({.tray = true});
    ASSERT_TRUE(session.ok()) << session.failure;
    const fs::path typed = session.folder() / "typed.txt", typedLong = session.folder() / "long.txt";
    const fs::path settings = session.folder() / "config" / "Quillon Works" / "Kestrun.reg";
    // Enough characters outside the layout for the typing to take seconds,
    // so that the signal comes while it types; the tasks after it show
    // whether the run went on.
    std::string text;
    for (int k = 0; k < 1000; ++k)
        text += "абвгдежзийклмнопрстуфхцчшщъыьэюя αβγδεζηθικλμνξοπρστυφχψω ";
    const fs::path kestrun = session.InstallKestrun(TemplateDocument(
        Program("Record", {{"Open File", session.RecorderScript(typed)}, {"Keystrokes", "Tray +works~"}}) +
        Program("Long", {{"Open File", session.RecorderScript(typedLong)}, {"Keystrokes", text}, {"Wait", "600"},
                          {"Open File", session.RecorderScript(session.folder() / "after.txt")}})));
    Started app{StartProcess({kestrun})};

    Step("hidden: only the icon, embedded in the tray");
    const std::string icon = XSession::WaitForTrayIcon();
    ASSERT_FALSE(icon.empty()) << "no tray icon appeared";
    EXPECT_FALSE(MainWindowMapped());

    Step("the first showing is centred by the outer size, frame and menu bar included");
    const std::string main = XSession::OpenMainWindowFromIcon(icon);
    ASSERT_FALSE(main.empty()) << "the double click did not open the window in front";
    std::vector<int> frame;  // left, right, top, bottom
    WaitUntil([&] { return (frame = Cardinals({"xprop", "-id", main, "_NET_FRAME_EXTENTS"})).size() == 4; });
    ASSERT_EQ(frame.size(), 4u) << "the window manager gave the window no frame";
    const std::vector<int> work = Cardinals({"xprop", "-root", "_NET_WORKAREA"});
    ASSERT_GE(work.size(), 4u);
    const int outerLeft = WindowInfo(main, "Absolute upper-left X:") - frame[0];
    const int outerTop = WindowInfo(main, "Absolute upper-left Y:") - frame[2];
    const int outerWidth = WindowInfo(main, "Width:") + frame[0] + frame[1];
    const int outerHeight = WindowInfo(main, "Height:") + frame[2] + frame[3];
    // A pixel either way for the rounding to twips and back.
    EXPECT_NEAR(outerLeft, (work[2] - outerWidth) / 2.0, 1.0);
    EXPECT_NEAR(outerTop, (work[3] - outerHeight) / 2.0, 1.0);

    Step("Enter is \"Launch It !\": the window goes, the first program runs in the program it started");
    Xdo({"key", "Return"});
    EXPECT_TRUE(WaitUntil([] { return !MainWindowMapped(); })) << "the window stayed open";
    EXPECT_EQ(WaitForOutput(typed, 11), "Tray Works\n");
    const auto recorders = Lines(ReadFile(session.folder() / "recorders"));
    ASSERT_EQ(recorders.size(), 1u);
    EXPECT_TRUE(WaitUntil([&] { return IsActive(std::stoi(recorders.front())); }, 10s));

    Step("an XEmbed tray shows the icon every button: only the double click opens, the menu comes on release");
    ClickCentre(icon);
    EXPECT_FALSE(WaitUntil(MainWindowMapped, 2s)) << "a single click opened the window";
    const auto menuOpen = [] { return KestrunWindows().size() >= 2; };
    Xdo({"mousedown", "3"});
    EXPECT_FALSE(WaitUntil(menuOpen, 2s)) << "the menu opened on the press";
    Xdo({"mouseup", "3"});
    EXPECT_TRUE(WaitUntil(menuOpen, 10s)) << "no menu on the release";
    Xdo({"key", "Escape"});
    EXPECT_TRUE(WaitUntil([] { return KestrunWindows().size() == 1; }, 10s));
    EXPECT_FALSE(MainWindowMapped());

    Step("\"Quit Kestrun\", the menu's last entry, stores the outer position");
    // A key pressed before the menu holds the keyboard is lost: try again then.
    int status = -1;
    bool ended = false;
    for (int attempt = 0; attempt < 4 && !ended; ++attempt) {
        ClickCentre(icon, 3);
        if (!WaitUntil(menuOpen, 8s))
            continue;
        std::this_thread::sleep_for(300ms);
        Xdo({"key", "Up", "Return"});
        ended = WaitUntil([&] { return Ended(app.pid, status); }, 20s);
    }
    ASSERT_TRUE(ended) << "kestrun did not quit from its tray menu";
    app.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
    EXPECT_TRUE(KestrunWindows().empty()) << "the tray icon is still there";
    EXPECT_NEAR(Stored(settings, "Left") / 15.0, outerLeft, 0.5) << ReadFile(settings);
    EXPECT_NEAR(Stored(settings, "Top") / 15.0, outerTop, 0.5) << ReadFile(settings);

    Step("SIGTERM while typing: the keyboard as it was, the run stopped, an ordinary quit");
    fs::remove(settings);
    const auto keymapBefore = KeyRows();
    Started running{StartProcess({kestrun, "--run", "Long"})};
    ASSERT_TRUE(WaitUntil([&] { return !ReadFile(typedLong).empty() && KeyRows() != keymapBefore; }, 60s))
        << "typing did not start";
    kill(running.pid, SIGTERM);
    ASSERT_TRUE(WaitUntil([&] { return Ended(running.pid, status); }, 20s)) << "kestrun did not quit";
    running.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
    EXPECT_EQ(KeysDown(), "");
    EXPECT_EQ(KeyRows(), keymapBefore) << "the keyboard mapping was not restored";
    EXPECT_LT(ReadFile(typedLong).size(), text.size()) << "typing did not stop";
    EXPECT_FALSE(WaitUntil([&] { return Lines(ReadFile(session.folder() / "recorders")).size() > 2; }, 2s))
        << "the run went on after the signal";
    EXPECT_GE(Stored(settings, "Left"), 0) << "quitting stored no position";
}

}  // namespace
}  // namespace kestrun::test
