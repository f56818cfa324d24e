// Row clicks, the "Enabled" pop-up, Tasks Delete, Move Up and Move Down.
#include "tests/app/MainWindowFixture.h"

#include <QMenu>

namespace kestrun::test {
namespace {

using Rows = std::vector<std::string>;

const Rows kThreeRows = {"Open File|/usr/bin/xterm|True", "Wait|5 seconds|False", "Keystrokes|ls~|True"};

class TaskCommands : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        Load({kThreeTasks});
        Show();
    }
};

TEST_F(TaskCommands, AClickedRowEnablesTheRowCommandsByItsPosition)
{
    const struct {
        int rows, row;
        const char* enabled;
    } cases[] = {
        {3, 1, "edit delete addTask editTask deleteTask down"},
        {3, 2, "edit delete addTask editTask deleteTask up down"},
        {3, 3, "edit delete addTask editTask deleteTask up"},
        {1, 1, "edit delete addTask editTask deleteTask"},
        {2, 2, "edit delete addTask editTask deleteTask up"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.row) + " of " + std::to_string(c.rows));
        window.reset();
        Load({{"P", std::vector<TaskRow>(kThreeTasks.tasks.begin(), kThreeTasks.tasks.begin() + c.rows)}});
        Show();
        PressRow(c.row);
        EXPECT_EQ(w().lstTasks->SelectedRow(), c.row);
        EXPECT_EQ(EnabledButtons(), c.enabled);
    }
    EXPECT_FALSE(gDocumentDirty);
}

TEST_F(TaskCommands, RowCommandsWithNoRowSelectedDoNothing)
{
    PressRow(2);
    PressRow(0, Qt::RightButton);  // below the rows
    EXPECT_EQ(w().lstTasks->SelectedRow(), 0);
    EXPECT_FALSE(w().mnuPopUpList->isVisible());
    // The buttons still show the last click, but act on no missing row.
    EXPECT_EQ(EnabledButtons(), "edit delete addTask editTask deleteTask up down");
    for (QPushButton* button : {w().cmdDeleteTask, w().cmdMoveUp, w().cmdMoveDown, w().cmdEditTask})
        button->click();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(w().TaskEditor(), nullptr);
    EXPECT_FALSE(gDocumentDirty);
    EXPECT_EQ(Stored("Three"), kThreeRows);
}

TEST_F(TaskCommands, StaleMoveButtonsNeverPassTheEnds)
{
    PressRow(2);                  // both moves enabled
    PressRow(1, Qt::RightButton);  // selects row 1 without updating the buttons
    w().mnuPopUpList->hide();
    w().cmdMoveUp->click();
    PressRow(3, Qt::RightButton);
    w().mnuPopUpList->hide();
    w().cmdMoveDown->click();
    EXPECT_FALSE(gDocumentDirty);
    EXPECT_EQ(Stored("Three"), kThreeRows);
}

TEST_F(TaskCommands, DeleteAsksWithTheListedValue)
{
    PressRow(2);
    dialogs.answers = {MessageAnswer::No, MessageAnswer::Yes};
    w().cmdDeleteTask->click();
    ASSERT_EQ(Messages(), Rows{"Are you sure you want to delete 'Wait: 5 seconds'?"});
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Question);
    EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(Listed(), kThreeRows);
    EXPECT_FALSE(gDocumentDirty);

    w().cmdDeleteTask->click();
    const Rows remaining{kThreeRows[0], kThreeRows[2]};
    EXPECT_EQ(Listed(), remaining);
    EXPECT_EQ(Stored("Three"), remaining);
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
    EXPECT_EQ(w().focusWidget(), w().cmdLaunch);
    EXPECT_TRUE(gDocumentDirty);
}

TEST_F(TaskCommands, MovesSwapWithTheNeighbourAndLeaveNoRowChosen)
{
    PressRow(1);
    w().cmdMoveDown->click();
    EXPECT_EQ(Listed(), (Rows{kThreeRows[1], kThreeRows[0], kThreeRows[2]}));
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
    EXPECT_EQ(w().focusWidget(), w().cmdLaunch);
    EXPECT_TRUE(gDocumentDirty);

    PressRow(3);
    w().cmdMoveUp->click();
    EXPECT_EQ(Stored("Three"), (Rows{kThreeRows[1], kThreeRows[2], kThreeRows[0]}));
    EXPECT_EQ(Listed(), Stored("Three"));
}

TEST_F(TaskCommands, EnabledPopUpTogglesTheRowItOpensOn)
{
    PressRow(1);
    PressRow(2, Qt::RightButton);
    EXPECT_TRUE(w().mnuPopUpList->isVisible());
    EXPECT_FALSE(w().mnuEnabled->isChecked());
    EXPECT_EQ(EnabledButtons(), "edit delete addTask editTask deleteTask down") << "a right press updates none";
    w().mnuEnabled->trigger();
    w().mnuPopUpList->hide();
    EXPECT_EQ(Listed()[1], "Wait|5 seconds|True");
    EXPECT_EQ(Stored("Three")[1], "Wait|5 seconds|True");
    EXPECT_NE(gTaskDocument->Serialize().find("<value>5</value>"), std::string::npos) << "no suffix in the document";
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
    EXPECT_TRUE(gDocumentDirty);

    PressRow(1, Qt::RightButton);
    EXPECT_TRUE(w().mnuEnabled->isChecked());
    w().mnuEnabled->trigger();
    w().mnuPopUpList->hide();
    EXPECT_EQ(Stored("Three")[0], "Open File|/usr/bin/xterm|False");
}

}  // namespace
}  // namespace kestrun::test
