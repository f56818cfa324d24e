#include "platform/PlatformError.h"
#include "platform/linux/XdgAutostart.h"
#include "tests/support/TempFolder.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

// The command line of a desktop entry, read the way GLib launches it: the
// value unescaped, "%%" made "%", then split by the quoting rules.
std::vector<std::string> CommandOfEntry(const fs::path& entry)
{
    std::vector<std::string> command;
    GKeyFile* file = g_key_file_new();
    gchar* exec = g_key_file_load_from_file(file, entry.c_str(), G_KEY_FILE_NONE, nullptr)
                      ? g_key_file_get_string(file, "Desktop Entry", "Exec", nullptr)
                      : nullptr;
    std::string line = exec ? exec : "";
    for (std::size_t at = line.find("%%"); at != std::string::npos; at = line.find("%%", at + 1))
        line.erase(at, 1);
    gchar** argv = nullptr;
    if (g_shell_parse_argv(line.c_str(), nullptr, &argv, nullptr))
        command.assign(argv, argv + g_strv_length(argv));
    g_strfreev(argv);
    g_free(exec);
    g_key_file_free(file);
    return command;
}

// Whatever the executable's path, the entry is valid and starts exactly it.
TEST(XdgAutostartTest, EntryStartsTheExecutableWhateverItsPath)
{
    TempFolder folder;
    for (const std::string name : {"kestrun", "my apps", "50% & more", "q\"t`d$b\\s", "it's (new)"}) {
        SCOPED_TRACE(name);
        const fs::path executable = folder / name / "kestrun";
        XdgAutostart autostart(folder / "autostart" / "kestrun.desktop", executable);
        autostart.SetEnabled(true);
        EXPECT_EQ(std::system(("desktop-file-validate '" + autostart.Entry().string() + "'").c_str()), 0);
        EXPECT_EQ(CommandOfEntry(autostart.Entry()), std::vector<std::string>{executable.string()});
    }
}

TEST(XdgAutostartTest, CheckingWritesTheEntryAndUncheckingRemovesIt)
{
    TempFolder folder;
    XdgAutostart autostart(folder / "config" / "autostart" / "kestrun.desktop", "/usr/bin/kestrun");
    EXPECT_FALSE(autostart.Enabled());
    autostart.SetEnabled(true);
    EXPECT_TRUE(autostart.Enabled());
    EXPECT_NE(folder.Read("config/autostart/kestrun.desktop").find("\nExec=/usr/bin/kestrun\n"), std::string::npos);
    autostart.SetEnabled(false);
    autostart.SetEnabled(false);  // already off: no failure
    EXPECT_FALSE(autostart.Enabled());
    EXPECT_FALSE(fs::exists(autostart.Entry()));
}

TEST(XdgAutostartTest, FailuresAreReportedAndChangeNothing)
{
    TempFolder folder;
    folder.Write("config", "a file where the folder should be");
    XdgAutostart blocked(folder / "config" / "autostart" / "kestrun.desktop", "/usr/bin/kestrun");
    EXPECT_THROW(blocked.SetEnabled(true), PlatformError);
    EXPECT_EQ(folder.Read("config"), "a file where the folder should be");

    // Paths that a desktop entry cannot hold.
    for (const char* executable : {"/opt/line\nbreak/kestrun", "/opt/\xff\xfe/kestrun"}) {
        XdgAutostart unwritable(folder / "autostart" / "kestrun.desktop", executable);
        EXPECT_THROW(unwritable.SetEnabled(true), PlatformError);
        EXPECT_FALSE(fs::exists(folder / "autostart"));
    }
}

}  // namespace
}  // namespace kestrun::test
