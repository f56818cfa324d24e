#include "tests/document/DocumentFixture.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A child process saves a document of about 10 MB again and again, flipping
// one program's name, and is killed at random moments. Each kill leaves the
// old or the new document whole, and one start removes whatever a save left.
TEST(SaveKillTest, KilledSavesLeaveAWholeDocumentAndNothingAfterAStart)
{
    std::string programs;
    for (int i = 0; i < 16000; ++i)
        programs += Program("P" + std::to_string(i), Task("Open File", "/usr/bin/program " + std::to_string(i)) +
                                                         Task("Wait", "5", "False", "2") +
                                                         Task("Keystrokes", std::string(400, 'k'), "True", "3"));
    TempFolder folder;
    folder.Write("Kestrun.xml", DocumentXml(programs));
    RecordingReporter reporter, again;
    TaskDocument document(folder.path(), reporter);
    ASSERT_TRUE(document.Load());
    document.RenameProgram("P0", "Q0");
    const std::string after = document.Serialize();
    document.RenameProgram("Q0", "P0");
    const auto started = Clock::now();  // one save's length spreads the kills over the first few saves
    document.SaveTaskDocument();
    const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    const std::string before = folder.Read("Kestrun.xml");
    ASSERT_EQ(before, document.Serialize());

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> delay(0, 3 * saveTime.count());
    for (int kill = 0; kill < 50; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill) + ", seed " + std::to_string(seed));
        const auto forked = Clock::now();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        for (bool flip = true; child == 0; flip = !flip) {
            document.RenameProgram(flip ? "P0" : "Q0", flip ? "Q0" : "P0");
            document.SaveTaskDocument();
        }
        std::this_thread::sleep_until(forked + std::chrono::microseconds(delay(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string now = folder.Read("Kestrun.xml");
        EXPECT_TRUE(now == before || now == after) << "a document of " << now.size() << " bytes";
    }
    EXPECT_TRUE(TaskDocument(folder.path(), again).Load());
    EXPECT_TRUE(again.Silent());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace kestrun::test
