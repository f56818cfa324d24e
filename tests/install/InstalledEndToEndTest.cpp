// The installed kestrun started on a private X server with a tray.

#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

// A message box of kestrun's own: a window titled exactly "Kestrun".
bool MessageBoxShown() { return !WindowsNamed("^Kestrun$").empty(); }

TEST(InstalledEndToEndTest, UsersProgramsAreMadeFromTheExampleOnTheFirstStartOnly)
{
    XSession session({.tray = true});
    ASSERT_TRUE(session.ok()) << session.failure;
    const fs::path root = session.folder() / "root";
    setenv("DESTDIR", root.c_str(), 1);
    const Outcome installed = RunProgram({KESTRUN_CMAKE, "--install", KESTRUN_BUILD_DIR, "--prefix", "/usr"});
    unsetenv("DESTDIR");
    ASSERT_EQ(installed.status, 0) << installed.err;
    const std::string executable = root / "usr" / "bin" / "kestrun";
    const fs::path document = session.folder() / "data" / "Kestrun" / "Kestrun.xml";

    Step("first start: the example becomes the user's document");
    {
        Started kestrun{StartProcess({executable})};
        ASSERT_FALSE(XSession::WaitForTrayIcon().empty());
        EXPECT_FALSE(MainWindowMapped());
        EXPECT_FALSE(MessageBoxShown());
        EXPECT_EQ(ReadFile(document), ReadFile(KESTRUN_EXAMPLE_DOCUMENT));
    }

    Step("later start: the user's document is read, never replaced");
    session.folder().Write("data/Kestrun/Kestrun.xml", "<programs>");
    {
        Started kestrun{StartProcess({executable})};
        EXPECT_TRUE(WaitUntil(MessageBoxShown));  // the parse failure
        EXPECT_EQ(ReadFile(document), "<programs>");
    }
}

}  // namespace
}  // namespace kestrun::test
