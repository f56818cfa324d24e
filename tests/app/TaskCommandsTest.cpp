// Row clicks, the "Enabled" pop-up, Tasks Delete, Move Up and Move Down.
#include "tests/app/MainWindowFixture.h"

#include <QMenu>

#include <tuple>

namespace kestrun::test {
namespace {

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
    const std::tuple<int, int, const char*> cases[] = {
        {3, 1, "edit delete addTask editTask deleteTask down"}, {3, 2, "edit delete addTask editTask deleteTask up down"},
        {3, 3, "edit delete addTask editTask deleteTask up"}, {1, 1, "edit delete addTask editTask deleteTask"}};
    for (const auto& [rows, row, enabled] : cases) {
        Load({{"P", std::vector<TaskRow>(kThreeTasks.tasks.begin(), kThreeTasks.tasks.begin() + rows)}});
        Show();
        PressRow(row);
        EXPECT_EQ(w().lstTasks->SelectedRow(), row);
        EXPECT_EQ(EnabledButtons(), enabled) << row << " of " << rows;
    }
    EXPECT_FALSE(Dirty());
}

TEST_F(TaskCommands, RowCommandsWithNoRowSelectedOrStaleMovesDoNothing)
{
    PressRow(2);
    PressRow(0, Qt::RightButton);  // below the rows
    EXPECT_TRUE(w().lstTasks->SelectedRow() == 0 && !w().mnuPopUpList->isVisible());
    EXPECT_EQ(EnabledButtons(), "edit delete addTask editTask deleteTask up down") << "still the last click";
    for (QPushButton* button : {w().cmdDeleteTask, w().cmdMoveUp, w().cmdMoveDown, w().cmdEditTask})
        button->click();
    EXPECT_TRUE(dialogs.shown.empty() && !w().TaskEditor());

    // A right press selects without updating the buttons: moves never pass the ends.
    PressRow(2);
    PressRow(1, Qt::RightButton);
    w().mnuPopUpList->hide(), w().cmdMoveUp->click();
    PressRow(3, Qt::RightButton);
    w().mnuPopUpList->hide(), w().cmdMoveDown->click();
    EXPECT_FALSE(Dirty());
    EXPECT_EQ(Stored("Three"), kThreeRows);
}

TEST_F(TaskCommands, DeleteAsksWithTheListedValue)
{
    PressRow(2);
    dialogs.answers = {MessageAnswer::No, MessageAnswer::Yes};
    w().cmdDeleteTask->click();
    ASSERT_EQ(Messages(), Texts{"Are you sure you want to delete 'Wait: 5 seconds'?"});
    EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(Listed() == kThreeRows && !Dirty());
    w().cmdDeleteTask->click();
    EXPECT_EQ(Listed(), (Texts{kThreeRows[0], kThreeRows[2]}));
    EXPECT_EQ(Stored("Three"), Listed());
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
    EXPECT_TRUE(w().focusWidget() == w().cmdLaunch && Dirty());
}

TEST_F(TaskCommands, MovesSwapWithTheNeighbourAndLeaveNoRowChosen)
{
    PressRow(1);
    w().cmdMoveDown->click();
    EXPECT_EQ(Listed(), (Texts{kThreeRows[1], kThreeRows[0], kThreeRows[2]}));
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
    EXPECT_TRUE(Dirty());
    PressRow(3);
    w().cmdMoveUp->click();
    EXPECT_EQ(Stored("Three"), (Texts{kThreeRows[1], kThreeRows[2], kThreeRows[0]}));
    EXPECT_EQ(Listed(), Stored("Three"));
}

TEST_F(TaskCommands, EnabledPopUpTogglesTheRowItOpensOn)
{
    PressRow(1);
    PressRow(2, Qt::RightButton);
    EXPECT_TRUE(w().mnuPopUpList->isVisible() && !w().mnuEnabled->isChecked());
    w().mnuEnabled->trigger();
    w().mnuPopUpList->hide();
    EXPECT_EQ(Listed()[1], "Wait|5 seconds|True");
    EXPECT_EQ(Stored("Three"), Listed());
    EXPECT_NE(w().Document()->Serialize().find("<value>5</value>"), std::string::npos) << "no suffix in the document";
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
    EXPECT_TRUE(Dirty());

    PressRow(1, Qt::RightButton);
    EXPECT_TRUE(w().mnuEnabled->isChecked());
    w().mnuEnabled->trigger();
    EXPECT_EQ(Stored("Three")[0], "Open File|/usr/bin/xterm|False");
}

}  // namespace
}  // namespace kestrun::test
