// Runs and listings asked for by later starts of Kestrun.

#include "tests/app/MainWindowFixture.h"

#include <algorithm>

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
    // As when the first entry of the name is picked and launched: the rows
    // its listing shows.
    EXPECT_EQ(w().SelectedIndex(), 1);
    EXPECT_NE(std::find(services.log.begin(), services.log.end(), "keys first"), services.log.end());
    EXPECT_EQ(std::find(services.log.begin(), services.log.end(), "keys alpha"), services.log.end());
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

TEST_F(RunRequestsTest, UnknownNamesAndTheTemplateRunNothing)
{
    Load({{"Alpha", {{"Keystrokes", "alpha", "True"}}}});
    for (const std::string name : {"alpha", "Alpha ", "", "Kestrun Template"}) {
        EXPECT_FALSE(w().HasProgram(name)) << name;
        EXPECT_FALSE(w().RequestRun(name)) << name;
    }
    EXPECT_TRUE(services.log.empty());
    EXPECT_EQ(w().SelectedIndex(), 0);
}

TEST_F(RunRequestsTest, TheListIsTheDocumentsAsItIsNow)
{
    Load({{"Alpha", {}}, {"Beta", {}}});
    EXPECT_EQ(w().ProgramNames(), (std::vector<std::string>{"Alpha", "Beta"}));
    dialogs.inputs.push_back("Gamma");
    w().cmdAddProgram_Click();
    EXPECT_EQ(w().ProgramNames(), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    EXPECT_TRUE(gDocumentDirty) << "not saved, and still listed";
    w().Unload();
    EXPECT_TRUE(w().ProgramNames().empty());
    EXPECT_FALSE(w().RequestRun("Alpha"));
}

}  // namespace
}  // namespace kestrun::test
