// Runs and listings asked for by later starts of Kestrun.

#include "tests/app/MainWindowFixture.h"

#include <algorithm>

namespace kestrun::test {
namespace {

class RunRequestsTest : public MainWindowFixture {
protected:
    bool Logged(const std::string& entry) const
    {
        return std::find(services.log.begin(), services.log.end(), entry) != services.log.end();
    }
};

TEST_F(RunRequestsTest, TheFirstProgramOfTheNameRunsAndStaysSelected)
{
    makeControls = false;  // a Kestrun whose window was never shown
    Load({{"Alpha", {{"Keystrokes", "alpha", "True"}}},
          {"Twin", {{"Keystrokes", "first", "True"}}},
          {"Twin", {{"Keystrokes", "second", "True"}}}});
    ASSERT_TRUE(w().RequestRun("Twin"));
    // As when the first entry of the name is picked and launched: the rows
    // its listing shows.
    EXPECT_EQ(w().SelectedIndex(), 1);
    EXPECT_TRUE(Logged("keys first"));
    EXPECT_FALSE(Logged("keys alpha"));
    EXPECT_FALSE(w().isVisible());
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
