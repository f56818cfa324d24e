// Row clicks, the "Enabled" pop-up, Tasks Delete, Move Up and Move Down.
#include "tests/app/MainWindowFixture.h"

#include <QMenu>
#include <QTest>

namespace kestrun::test {
namespace {

using Rows = std::vector<TaskRow>;

class TaskCommands : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        Load({kThreeTasks});
        Show();
    }

    // A press in the middle of a row's Value column.
    void Press(int row, Qt::MouseButton button)
    {
        QTreeWidgetItem* item = w().lstTasks->topLevelItem(row - 1);
        ASSERT_NE(item, nullptr);
        const QRect rect = w().lstTasks->visualItemRect(item);
        const QPoint point(w().lstTasks->columnViewportPosition(1) + 10, rect.center().y());
        QTest::mousePress(w().lstTasks->viewport(), button, {}, point);
    }

    void PressBelowTheRows(Qt::MouseButton button)
    {
        QTest::mousePress(w().lstTasks->viewport(), button, {}, QPoint(20, w().lstTasks->viewport()->height() - 3));
    }
};

TEST_F(TaskCommands, RowClicksEnableTheRowCommandsByPosition)
{
    const std::pair<int, const char*> cases[] = {
        {1, "edit delete addTask editTask deleteTask down"},
        {2, "edit delete addTask editTask deleteTask up down"},
        {3, "edit delete addTask editTask deleteTask up"},
    };
    for (const auto& [row, expected] : cases) {
        Press(row, Qt::LeftButton);
        EXPECT_EQ(w().lstTasks->SelectedRow(), row);
        EXPECT_EQ(EnabledButtons(), expected) << "row " << row;
    }
    EXPECT_FALSE(gDocumentDirty);
}

TEST_F(TaskCommands, OneRowOffersNoMove)
{
    Load({{"One", {{"Wait", "1", "True"}}}});
    Show();
    Press(1, Qt::LeftButton);
    EXPECT_EQ(EnabledButtons(), "edit delete addTask editTask deleteTask");
}

TEST_F(TaskCommands, PressBelowTheRowsClearsTheSelectionOnly)
{
    Press(2, Qt::LeftButton);
    PressBelowTheRows(Qt::RightButton);
    EXPECT_EQ(w().lstTasks->SelectedRow(), 0);
    EXPECT_FALSE(w().mnuPopUpList->isVisible());
    // The row commands still show the last click, but act on no missing row.
    EXPECT_EQ(EnabledButtons(), "edit delete addTask editTask deleteTask up down");
    const std::string original = folder.Read("Kestrun.xml");
    w().cmdDeleteTask->click();
    w().cmdMoveUp->click();
    w().cmdMoveDown->click();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_FALSE(gDocumentDirty);
    EXPECT_EQ(DocumentRows("Three").size(), 3u);
}

TEST_F(TaskCommands, StaleMoveButtonsNeverPassTheEnds)
{
    Press(2, Qt::LeftButton);  // both moves enabled
    Press(1, Qt::RightButton);  // selects row 1 without updating the buttons
    w().mnuPopUpList->hide();
    w().cmdMoveUp->click();
    EXPECT_FALSE(gDocumentDirty);
    Press(3, Qt::RightButton);
    w().mnuPopUpList->hide();
    w().cmdMoveDown->click();
    EXPECT_FALSE(gDocumentDirty);
    EXPECT_EQ(DocumentRows("Three")[0].type, "Open File");
}

TEST_F(TaskCommands, DeleteAsksWithTheDisplayedValue)
{
    Press(2, Qt::LeftButton);
    dialogs.answers = {MessageAnswer::No};
    w().cmdDeleteTask->click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Are you sure you want to delete 'Wait: 5 seconds'?");
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Question);
    EXPECT_EQ(w().lstTasks->RowCount(), 3);
    EXPECT_FALSE(gDocumentDirty);

    dialogs.answers = {MessageAnswer::Yes};
    w().cmdDeleteTask->click();
    const Rows remaining{{"Open File", "/usr/bin/xterm", "True"}, {"Keystrokes", "ls~", "True"}};
    EXPECT_EQ(w().lstTasks->Rows(), remaining);
    EXPECT_EQ(DocumentRows("Three"), remaining);
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
    EXPECT_EQ(Focus(), w().cmdLaunch);
    EXPECT_TRUE(gDocumentDirty);
}

TEST_F(TaskCommands, MovesRebuildTheListWithNoRowChosen)
{
    Press(1, Qt::LeftButton);
    w().cmdMoveDown->click();
    EXPECT_EQ(w().lstTasks->Rows(), (Rows{{"Wait", "5 seconds", "False"},
                                          {"Open File", "/usr/bin/xterm", "True"},
                                          {"Keystrokes", "ls~", "True"}}));
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
    EXPECT_EQ(Focus(), w().cmdLaunch);
    EXPECT_TRUE(gDocumentDirty);

    Press(3, Qt::LeftButton);
    w().cmdMoveUp->click();
    EXPECT_EQ(DocumentRows("Three"), (Rows{{"Wait", "5 seconds", "False"},
                                           {"Keystrokes", "ls~", "True"},
                                           {"Open File", "/usr/bin/xterm", "True"}}));
}

TEST_F(TaskCommands, EnabledPopUpTogglesTheRow)
{
    Press(1, Qt::LeftButton);
    Press(2, Qt::RightButton);
    EXPECT_TRUE(w().mnuPopUpList->isVisible());
    EXPECT_FALSE(w().mnuEnabled->isChecked());
    EXPECT_EQ(EnabledButtons(), "edit delete addTask editTask deleteTask down") << "not updated by a right press";
    w().mnuEnabled->trigger();
    w().mnuPopUpList->hide();
    EXPECT_EQ(w().lstTasks->Row(2), (TaskRow{"Wait", "5 seconds", "True"}));
    EXPECT_EQ(DocumentRows("Three")[1], (TaskRow{"Wait", "5 seconds", "True"}));
    EXPECT_NE(gTaskDocument->Serialize().find("<value>5</value>"), std::string::npos) << "no suffix in the document";
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
    EXPECT_TRUE(gDocumentDirty);

    Press(1, Qt::RightButton);
    EXPECT_TRUE(w().mnuEnabled->isChecked());
    w().mnuEnabled->trigger();
    w().mnuPopUpList->hide();
    EXPECT_EQ(DocumentRows("Three")[0].enabled, "False");
}

}  // namespace
}  // namespace kestrun::test
