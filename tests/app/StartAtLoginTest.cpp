#include "tests/app/MainWindowFixture.h"

#include <QMenu>

#include <filesystem>

namespace kestrun::test {
namespace {

using StartAtLoginTest = MainWindowFixture;

TEST_F(StartAtLoginTest, CheckingWritesTheAutostartEntryAndUncheckingRemovesIt)
{
    Load({});
    QAction* entry = w().mnuPopUpLogin;
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isCheckable());
    EXPECT_FALSE(entry->isChecked());

    entry->trigger();
    EXPECT_TRUE(entry->isChecked());
    EXPECT_TRUE(autostart.Enabled());
    EXPECT_NE(folder.Read("config/autostart/kestrun.desktop").find("\nExec=/usr/bin/kestrun\n"), std::string::npos);

    entry->trigger();
    EXPECT_FALSE(entry->isChecked());
    EXPECT_FALSE(std::filesystem::exists(folder / "config" / "autostart" / "kestrun.desktop"));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(StartAtLoginTest, CheckMarkFollowsTheEntryEachTimeTheMenuOpens)
{
    Load({});
    autostart.SetEnabled(true);  // as if set by another Kestrun or by hand
    w().mnuPopUpTray->popup(QPoint(0, 0));
    EXPECT_TRUE(w().mnuPopUpLogin->isChecked());
    w().mnuPopUpTray->hide();

    autostart.SetEnabled(false);
    w().mnuPopUpTray->popup(QPoint(0, 0));
    EXPECT_FALSE(w().mnuPopUpLogin->isChecked());
    w().mnuPopUpTray->hide();
}

TEST_F(StartAtLoginTest, FailureIsShownAndTheEntryStaysUnchecked)
{
    Load({});
    folder.Write("config", "a file where the folder should be");
    w().mnuPopUpLogin->trigger();
    EXPECT_FALSE(w().mnuPopUpLogin->isChecked());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(dialogs.shown[0].text.rfind("Kestrun cannot change its start at login.\n", 0), 0u) << dialogs.shown[0].text;
}

}  // namespace
}  // namespace kestrun::test
