#include "platform/LocalListener.h"
#include "platform/LoginStart.h"
#include "platform/PlatformError.h"
#include "platform/TerminationSignals.h"
#include "platform/UserFolders.h"
#include "platform/WebPageOpener.h"
#include "platform/WindowFrame.h"
#include "platform/none/NoPlatformServices.h"

#include <gtest/gtest.h>

#include <functional>

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;

void ExpectNotAvailable(const std::function<void()>& call, const char* what)
{
    try {
        call();
        ADD_FAILURE() << what << " did not throw";
    } catch (const PlatformError& error) {
        EXPECT_STREQ(error.what(), kNotAvailableHere) << what;
    }
}

TEST(NoPlatform, ServicesThatNeedTheSystemSaySoAndTheRestAnswerNone)
{
    PlatformServices services;
    AddNoPlatformServices(services, nullptr);
    ExpectNotAvailable([&] { services.files->OrdinaryFileExists("/"); }, "OrdinaryFileExists");
    ExpectNotAvailable([&] { services.programs->Start("/bin/true"); }, "Start");
    ExpectNotAvailable([&] { services.windows->Activate(1); }, "Activate");
    ExpectNotAvailable([&] { services.keys->SendKeys({KeyStroke::Character(U'a')}, true); }, "SendKeys");
    ExpectNotAvailable([] { MakeLoginStart("/bin/kestrun")->SetEnabled(true); }, "SetEnabled");
    EXPECT_FALSE(services.programs->IsProgramFile("/bin/true"));
    EXPECT_FALSE(services.opener->Open("/"));
    EXPECT_FALSE(services.windows->WaitForWindow(1, 10s));
    EXPECT_EQ(services.windows->ActiveWindowId(), 0u);
    EXPECT_FALSE(MakeLoginStart("/bin/kestrun")->Enabled());
    EXPECT_FALSE(MakeWebPageOpener()->OpenAddress("https://example.org/"));
    EXPECT_FALSE(EstimateFrameExtents(1));
    CatchTerminationSignals();
    EXPECT_FALSE(TerminationRequested());
    EXPECT_EQ(TerminationDescriptor(), -1);
}

TEST(NoPlatform, NoListenerNoRuntimeFolderAndAStopEndsASleep)
{
    LocalListener listener;
    std::string error;
    EXPECT_FALSE(listener.Listen("/tmp/kestrun-none.socket", error));
    EXPECT_EQ(error, kNotAvailableHere);
    EXPECT_EQ(listener.descriptor(), -1);
    EXPECT_EQ(listener.Accept().taken, LocalListener::Taken::NoneWaiting);
    std::string refused;
    EXPECT_TRUE(UserRuntimeFolder(&refused).empty());
    EXPECT_EQ(refused, kNotAvailableHere);
    EXPECT_FALSE(UserConfigFolder().empty());
    EXPECT_NE(UserConfigFolder(), UserDataFolder());

    int asked = 0;
    PlatformServices services;
    AddNoPlatformServices(services, [&] { return ++asked > 2; });
    services.sleeper->Sleep(24 * 3600 * 1000);  // returns at the third question
    EXPECT_EQ(asked, 3);
}

}  // namespace
}  // namespace kestrun::test
