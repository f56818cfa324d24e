// Runs and listings asked for by later starts of Kestrun.

#include "tests/app/MainWindowFixture.h"

#include <functional>
#include <utility>

namespace kestrun::test {
namespace {

using RunRequestsTest = MainWindowFixture;

TEST_F(RunRequestsTest, TheFirstProgramOfTheNameRunsAndStaysSelected)
{
    Load({{"Alpha", {{"Keystrokes", "alpha", "True"}}},
          {"Twin", {{"Keystrokes", "first", "True"}}},
          {"Twin", {{"Keystrokes", "second", "True"}}}},
         false);  // a Kestrun whose window was never shown
    ASSERT_TRUE(w().RequestRun("Twin"));
    // As when the first entry of the name is picked and launched.
    EXPECT_EQ(w().SelectedIndex(), 1);
    ASSERT_GE(services.log.size(), 2u);
    EXPECT_EQ(services.log[1], "keys first");
    EXPECT_FALSE(w().isVisible());
}

// Dialogs that let a later start's request come in while a message is shown.
class RequestDuringMessage : public ScriptedDialogs {
public:
    MessageAnswer Message(const std::string& text, MessageButtons buttons, MessageIcon icon,
                          const std::string& title) override
    {
        if (during)
            std::exchange(during, nullptr)();
        return ScriptedDialogs::Message(text, buttons, icon, title);
    }
    std::function<void()> during;
};

TEST_F(RunRequestsTest, ARequestDuringARunWaitsForItsEnd)
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
    EXPECT_EQ(services.log, (std::vector<std::string>{"exists /gone", "activate 0", "keys alpha", "activate 0",
                                                      "keys beta"}));
    EXPECT_EQ(w().SelectedProgramName(), "Beta");
}

TEST_F(RunRequestsTest, OnlyTheDocumentsProgramsAsTheyAreNowCanBeAskedFor)
{
    Load({{"Alpha", {{"Keystrokes", "alpha", "True"}}}, {"Beta", {}}});
    for (const std::string name : {"alpha", "Alpha ", "", "Kestrun Template"}) {
        EXPECT_FALSE(w().HasProgram(name)) << name;
        EXPECT_FALSE(w().RequestRun(name)) << name;
    }
    EXPECT_TRUE(services.log.empty());
    EXPECT_EQ(w().SelectedIndex(), 0);

    dialogs.inputs.push_back("Gamma");
    w().cmdAddProgram->click();
    EXPECT_EQ(w().ProgramNames(), (std::vector<std::string>{"Alpha", "Beta", "Gamma"})) << "unsaved, still listed";
    EXPECT_TRUE(w().HasProgram("Gamma"));
    w().Unload();
    EXPECT_TRUE(w().ProgramNames().empty());
    EXPECT_FALSE(w().RequestRun("Alpha"));
}

}  // namespace
}  // namespace kestrun::test
