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

// "number|source|description" of the tray error the call raises, or "none".
template <typename Call>
std::string ErrorOf(Call call)
{
    try {
        call();
    } catch (const TrayError& error) {
        return std::to_string(error.number()) + "|" + error.source() + "|" + error.description();
    }
    return "none";
}

TEST_F(TrayTest, TheIconIsAddedOnceChangedWhileInTheTrayAndRemoved)
{
    Configure();
    EXPECT_FALSE(tray.InTray());
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

TEST_F(TrayTest, AddingWithoutParentOrIconRaisesAndStillCountsAsInTray)
{
    EXPECT_EQ(ErrorOf([&] { tray.SetInTray(true); }), "-1|CSysTray:AddIcon|CSysTray - No Parent Form Specified");
    EXPECT_TRUE(tray.InTray());
    tray.SetInTray(false);  // a delete for an icon never added goes unnoticed
    EXPECT_EQ(area.calls, (Calls{"delete"}));

    tray.SetParentForm(&form);
    EXPECT_EQ(ErrorOf([&] { tray.SetInTray(true); }), "-1|CSysTray:AddIcon|CSysTray - No Icon Specified");
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
        {kScaleModeTwips, 7725, 1, {}},                        // not a tray event
        {kScaleModeTwips, 7740, 0, {}},                        // 516: nothing
        {kScaleModeTwips, 7717.5, 0, {}},                      // 514.5: halves go to the even 514
        {kScaleModeTwips, 7732.5, 0, {}},                      // 515.5: to 516
        {kScaleModePixels, 514.6, 0, {"foreground", "show"}},  // to the nearest
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
    EXPECT_EQ(ErrorOf([&] { tray.Notify(7725, 0); }), "-1|CSysTray:Notify|CSysTray - No Parent Form Specified");
    tray.SetParentForm(&form);
    EXPECT_EQ(ErrorOf([&] { tray.Notify(7755, 0); }),
              "-1|CSysTray:Notify|CSysTray - No Parent Form Menu Specified");
    EXPECT_EQ(ErrorOf([&] { tray.Notify(7725, 5); }), "none") << "Y other than 0 never raises";
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
    EXPECT_EQ(QtNotifyArea::MessageFor(QSystemTrayIcon::Trigger), 515);
    EXPECT_EQ(QtNotifyArea::MessageFor(QSystemTrayIcon::DoubleClick), 515);
    EXPECT_EQ(QtNotifyArea::MessageFor(QSystemTrayIcon::Context), 517);
    EXPECT_EQ(QtNotifyArea::MessageFor(QSystemTrayIcon::MiddleClick), 0);
}

}  // namespace
}  // namespace kestrun::test
