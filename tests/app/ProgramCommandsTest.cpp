// Programs New..., Edit..., Delete, the selector, and runs asked for by later starts of Kestrun.
#include "tests/app/MainWindowFixture.h"

#include <functional>
#include <tuple>
#include <utility>

namespace kestrun::test {
namespace {

TEST_F(MainWindowFixture, NewProgramIsAddedAsTypedAndSelected)
{
    // OK on an empty field changes nothing; a duplicate shows an empty list, though the first has tasks.
    const std::tuple<bool, std::string, Texts> cases[] = {{false, "Mail", {"Mail"}}, {true, "", {"Three"}},
        {true, "Bob's \"tools\" <&>", {"Three", "Bob's \"tools\" <&>"}}, {true, "Three", {"Three", "Three"}}};
    for (const auto& [three, name, entries] : cases) {
        SCOPED_TRACE(name);
        dialogs.shown.clear();
        Load(three ? std::vector{kThreeTasks} : std::vector<ProgramSpec>{});
        Show();
        dialogs.inputs = {std::nullopt, name};
        w().cmdAddProgram->click();  // cancelled: nothing changes
        EXPECT_EQ(ProgramEntries(), three ? Texts{"Three"} : Texts());
        EXPECT_FALSE(Dirty());
        w().cmdAddProgram->click();
        EXPECT_EQ(dialogs.shown[1].text + "|" + dialogs.shown[1].title, "Enter New Program Name:|New Program");
        const bool added = !name.empty();
        EXPECT_EQ(ProgramEntries(), entries);
        EXPECT_EQ(w().cboPrograms->currentIndex(), int(entries.size()) - 1);
        EXPECT_EQ(Listed(), added ? Texts() : kThreeRows);
        EXPECT_EQ(EnabledButtons(), "edit delete addTask");
        EXPECT_TRUE(Dirty() == added && (!added || w().focusWidget() == w().cmdAddTask));
    }
}

TEST_F(MainWindowFixture, EditRenamesInPlaceSelectingListsTheTasksAndDeleteAsksFirst)
{
    Load({kThreeTasks, {"Second", {}},
          {"Third", {{"Wait", "1", "True"}, {"Keystrokes", "5 seconds", "True"}, {"wait", "5", "True"}}}});
    Show();
    w().cboPrograms->setCurrentIndex(1);
    w().cmdAddProgram->setFocus();
    dialogs.inputs = {std::nullopt, std::string("It's renamed")};
    w().cmdEditProgram->click();
    EXPECT_FALSE(Dirty());
    EXPECT_EQ(w().focusWidget(), w().cmdLaunch) << "the focus moves even after Cancel";
    w().cmdEditProgram->click();
    EXPECT_EQ(dialogs.shown[1].text + "|" + dialogs.shown[1].title, "Enter New Program Name:|Edit Program");
    EXPECT_EQ(ProgramEntries(), (Texts{"Three", "It's renamed", "Third"}));
    EXPECT_TRUE(w().cboPrograms->currentIndex() == 1 && Dirty());

    w().SaveTaskDocument();
    dialogs.shown.clear();
    w().cboPrograms->setCurrentIndex(2);  // seconds on waits only
    EXPECT_EQ(Listed(), (Texts{"Wait|1 seconds|True", "Keystrokes|5 seconds|True", "wait|5|True"}));
    dialogs.answers = {MessageAnswer::No, MessageAnswer::Yes};
    w().cmdDeleteProgram->click();
    ASSERT_EQ(Messages(), Texts{"Are you sure you want to delete 'Third'?"});
    EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(ProgramEntries(), (Texts{"Three", "It's renamed", "Third"}));
    EXPECT_FALSE(Dirty());

    w().cmdDeleteProgram->click();  // Yes: the first program left is selected
    EXPECT_EQ(ProgramEntries(), (Texts{"Three", "It's renamed"}));
    EXPECT_EQ(Listed(), kThreeRows);
    EXPECT_TRUE(w().focusWidget() == w().cmdLaunch && Dirty());

    dialogs.answers = {MessageAnswer::Yes, MessageAnswer::Yes};
    w().cmdDeleteProgram->click();
    w().cmdDeleteProgram->click();
    EXPECT_EQ(EnabledButtons(), "") << "no program command is left";
    EXPECT_TRUE(w().cboPrograms->currentIndex() == -1 && Listed().empty() && w().focusWidget() == w().cmdAddProgram);
}

TEST_F(MainWindowFixture, ARequestRunsTheFirstProgramOfTheName)
{
    Load({{"Alpha", {{"Keystrokes", "alpha", "True"}}}, {"Twin", {{"Keystrokes", "first", "True"}}},
          {"Twin", {{"Keystrokes", "second", "True"}}}}, false);  // a Kestrun whose window was never shown
    for (const std::string name : {"alpha", "Alpha ", "", "Kestrun Template"})
        EXPECT_FALSE(w().HasProgram(name) || w().RequestRun(name)) << name;
    ASSERT_TRUE(w().RequestRun("Twin"));
    EXPECT_EQ(w().SelectedIndex(), 1);
    EXPECT_EQ(services.log.at(1), "keys first");
    EXPECT_FALSE(w().isVisible());

    w().Unload();
    EXPECT_FALSE(w().RequestRun("Alpha") || !w().ProgramNames().empty());
}

// Dialogs that let a later start's request come in while a message is shown.
struct RequestDuringMessage : ScriptedDialogs {
    MessageAnswer Message(const std::string& text, MessageButtons buttons, MessageIcon icon,
                          const std::string& title) override
    {
        if (during)
            std::exchange(during, nullptr)();
        return ScriptedDialogs::Message(text, buttons, icon, title);
    }
    std::function<void()> during;
};

TEST_F(MainWindowFixture, ARequestDuringARunWaitsForItsEnd)
{
    RequestDuringMessage boxes;
    boxes.answers = {MessageAnswer::Yes};
    realDialogs = &boxes;
    services.missing = {"/gone"};
    Load({{"Alpha", {{"Open File", "/gone", "True"}, {"Keystrokes", "alpha", "True"}}},
          {"Beta", {{"Keystrokes", "beta", "True"}}}});
    std::size_t loggedWhenAsked = 0;
    boxes.during = [&] {
        EXPECT_TRUE(w().RequestRun("Beta"));
        loggedWhenAsked = services.log.size();
    };
    w().cmdLaunch->click();
    EXPECT_EQ(services.log.size(), loggedWhenAsked + 2) << "Alpha ran on, Beta did not start within it";
    QCoreApplication::processEvents();
    EXPECT_EQ(services.log, (Texts{"exists /gone", "activate 0", "keys alpha", "activate 0", "keys beta"}));
    EXPECT_EQ(w().SelectedProgramName(), "Beta");
    window.reset();  // before the dialogs it uses
}

}  // namespace
}  // namespace kestrun::test
