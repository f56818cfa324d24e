// Programs New..., Edit..., Delete and the selector.
#include "tests/app/MainWindowFixture.h"

namespace kestrun::test {
namespace {

using Names = std::vector<std::string>;

TEST_F(MainWindowFixture, NewProgramIsAddedAsTypedAndSelected)
{
    const struct {
        std::vector<ProgramSpec> programs;
        std::string name;
        Names entries;
    } cases[] = {
        {{}, "Mail", {"Mail"}},
        {{kThreeTasks}, "", {"Three"}},  // OK on an empty field changes nothing
        {{kThreeTasks}, "  ", {"Three", "  "}},
        {{kThreeTasks}, "Bob's \"tools\" <&>", {"Three", "Bob's \"tools\" <&>"}},
        // A duplicate shows an empty list, though the first one has tasks.
        {{kThreeTasks}, "Three", {"Three", "Three"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Load(c.programs);
        Show();
        dialogs.inputs = {std::nullopt, c.name};
        w().cmdAddProgram->click();  // cancelled: nothing changes
        EXPECT_EQ(ProgramEntries(), c.programs.empty() ? Names() : Names{"Three"});
        EXPECT_FALSE(gDocumentDirty);
        w().cmdAddProgram->click();
        ASSERT_EQ(dialogs.shown.size(), 2u);
        EXPECT_EQ(dialogs.shown[1].text, "Enter New Program Name:");
        EXPECT_EQ(dialogs.shown[1].title, "New Program");
        EXPECT_EQ(ProgramEntries(), c.entries);
        const bool added = !c.name.empty();
        EXPECT_EQ(gDocumentDirty, added);
        EXPECT_EQ(w().cboPrograms->currentIndex(), int(c.entries.size()) - 1);
        EXPECT_EQ(w().lstTasks->RowCount(), added ? 0 : 3);
        EXPECT_EQ(EnabledButtons(), "edit delete addTask");
        EXPECT_TRUE(!added || w().focusWidget() == w().cmdAddTask);
        dialogs.shown.clear();
        window.reset();
        gDocumentDirty = false;
    }
}

TEST_F(MainWindowFixture, EditProgramRenamesInPlace)
{
    Load({kThreeTasks, {"Second", {}}});
    Show();
    w().cboPrograms->setCurrentIndex(1);
    dialogs.inputs = {std::string("It's renamed")};
    w().cmdEditProgram->click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Enter New Program Name:");
    EXPECT_EQ(dialogs.shown[0].title, "Edit Program");
    EXPECT_EQ(ProgramEntries(), (Names{"Three", "It's renamed"}));
    EXPECT_EQ(w().cboPrograms->currentIndex(), 1);
    EXPECT_TRUE(gDocumentDirty);
    EXPECT_EQ(w().focusWidget(), w().cmdLaunch);
}

TEST_F(MainWindowFixture, EditProgramCancelledChangesNothingButTheSameNameCounts)
{
    Load({kThreeTasks});
    Show();
    w().cmdAddProgram->setFocus();
    dialogs.inputs = {std::nullopt, std::string("Three")};
    w().cmdEditProgram->click();
    EXPECT_FALSE(gDocumentDirty);
    EXPECT_EQ(w().focusWidget(), w().cmdLaunch) << "the focus moves even after Cancel";
    w().cmdEditProgram->click();
    EXPECT_TRUE(gDocumentDirty);
    EXPECT_EQ(ProgramEntries(), Names{"Three"});
    EXPECT_EQ(w().lstTasks->RowCount(), 3);
}

TEST_F(MainWindowFixture, DeleteProgramAsksFirst)
{
    Load({kThreeTasks, {"Second", {}}, {"Third", {{"Wait", "1", "True"}}}});
    Show();
    w().cboPrograms->setCurrentIndex(2);
    dialogs.answers = {MessageAnswer::No};
    w().cmdDeleteProgram->click();
    ASSERT_EQ(Messages(), Names{"Are you sure you want to delete 'Third'?"});
    EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Question);
    EXPECT_EQ(ProgramEntries(), (Names{"Three", "Second", "Third"}));
    EXPECT_FALSE(gDocumentDirty);

    // Yes: the first program left is selected.
    dialogs.answers = {MessageAnswer::Yes};
    w().cmdDeleteProgram->click();
    EXPECT_EQ(ProgramEntries(), (Names{"Three", "Second"}));
    EXPECT_EQ(w().SelectedProgramName(), "Three");
    EXPECT_EQ(w().lstTasks->RowCount(), 3);
    EXPECT_EQ(w().focusWidget(), w().cmdLaunch);
    EXPECT_TRUE(gDocumentDirty);

    // The last one gone, no program command is left.
    dialogs.answers = {MessageAnswer::Yes, MessageAnswer::Yes};
    w().cmdDeleteProgram->click();
    w().cmdDeleteProgram->click();
    EXPECT_EQ(w().cboPrograms->count(), 0);
    EXPECT_EQ(w().cboPrograms->currentIndex(), -1);
    EXPECT_EQ(w().lstTasks->RowCount(), 0);
    EXPECT_EQ(EnabledButtons(), "");
    EXPECT_EQ(w().focusWidget(), w().cmdAddProgram);
}

TEST_F(MainWindowFixture, SelectingAProgramListsItsTasksWithSecondsOnWaitsOnly)
{
    Load({kThreeTasks, {"Other", {{"Keystrokes", "5 seconds", "True"}, {"wait", "5", "True"}, {"Wait", "1", "True"}}}});
    Show();
    w().cboPrograms->setCurrentIndex(1);
    EXPECT_EQ(Listed(), (Names{"Keystrokes|5 seconds|True", "wait|5|True", "Wait|1 seconds|True"}));
    w().cboPrograms->setCurrentIndex(0);
    EXPECT_EQ(Listed(), (Names{"Open File|/usr/bin/xterm|True", "Wait|5 seconds|False", "Keystrokes|ls~|True"}));
    EXPECT_EQ(w().focusWidget(), w().cmdLaunch);
}

}  // namespace
}  // namespace kestrun::test
