#include "tests/tray/FakeTray.h"
#include "tray/CSysTray.h"
#include "tray/QtNotifyArea.h"

#include <QApplication>
#include <QPixmap>

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

using Calls = std::vector<std::string>;

QApplication& Application()
{
    static int argc = 1;
    static char name[] = "tray_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

TrayPicture Icon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    return {kPicTypeIcon, QIcon(pixmap)};
}

class TrayTest : public ::testing::Test {
protected:
    // Set up in the order the main window uses.
    void Configure()
    {
        tray.SetParentForm(&form);
        tray.SetTrayIcon(Icon());
        tray.SetTrayMenu(&menu);
        tray.SetTrayTip("Kestrun");
    }

    QApplication& application = Application();
    FakeNotifyArea area;
    FakeTrayForm form;
    QMenu menu{"PopUp Tray"};
    CSysTray tray{area};
};

TEST_F(TrayTest, NewInstanceHoldsItsDefaults)
{
    const NotifyIconData& record = tray.Record();
    EXPECT_EQ(record.cbSize, 88u);
    EXPECT_EQ(record.uID, 1u);
    EXPECT_EQ(record.uFlags, 7u);
    EXPECT_EQ(record.uCallbackMessage, 0x200u);
    EXPECT_EQ(record.hWnd, 0u);
    EXPECT_TRUE(record.hIcon.isNull());
    EXPECT_EQ(TipText(record), "CSysTray");
    EXPECT_FALSE(tray.InTray());
    EXPECT_EQ(tray.ParentForm(), nullptr);
    EXPECT_FALSE(tray.TrayIcon().has_value());
}

TEST_F(TrayTest, StateTable)
{
    Configure();
    tray.SetTrayTip("before");  // out of the tray: the record only
    EXPECT_TRUE(area.calls.empty());

    tray.SetInTray(true);
    tray.SetInTray(true);  // once only
    tray.SetTrayTip("Kestrun");
    tray.SetTrayIcon(Icon());
    tray.SetTrayIcon(std::nullopt);  // nothing happens
    tray.SetInTray(false);
    tray.SetInTray(false);
    EXPECT_EQ(area.calls, (Calls{"add before", "modify Kestrun", "modify Kestrun", "delete"}));
    EXPECT_EQ(area.lastWindow, 42u);
    EXPECT_EQ(tray.FormToShow(), &form);  // falls back to the parent on adding
}

TEST_F(TrayTest, TipIsAFixedField)
{
    tray.SetTrayTip("Kestrun");
    EXPECT_EQ(tray.TrayTip(), std::string("Kestrun") + '\0' + std::string(56, ' '));

    const std::string longTip(70, 'x');
    tray.SetTrayTip(longTip);
    EXPECT_EQ(tray.TrayTip(), std::string(64, 'x'));
    tray.SetTrayTip(std::string(63, 'y'));
    EXPECT_EQ(tray.TrayTip(), std::string(63, 'y') + '\0');
}

TEST_F(TrayTest, OnlyAnIconIsAccepted)
{
    tray.SetTrayIcon(Icon());
    const qint64 first = tray.TrayIcon()->Handle.cacheKey();
    QPixmap bitmap(16, 16);
    tray.SetTrayIcon(TrayPicture{kPicTypeBitmap, QIcon(bitmap)});
    ASSERT_TRUE(tray.TrayIcon().has_value());
    EXPECT_EQ(tray.TrayIcon()->Handle.cacheKey(), first);
    EXPECT_EQ(tray.Record().hIcon.cacheKey(), first);
}

TEST_F(TrayTest, AddingWithoutParentOrIconRaisesAndStillCountsAsInTray)
{
    try {
        tray.SetInTray(true);
        FAIL() << "no error raised";
    } catch (const TrayError& error) {
        EXPECT_EQ(error.number(), -1);
        EXPECT_EQ(error.source(), "CSysTray:AddIcon");
        EXPECT_EQ(error.description(), "CSysTray - No Parent Form Specified");
    }
    EXPECT_TRUE(tray.InTray());
    tray.SetInTray(false);  // a delete for an icon never added goes unnoticed
    EXPECT_EQ(area.calls, (Calls{"delete"}));

    tray.SetParentForm(&form);
    try {
        tray.SetInTray(true);
        FAIL() << "no error raised";
    } catch (const TrayError& error) {
        EXPECT_EQ(error.source(), "CSysTray:AddIcon");
        EXPECT_EQ(error.description(), "CSysTray - No Icon Specified");
    }
}

TEST_F(TrayTest, NotifyDecodesTwipsAndPixels)
{
    Configure();
    tray.SetInTray(true);

    struct Case {
        int scaleMode;
        double x, y;
        Calls expected;
    };
    const Case cases[] = {
        {kScaleModeTwips, 7725, 0, {"foreground", "show"}},
        {kScaleModeTwips, 7755, 0, {"foreground", "popup PopUp Tray"}},
        {kScaleModeTwips, 7725, 1, {}},                          // not a tray event
        {kScaleModeTwips, 7740, 0, {}},                          // 516: nothing
        {kScaleModeTwips, 7717.5, 0, {}},                        // 514.5: halves go to the even 514
        {kScaleModeTwips, 7732.5, 0, {}},                        // 515.5: to 516
        {kScaleModePixels, 515, 0, {"foreground", "show"}},
        {kScaleModePixels, 517.4, 0, {"foreground", "popup PopUp Tray"}},
    };
    for (const Case& test : cases) {
        FakeTrayForm window(7, test.scaleMode);
        tray.SetParentForm(&window);
        tray.SetFormToShow(&window);
        tray.Notify(test.x, test.y);
        EXPECT_EQ(window.calls, test.expected) << test.x << "," << test.y;
    }
}

TEST_F(TrayTest, NotifyErrorsCarryItsSource)
{
    const auto expectError = [&](double x, const std::string& description) {
        try {
            tray.Notify(x, 0);
            FAIL() << "no error raised";
        } catch (const TrayError& error) {
            EXPECT_EQ(error.number(), -1);
            EXPECT_EQ(error.source(), "CSysTray:Notify");
            EXPECT_EQ(error.description(), description);
        }
    };
    expectError(7725, "CSysTray - No Parent Form Specified");
    tray.SetParentForm(&form);
    expectError(7755, "CSysTray - No Parent Form Menu Specified");
    tray.Notify(7725, 5);  // Y other than 0 never raises
}

TEST_F(TrayTest, EndingInTheTrayRemovesTheIcon)
{
    {
        CSysTray local(area);
        local.SetParentForm(&form);
        local.SetTrayIcon(Icon());
        local.SetInTray(true);
    }
    EXPECT_EQ(area.calls, (Calls{"add CSysTray", "delete"}));
}

// What a StatusNotifierItem host reports: requests, not buttons.
TEST(QtNotifyAreaTest, EveryLeftActivationIsADoubleClickAndContextIsTheRightButton)
{
    EXPECT_EQ(QtNotifyArea::MessageFor(QSystemTrayIcon::Trigger), kMessageLeftDoubleClick);
    EXPECT_EQ(QtNotifyArea::MessageFor(QSystemTrayIcon::DoubleClick), kMessageLeftDoubleClick);
    EXPECT_EQ(QtNotifyArea::MessageFor(QSystemTrayIcon::Context), kMessageRightButtonUp);
    EXPECT_EQ(QtNotifyArea::MessageFor(QSystemTrayIcon::MiddleClick), 0);
}

}  // namespace
}  // namespace kestrun::test
