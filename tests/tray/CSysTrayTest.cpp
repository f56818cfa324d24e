#include "tests/tray/FakeTray.h"
#include "tray/CSysTray.h"
#include "tray/QtNotifyArea.h"

#include <QApplication>
#include <QPixmap>

#include <gtest/gtest.h>

#include <tuple>

namespace kestrun::test {
namespace {

using Calls = std::vector<std::string>;

TrayPicture Icon() { return {kPicTypeIcon, QIcon(QPixmap(16, 16))}; }

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

class TrayTest : public ::testing::Test {
protected:
    void Configure()  // in the order the main window uses
    {
        tray.SetParentForm(&form);
        tray.SetTrayIcon(Icon());
        tray.SetTrayMenu(&menu);
        tray.SetTrayTip("Kestrun");
    }

    QApplication& application = *qApp;
    FakeNotifyArea area;
    FakeTrayForm form;
    QMenu menu{"PopUp Tray"};
    CSysTray tray{area};
};

TEST_F(TrayTest, TheIconIsAddedOnceChangedWhileInTheTrayAndRemoved)
{
    Configure();
    tray.SetTrayTip("before");  // out of the tray: the record only
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
    area.calls.clear();
    {
        CSysTray ending(area);  // ending in the tray removes the icon
        ending.SetParentForm(&form);
        ending.SetTrayIcon(Icon());
        ending.SetInTray(true);
    }
    EXPECT_EQ(area.calls, (Calls{"add CSysTray", "delete"}));
}

TEST_F(TrayTest, MissingPartsRaiseWithTheirSource)
{
    EXPECT_EQ(ErrorOf([&] { tray.SetInTray(true); }), "-1|CSysTray:AddIcon|CSysTray - No Parent Form Specified");
    EXPECT_TRUE(tray.InTray()) << "still counts as in the tray";
    tray.SetInTray(false);  // a delete for an icon never added goes unnoticed
    EXPECT_EQ(ErrorOf([&] { tray.Notify(7725, 0); }), "-1|CSysTray:Notify|CSysTray - No Parent Form Specified");
    tray.SetParentForm(&form);
    EXPECT_EQ(ErrorOf([&] { tray.SetInTray(true); }), "-1|CSysTray:AddIcon|CSysTray - No Icon Specified");
    EXPECT_EQ(ErrorOf([&] { tray.Notify(7755, 0); }),
              "-1|CSysTray:Notify|CSysTray - No Parent Form Menu Specified");
    EXPECT_EQ(ErrorOf([&] { tray.Notify(7725, 5); }), "none") << "Y other than 0 never raises";
}

TEST_F(TrayTest, NotifyDecodesTwipsAndPixels)
{
    Configure();
    tray.SetInTray(true);
    const std::tuple<int, double, double, Calls> cases[] = {
        {kScaleModeTwips, 7725, 0, {"foreground", "show"}},
        {kScaleModeTwips, 7755, 0, {"foreground", "popup PopUp Tray"}},
        {kScaleModeTwips, 7725, 1, {}},                        // not a tray event
        {kScaleModeTwips, 7740, 0, {}},                        // 516: nothing
        {kScaleModeTwips, 7717.5, 0, {}},                      // 514.5: halves go to the even 514
        {kScaleModeTwips, 7732.5, 0, {}},                      // 515.5: to 516
        {kScaleModePixels, 514.6, 0, {"foreground", "show"}},  // to the nearest
        {kScaleModePixels, 517.4, 0, {"foreground", "popup PopUp Tray"}}};
    for (const auto& [scaleMode, x, y, expected] : cases) {
        FakeTrayForm window(7, scaleMode);
        tray.SetParentForm(&window);
        tray.SetFormToShow(&window);
        tray.Notify(x, y);
        EXPECT_EQ(window.calls, expected) << x << "," << y;
    }
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
