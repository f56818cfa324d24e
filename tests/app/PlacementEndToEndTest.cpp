// The built kestrun on a private X server with openbox and an XEmbed tray:
// with no stored position, the main window's first showing is centred by its
// outer size, frame, title bar and menu bar included, and quitting stores
// that outer position.

#include "tests/support/KestrunDesktop.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

// The numbers of a CARDINAL property as xprop prints it ("NAME(CARDINAL) = 1, 2").
std::vector<int> Cardinals(const std::vector<std::string>& xprop)
{
    const std::string text = Output(xprop);
    std::vector<int> values;
    const auto equals = text.find(" = ");
    if (equals == std::string::npos)
        return values;
    std::istringstream in(text.substr(equals + 3));
    for (std::string value; std::getline(in, value, ',');)
        values.push_back(std::atoi(value.c_str()));
    return values;
}

bool Active(const std::string& pattern)
{
    const auto found = VisibleWindowsNamed(pattern);
    return found.size() == 1 && ActiveWindow() == found.front();
}

// A number that xwininfo prints after `label`.
int WindowInfo(const std::string& window, const std::string& label)
{
    const std::string text = Output({"xwininfo", "-id", window});
    const auto at = text.find(label);
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + label.size());
}

TEST(PlacementEndToEnd, TheFirstShowingIsCentredByTheOuterSize)
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
    const std::string main = OpenMainWindowFromIcon(icon);
    ASSERT_FALSE(main.empty()) << "the main window did not open in front";

    std::vector<int> frame;  // left, right, top, bottom
    WaitUntil([&] { return (frame = Cardinals({"xprop", "-id", main, "_NET_FRAME_EXTENTS"})).size() == 4; });
    ASSERT_EQ(frame.size(), 4u) << "the window manager gave the window no frame";
    const std::vector<int> work = Cardinals({"xprop", "-root", "_NET_WORKAREA"});
    ASSERT_GE(work.size(), 4u);

    const int outerLeft = WindowInfo(main, "Absolute upper-left X:") - frame[0];
    const int outerTop = WindowInfo(main, "Absolute upper-left Y:") - frame[2];
    const int outerWidth = WindowInfo(main, "Width:") + frame[0] + frame[1];
    const int outerHeight = WindowInfo(main, "Height:") + frame[2] + frame[3];
    // Centred in the work area's size, counted from the screen's corner;
    // a pixel either way for the rounding to twips and back.
    EXPECT_NEAR(outerLeft, (work[2] - outerWidth) / 2.0, 1.0);
    EXPECT_NEAR(outerTop, (work[3] - outerHeight) / 2.0, 1.0);

    // Quitting stores the same outer edges, in twips, for the next start.
    Output({"xdotool", "key", "alt+F4"});
    ASSERT_TRUE(WaitUntil([] { return Active("^Kestrun$"); })) << "no question before quitting";
    Output({"xdotool", "key", "Return"});
    int status = 0;
    ASSERT_TRUE(WaitUntil([&] { return Ended(kestrun.pid, status); }));
    kestrun.pid = -1;
    const std::string settings = ReadFile(session.folder() / "config" / "Quillon Works" / "Kestrun.reg");
    const auto stored = [&settings](const std::string& name) {
        const std::string key = "\"frmMain " + name + "\"=dword:";
        const auto at = settings.find(key);
        return at == std::string::npos ? -1L : std::strtol(settings.c_str() + at + key.size(), nullptr, 16);
    };
    EXPECT_NEAR(stored("Left") / 15.0, outerLeft, 0.5) << settings;
    EXPECT_NEAR(stored("Top") / 15.0, outerTop, 0.5) << settings;
}

}  // namespace
}  // namespace kestrun::test
