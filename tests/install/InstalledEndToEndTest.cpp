#include "tests/support/KestrunDesktop.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

// A message box of kestrun's own: a window titled exactly "Kestrun".
bool MessageBoxShown() { return !VisibleWindowsNamed("^Kestrun$").empty(); }

TEST(InstalledEndToEndTest, UsersProgramsAreMadeFromTheExampleOnTheFirstStartOnly)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    const fs::path root = session.folder() / "root";
    setenv("DESTDIR", root.c_str(), 1);
    const int installed = RunProcess({KESTRUN_CMAKE, "--install", KESTRUN_BUILD_DIR, "--prefix", "/usr"});
    unsetenv("DESTDIR");
    ASSERT_EQ(installed, 0);
    const fs::path executable = root / "usr" / "bin" / "kestrun";
    const fs::path document = fs::path(std::getenv("XDG_DATA_HOME")) / "Kestrun" / "Kestrun.xml";
    Started tray{StartTray()};
    ASSERT_GT(tray.pid, 0);

    Step("first start: the example becomes the user's document");
    {
        Started kestrun{StartKestrunAt(executable)};
        ASSERT_FALSE(WaitForTrayIcon().empty());
        EXPECT_FALSE(MainWindowMapped());
        EXPECT_FALSE(MessageBoxShown());
        EXPECT_EQ(ReadFile(document), ReadFile(KESTRUN_EXAMPLE_DOCUMENT));
    }

    Step("later start: the user's document is read, never replaced");
    const std::string broken = "<programs>";
    std::ofstream(document, std::ios::binary) << broken;
    {
        Started kestrun{StartKestrunAt(executable)};
        EXPECT_TRUE(WaitUntil(MessageBoxShown));  // the parse failure
        EXPECT_EQ(ReadFile(document), broken);
    }
}

}  // namespace
}  // namespace kestrun::test
