#include "app/Globals.h"
#include "settings/MWindow.h"
#include "settings/QtWindowGeometry.h"
#include "tests/settings/SettingsFixture.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <cstdlib>

namespace kestrun::test {
namespace {

// A window 6000 x 3000 twips on a 1024 x 768 screen whose work area is
// 1024 x 738 pixels (a panel below), at 15 twips per pixel.
struct FakeWindow : WindowGeometry {
    std::string name = "frmMain";
    int state = kWindowStateNormal;
    double left = 1500, top = 750, width = 6000, height = 3000;
    double screenWidth = 1024 * 15, screenHeight = 768 * 15;
    PixelRect workArea{0, 0, 1024, 738};
    int moves = 0;

    std::string Name() const override { return name; }
    int WindowState() const override { return state; }
    double Left() const override { return left; }
    double Top() const override { return top; }
    double Width() const override { return width; }
    double Height() const override { return height; }
    void SetLeft(std::int16_t twips) override { left = twips, ++moves; }
    void SetTop(std::int16_t twips) override { top = twips, ++moves; }
    double ScreenWidth() const override { return screenWidth; }
    double ScreenHeight() const override { return screenHeight; }
    double TwipsPerPixelX() const override { return 15; }
    double TwipsPerPixelY() const override { return 15; }
    PixelRect WorkArea() const override { return workArea; }
};

using FormPositionTest = SettingsFixture;

TEST_F(FormPositionTest, NothingStoredCentresInTheWorkArea)
{
    const struct {
        double width, height;
        PixelRect workArea;
        double left, top;
    } cases[] = {
        {6000, 3000, {0, 0, 1024, 738}, 4680, 4035},
        {6015, 3001, {0, 0, 1024, 738}, 4672, 4034},  // 4672.5 and 4034.5: halves to even
        {15360, 11070, {0, 0, 1024, 738}, 0, 0},
        // larger than the work area: centred on the whole screen
        {15100, 11100, {0, 0, 1000, 738}, 130, 210},
        {16000, 12000, {0, 0, 1024, 738}, -320, -240},
        // the work area's own offset is not added
        {6000, 3000, {100, 30, 1024, 768}, 3930, 4035},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        FakeWindow window;
        window.width = c.width;
        window.height = c.height;
        window.workArea = c.workArea;
        FormPosition(window, false, settings);
        EXPECT_EQ(window.left, c.left);
        EXPECT_EQ(window.top, c.top);
    }
}

TEST_F(FormPositionTest, SavesEdgesAsRoundedNumbers)
{
    const struct {
        double left, top;
        std::string stored;
    } cases[] = {{1500, 750, "4:1500 750"}, {1500.5, 1501.5, "4:1500 1502"}, {-32768, 100000, "4:-32768 100000"}};
    for (const auto& c : cases) {
        FakeWindow window;
        window.name = "frmAddTask";
        window.left = c.left;
        window.top = c.top;
        FormPosition(window, true, settings);
        EXPECT_EQ(GetRaw("Position", "frmAddTask Left").substr(0, 2) + settings.GetSetting("Position", "frmAddTask Left") +
                      " " + settings.GetSetting("Position", "frmAddTask Top"),
                  c.stored);
    }
}

// A stored position is applied as it is, even off the screen; one that does
// not fit -32768..32767 twips or is no number centres the window.
TEST_F(FormPositionTest, StoredPositionIsAppliedWhenItFits)
{
    const struct {
        std::string text;
        std::optional<std::int32_t> number;
        double left, top;
    } cases[] = {
        {"", 30000, 30000, 30000},   {"", -32768, -32768, -32768}, {"", 32768, 4680, 4035},
        {"", -32769, 4680, 4035},    {"abc", {}, 4680, 4035},      {"12abc", {}, 4680, 4035},
        {"32767.5", {}, 4680, 4035}, {"12.5", {}, 12, 12},         {" -7 ", {}, -7, -7},
        {"32767", {}, 32767, 32767},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + std::to_string(c.number.value_or(0)));
        ASSERT_TRUE(settings.SaveSetting("Position", "frmMain Left", c.text, c.number));
        ASSERT_TRUE(settings.SaveSetting("Position", "frmMain Top", c.text, c.number));
        FakeWindow window;
        FormPosition(window, false, settings);
        EXPECT_EQ(window.left, c.left);
        EXPECT_EQ(window.top, c.top);
    }
}

TEST_F(FormPositionTest, MinimisedOrMaximisedWindowIsLeftAlone)
{
    for (int state : {kWindowStateMinimized, kWindowStateMaximized}) {
        ASSERT_TRUE(settings.SaveSetting("Position", "frmMain Left", "", 111));
        FakeWindow window;
        window.state = state;
        window.left = 999;
        FormPosition(window, true, settings);
        EXPECT_EQ(settings.GetSetting("Position", "frmMain Left"), "111");
        FormPosition(window, false, settings);
        EXPECT_EQ(window.moves, 0);
    }
}

TEST_F(FormPositionTest, WithoutGlobalSettingsNothingHappens)
{
    FakeWindow window;
    ASSERT_EQ(gSettings, nullptr);
    FormPosition(window, false);
    EXPECT_EQ(window.moves, 0);
    gSettings = &settings;
    FormPosition(window, false);
    gSettings = nullptr;
    EXPECT_EQ(window.left, 4680);
}

QApplication& Application()
{
    static int argc = 1;
    static char name[] = "settings_tests";
    static char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);  // never the machine's display
    static QApplication application(argc, argv);
    return application;
}

// The offscreen screen has 96 dots per inch: 15 twips per pixel.
TEST_F(FormPositionTest, QtWindowSavesAndRestoresInTwips)
{
    Application();
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    QWidget widget;
    widget.setObjectName("frmMain");
    widget.resize(400, 300);
    widget.move(screen->geometry().topLeft() + QPoint(100, 50));
    QtWindowGeometry window(widget);
    EXPECT_EQ(window.Name(), "frmMain");
    EXPECT_EQ(window.WindowState(), kWindowStateNormal);
    EXPECT_EQ(window.Width(), 6000);
    EXPECT_EQ(window.Height(), 4500);
    EXPECT_EQ(window.ScreenWidth(), screen->geometry().width() * 15);
    EXPECT_EQ(window.WorkArea().right - window.WorkArea().left, screen->availableGeometry().width());

    FormPosition(window, true, settings);
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left") + " " + settings.GetSetting("Position", "frmMain Top"),
              "1500 750");
    widget.move(screen->geometry().topLeft());
    FormPosition(window, false, settings);
    EXPECT_EQ(widget.pos() - screen->geometry().topLeft(), QPoint(100, 50));
    widget.setWindowState(Qt::WindowMaximized);
    EXPECT_EQ(window.WindowState(), kWindowStateMaximized);
}

}  // namespace
}  // namespace kestrun::test
