// Programs New..., Edit... and Delete.
#include "tests/app/MainWindowFixture.h"

namespace kestrun::test {
namespace {

using Names = std::vector<std::string>;

TEST_F(MainWindowFixture, NewProgramCancelledOrEmptyChangesNothing)
{
    Load({kThreeTasks});
    Show();
    const std::string original = folder.Read("Kestrun.xml");
    dialogs.inputs = {std::nullopt, std::string()};
    w().cmdAddProgram_Click();
    w().cmdAddProgram_Click();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].text, "Enter New Program Name:");
    EXPECT_EQ(dialogs.shown[0].title, "New Program");
    EXPECT_EQ(ProgramEntries(), Names{"Three"});
    EXPECT_EQ(gTaskDocument->ProgramNames(), Names{"Three"});
    EXPECT_FALSE(gDocumentDirty);
    EXPECT_EQ(w().lstTasks->RowCount(), 3);
}

TEST_F(MainWindowFixture, NewProgramIsAddedAsTypedAndSelected)
{
    for (const std::string name : {"  ", "Bob's \"tools\"", "Three"}) {
        SCOPED_TRACE(name);
        Load({kThreeTasks});
        Show();
        dialogs.inputs = {name};
        w().cmdAddProgram_Click();
        EXPECT_EQ(ProgramEntries(), (Names{"Three", name}));
        EXPECT_EQ(w().cboPrograms->currentIndex(), 1);
        EXPECT_EQ(gTaskDocument->ProgramNames(), (Names{"Three", name}));
        // A duplicate name shows an empty list too, though the first program has tasks.
        EXPECT_EQ(w().lstTasks->RowCount(), 0);
        EXPECT_EQ(EnabledButtons(), "edit delete addTask");
        EXPECT_EQ(Focus(), w().cmdAddTask);
        EXPECT_TRUE(gDocumentDirty);
        window.reset();
        gDocumentDirty = false;
    }
}

TEST_F(MainWindowFixture, FirstProgramOfAnEmptyDocument)
{
    Load({});
    Show();
    dialogs.inputs = {std::string("Mail")};
    w().cmdAddProgram_Click();
    EXPECT_EQ(w().SelectedProgramName(), "Mail");
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
    EXPECT_TRUE(DocumentRows("Mail").empty());
}

TEST_F(MainWindowFixture, EditProgramRenamesInPlace)
{
    Load({kThreeTasks, {"Second", {}}});
    Show();
    w().cboPrograms->setCurrentIndex(1);
    dialogs.inputs = {std::string("It's renamed")};
    w().cmdEditProgram_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Enter New Program Name:");
    EXPECT_EQ(dialogs.shown[0].title, "Edit Program");
    EXPECT_EQ(ProgramEntries(), (Names{"Three", "It's renamed"}));
    EXPECT_EQ(w().cboPrograms->currentIndex(), 1);
    EXPECT_EQ(gTaskDocument->ProgramNames(), (Names{"Three", "It's renamed"}));
    EXPECT_TRUE(gDocumentDirty);
    EXPECT_EQ(Focus(), w().cmdLaunch);
}

TEST_F(MainWindowFixture, EditProgramCancelledOrUnchanged)
{
    Load({kThreeTasks});
    Show();
    w().cmdAddProgram->setFocus();
    dialogs.inputs = {std::nullopt};
    w().cmdEditProgram_Click();
    EXPECT_FALSE(gDocumentDirty);
    EXPECT_EQ(Focus(), w().cmdLaunch) << "the focus moves even after Cancel";

    dialogs.inputs = {std::string("Three")};
    w().cmdEditProgram_Click();
    EXPECT_TRUE(gDocumentDirty) << "confirming the same name counts as a change";
    EXPECT_EQ(ProgramEntries(), Names{"Three"});
    EXPECT_EQ(w().lstTasks->RowCount(), 3);
}

TEST_F(MainWindowFixture, DeleteProgramRefusedChangesNothing)
{
    Load({kThreeTasks});
    Show();
    dialogs.answers = {MessageAnswer::No};
    w().cmdDeleteProgram_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Are you sure you want to delete 'Three'?");
    EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Question);
    EXPECT_EQ(ProgramEntries(), Names{"Three"});
    EXPECT_FALSE(gDocumentDirty);
}

TEST_F(MainWindowFixture, DeleteProgramSelectsTheFirstRemaining)
{
    Load({kThreeTasks, {"Second", {}}, {"Third", {{"Wait", "1", "True"}}}});
    Show();
    w().cboPrograms->setCurrentIndex(2);
    dialogs.answers = {MessageAnswer::Yes};
    w().cmdDeleteProgram_Click();
    EXPECT_EQ(ProgramEntries(), (Names{"Three", "Second"}));
    EXPECT_EQ(gTaskDocument->ProgramNames(), (Names{"Three", "Second"}));
    EXPECT_EQ(w().SelectedProgramName(), "Three");
    EXPECT_EQ(w().lstTasks->RowCount(), 3);
    EXPECT_EQ(Focus(), w().cmdLaunch);
    EXPECT_TRUE(gDocumentDirty);
}

TEST_F(MainWindowFixture, DeletingTheOnlyProgramLeavesNone)
{
    Load({kThreeTasks});
    Show();
    dialogs.answers = {MessageAnswer::Yes};
    w().cmdDeleteProgram_Click();
    EXPECT_EQ(w().cboPrograms->count(), 0);
    EXPECT_EQ(w().cboPrograms->currentIndex(), -1);
    EXPECT_EQ(w().lstTasks->RowCount(), 0);
    EXPECT_EQ(EnabledButtons(), "");
    EXPECT_EQ(Focus(), w().cmdAddProgram);
    EXPECT_TRUE(gTaskDocument->ProgramNames().empty());
}

TEST_F(MainWindowFixture, SelectingProgramsListsTheirTasksAgain)
{
    Load({kThreeTasks, {"Other", {{"Keystrokes", "5 seconds", "True"}, {"wait", "5", "True"}}}});
    Show();
    const auto first = w().lstTasks->Rows();
    w().cboPrograms->setCurrentIndex(1);
    // Only "Wait", exactly, gets the suffix.
    EXPECT_EQ(w().lstTasks->Rows(),
              (std::vector<TaskRow>{{"Keystrokes", "5 seconds", "True"}, {"wait", "5", "True"}}));
    w().cboPrograms->setCurrentIndex(0);
    EXPECT_EQ(w().lstTasks->Rows(), first);
    EXPECT_EQ(Focus(), w().cmdLaunch);
}

}  // namespace
}  // namespace kestrun::test
