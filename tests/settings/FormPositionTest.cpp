#include "settings/MWindow.h"
#include "settings/QtWindowGeometry.h"
#include "settings/registry/RegistryFile.h"
#include "settings/CRegSettings.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <cstdlib>

namespace kestrun::test {
namespace {

// A window at 1500, 750 twips, 6000 x 3000, on a 1024 x 768 pixel screen whose
// work area is 1024 x 738 (a panel below), at 15 twips per pixel.
struct FakeWindow : WindowGeometry {
    std::string name = "frmMain";
    int state = kWindowStateNormal, moves = 0;
    double left = 1500, top = 750, width = 6000, height = 3000, perPixel = 15;
    PixelRect workArea{0, 0, 1024, 738};
    std::string Name() const override { return name; }
    int WindowState() const override { return state; }
    double Left() const override { return left; }
    double Top() const override { return top; }
    double Width() const override { return width; }
    double Height() const override { return height; }
    void SetLeft(std::int16_t twips) override { left = twips, ++moves; }
    void SetTop(std::int16_t twips) override { top = twips, ++moves; }
    double ScreenWidth() const override { return 1024 * perPixel; }
    double ScreenHeight() const override { return 768 * perPixel; }
    double TwipsPerPixelX() const override { return perPixel; }
    double TwipsPerPixelY() const override { return perPixel; }
    PixelRect WorkArea() const override { return workArea; }
};

class FormPositionTest : public ::testing::Test {
protected:
    TempFolder folder;
    CRegSettings settings{std::make_unique<RegistryFile>(folder / "Kestrun.reg")};
};

// With nothing stored the window is centred in the work area (halves to even),
// or on the whole screen when larger; a stored position is applied as it is,
// even off the screen, unless it does not fit -32768..32767 or is no number.
TEST_F(FormPositionTest, LoadPlacesTheWindow)
{
    const struct {
        const char* stored;  // nullptr: nothing; "#n": the number n; else a text
        double width, height;
        PixelRect workArea;
        double left, top;
    } cases[] = {
        {nullptr, 6000, 3000, {0, 0, 1024, 738}, 4680, 4035},
        {nullptr, 6015, 3001, {0, 0, 1024, 738}, 4672, 4034},
        {nullptr, 15100, 11100, {0, 0, 1000, 738}, 130, 210},
        {nullptr, 6000, 3000, {100, 30, 1024, 768}, 3930, 4035},  // the work area's offset is not added
        {"#-32768", 6000, 3000, {0, 0, 1024, 738}, -32768, -32768},
        {"32767", 6000, 3000, {0, 0, 1024, 738}, 32767, 32767},
        {"#32768", 6000, 3000, {0, 0, 1024, 738}, 4680, 4035},
        {"12abc", 6000, 3000, {0, 0, 1024, 738}, 4680, 4035},
        {"32767.5", 6000, 3000, {0, 0, 1024, 738}, 4680, 4035},
        {"12.5", 6000, 3000, {0, 0, 1024, 738}, 12, 12},
        {" -7 ", 6000, 3000, {0, 0, 1024, 738}, -7, -7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.stored ? c.stored : "nothing") + ", width " + std::to_string(c.width));
        for (const char* edge : {"frmMain Left", "frmMain Top"}) {
            settings.DeleteSetting("Position", edge);
            const bool number = c.stored && c.stored[0] == '#';
            ASSERT_TRUE(!c.stored || settings.SaveSetting("Position", edge, number ? "" : c.stored,
                                                          number ? std::optional(std::atoi(c.stored + 1)) : std::nullopt));
        }
        FakeWindow window;
        window.width = c.width, window.height = c.height, window.workArea = c.workArea;
        FormPosition(window, false, settings);
        EXPECT_EQ(std::pair(window.left, window.top), std::pair(c.left, c.top));
    }
}

// At 100 dots per inch (14.4 twips per pixel) the work area of 1004 x 739 pixels is 14457.6 x 10641.6
// twips: whole twips first (14458 x 10642), then the centre.
TEST_F(FormPositionTest, TheWorkAreaIsRoundedToWholeTwipsBeforeCentring)
{
    FakeWindow window;
    window.perPixel = 14.4, window.workArea = {0, 0, 1004, 739};
    FormPosition(window, false, settings);
    EXPECT_EQ(std::pair(window.left, window.top), std::pair(4229.0, 3821.0));
}

TEST_F(FormPositionTest, CloseSavesEdgesAsRoundedNumbersUnlessMinimisedOrMaximised)
{
    const std::tuple<double, double, std::string> cases[] = {
        {1500, 750, "Left\"=dword:000005dc\n\"frmAddTask Top\"=dword:000002ee"},
        {1500.5, 1501.5, "Left\"=dword:000005dc\n\"frmAddTask Top\"=dword:000005de"},
        {-32768, 100000, "Left\"=dword:ffff8000\n\"frmAddTask Top\"=dword:000186a0"}};
    for (const auto& [left, top, stored] : cases) {
        FakeWindow window;
        window.name = "frmAddTask", window.left = left, window.top = top;
        FormPosition(window, true, settings);
        EXPECT_NE(folder.Read("Kestrun.reg").find(stored), std::string::npos) << folder.Read("Kestrun.reg");
    }
    for (int state : {kWindowStateMinimized, kWindowStateMaximized}) {
        FakeWindow window;
        window.name = "frmAddTask", window.state = state, window.left = 999;
        FormPosition(window, true, settings);
        EXPECT_EQ(settings.GetSetting("Position", "frmAddTask Left"), "-32768");
        FormPosition(window, false, settings);
        EXPECT_EQ(window.moves, 0) << "a window loaded " << (state == kWindowStateMinimized ? "minimised" : "maximised");
    }
}

// The offscreen screen has 96 dots per inch: 15 twips per pixel.
TEST_F(FormPositionTest, QtWindowSavesAndRestoresInTwips)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    QWidget widget;
    widget.setObjectName("frmMain");
    widget.resize(400, 300);
    widget.move(screen->geometry().topLeft() + QPoint(100, 50));
    QtWindowGeometry window(widget);
    EXPECT_EQ(window.Name() + " " + std::to_string(window.Width()) + " " + std::to_string(window.Height()),
              "frmMain 6000.000000 4500.000000");
    EXPECT_EQ(window.ScreenWidth(), screen->geometry().width() * 15);
    EXPECT_EQ(window.WorkArea().right - window.WorkArea().left, screen->availableGeometry().width());

    FormPosition(window, true, settings);
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left") + " " + settings.GetSetting("Position", "frmMain Top"),
              "1500 750");
    widget.move(screen->geometry().topLeft());
    FormPosition(window, false, settings);
    EXPECT_EQ(widget.pos() - screen->geometry().topLeft(), QPoint(100, 50));
    EXPECT_EQ(window.WindowState(), kWindowStateNormal);
    widget.setWindowState(Qt::WindowMaximized);
    EXPECT_EQ(window.WindowState(), kWindowStateMaximized);
}

}  // namespace
}  // namespace kestrun::test
