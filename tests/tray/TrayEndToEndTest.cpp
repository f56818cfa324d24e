// The built kestrun on a private X server with openbox and an XEmbed tray:
// it starts hidden in the tray, opens from a double click on its icon,
// launches a program with Enter and quits from the tray menu; which mouse
// actions on the icon count.

#include "tests/support/XSession.h"
#include "tests/support/KestrunDesktop.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(TrayEndToEnd, StartsHiddenOpensFromTheIconLaunchesAndQuits)
{
    Step("starting the X session");
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    Started trayer{StartTray()};
    ASSERT_GT(trayer.pid, 0) << "no tray (is the trayer package installed?)";

    const fs::path typed = session.folder() / "typed.txt";
    const fs::path recorderPid = session.folder() / "recorder.pid";
    const fs::path recorder = WriteRecorder(session.folder(), typed, recorderPid);
    Step("starting kestrun");
    Started kestrun{StartKestrun(
        session.folder() / "app",
        TemplateDocument(
        "<program><name>Record</name><tasks>"
        "<task index=\"1\"><type>Open File</type><value>" + recorder.string() + "</value><enabled>True</enabled></task>"
        "<task index=\"2\"><type>Wait</type><value>4</value><enabled>True</enabled></task>"
        "<task index=\"3\"><type>Keystrokes</type><value>Tray +works~</value><enabled>True</enabled></task>"
        "</tasks></program>"))};
    ASSERT_GT(kestrun.pid, 0);

    // Hidden: only the icon, embedded in the tray.
    const std::string icon = WaitForTrayIcon();
    ASSERT_FALSE(icon.empty()) << "no tray icon appeared";
    Step("icon in the tray");
    EXPECT_FALSE(MainWindowMapped());
    const Geometry iconGeometry = WindowGeometry(icon);
    ASSERT_GT(iconGeometry.width, 0);

    // A double click on the icon opens the window, in front.
    ASSERT_FALSE(OpenMainWindowFromIcon(icon).empty()) << "the main window did not open in front";
    Step("main window open and active");
    // Enter is "Launch It !": the window goes, the program runs.
    Output({"xdotool", "key", "Return"});
    EXPECT_TRUE(WaitUntil([] { return !MainWindowMapped(); })) << "the window stayed open";
    const std::string expected = "Tray Works\n";
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(typed).size() >= expected.size(); }, 60s));
    EXPECT_EQ(ReadFile(typed), expected);
    Step("program started and typed into");
    Started recorderProcess;
    if (WaitUntil([&] { return !ReadFile(recorderPid).empty(); }, 5s))
        recorderProcess.pid = std::atoi(ReadFile(recorderPid).c_str());
    // The window manager may still be giving the started program the focus;
    // a menu opened meanwhile would close again at once.
    WaitUntil([&] { return XSession::IsActive(recorderProcess.pid); }, 10s);

    // "Quit Kestrun" from the icon's menu (the last entry). A key pressed
    // before the menu holds the keyboard would be lost, so try again then.
    int status = -1;
    bool ended = false;
    for (int attempt = 0; attempt < 4 && !ended; ++attempt) {
        Output({"xdotool", "mousemove", std::to_string(iconGeometry.CentreX()),
                std::to_string(iconGeometry.CentreY()), "click", "3"});
        if (!WaitUntil([] { return VisibleKestrunWindows().size() >= 2; }, 8s)) {
            Step("no tray menu yet");
            continue;
        }
        std::this_thread::sleep_for(300ms);
        Step("tray menu open");
        Output({"xdotool", "key", "Up", "Return"});
        ended = WaitUntil([&] { return Ended(kestrun.pid, status); }, 20s);
    }
    ASSERT_TRUE(ended) << "kestrun did not quit from its tray menu";
    Step("kestrun ended");
    kestrun.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
    EXPECT_TRUE(VisibleKestrunWindows().empty()) << "the tray icon is still there";

    const std::string settings = ReadFile(session.folder() / "config" / "Quillon Works" / "Kestrun.reg");
    EXPECT_NE(settings.find("\"frmMain Left\"=dword:"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\"frmMain Top\"=dword:"), std::string::npos) << settings;
}

// trayer is an XEmbed tray, which shows the icon every button: there a
// single click does nothing, the right button's press does nothing and its
// release opens the menu.
TEST(TrayEndToEnd, InAnXEmbedTrayOnlyTheDoubleClickOpensAndTheMenuComesOnRelease)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    Started trayer{StartTray()};
    ASSERT_GT(trayer.pid, 0) << "no tray (is the trayer package installed?)";
    Started kestrun{StartKestrun(
        session.folder() / "app",
        TemplateDocument())};
    ASSERT_GT(kestrun.pid, 0);
    const std::string icon = WaitForTrayIcon();
    ASSERT_FALSE(icon.empty()) << "no tray icon appeared";
    const Geometry geometry = WindowGeometry(icon);
    const std::string x = std::to_string(geometry.CentreX()), y = std::to_string(geometry.CentreY());
    const auto menuOpen = [] { return VisibleKestrunWindows().size() >= 2; };

    Output({"xdotool", "mousemove", x, y, "click", "1"});
    EXPECT_FALSE(WaitUntil(MainWindowMapped, 2s)) << "a single click opened the window";

    Output({"xdotool", "mousedown", "3"});
    EXPECT_FALSE(WaitUntil(menuOpen, 2s)) << "the menu opened on the press";
    Output({"xdotool", "mouseup", "3"});
    EXPECT_TRUE(WaitUntil(menuOpen, 10s)) << "no menu on the release";
    Output({"xdotool", "key", "Escape"});
    EXPECT_TRUE(WaitUntil([] { return VisibleKestrunWindows().size() == 1; }, 10s));
    EXPECT_FALSE(MainWindowMapped());

    EXPECT_FALSE(OpenMainWindowFromIcon(icon).empty()) << "the double click did not open the window";
}

}  // namespace
}  // namespace kestrun::test
