#include "tests/app/MainWindowFixture.h"

#include <QMenu>

namespace kestrun::test {
namespace {

using StartAtLoginTest = MainWindowFixture;

TEST_F(StartAtLoginTest, EntryChecksAndUnchecksStartingAtLogin)
{
    Load({});
    QAction* entry = w().mnuPopUpLogin;
    ASSERT_TRUE(entry && entry->isCheckable() && !entry->isChecked());
    entry->trigger();
    EXPECT_TRUE(entry->isChecked() && autostart.Enabled());
    entry->trigger();
    EXPECT_FALSE(entry->isChecked() || autostart.Enabled());

    // A change made outside shows at the next opening of the menu.
    autostart.SetEnabled(true);
    w().mnuPopUpTray->popup(QPoint(0, 0));
    EXPECT_TRUE(entry->isChecked());
    w().mnuPopUpTray->hide();
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(StartAtLoginTest, FailureIsShownAndTheEntryStaysUnchecked)
{
    Load({});
    folder.Write("config", "a file where the folder should be");
    w().mnuPopUpLogin->trigger();
    EXPECT_FALSE(w().mnuPopUpLogin->isChecked());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(dialogs.shown[0].text.rfind("Kestrun cannot change its start at login.\n", 0), 0u);
}

}  // namespace
}  // namespace kestrun::test
