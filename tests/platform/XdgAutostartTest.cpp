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

// The command line a desktop entry starts, read the way GLib launches it:
// the key's value unescaped, "%%" made "%", then split by the quoting rules.
std::vector<std::string> CommandOfEntry(const fs::path& entry)
{
    std::vector<std::string> command;
    GKeyFile* file = g_key_file_new();
    if (g_key_file_load_from_file(file, entry.c_str(), G_KEY_FILE_NONE, nullptr)) {
        gchar* exec = g_key_file_get_string(file, "Desktop Entry", "Exec", nullptr);
        std::string expanded = exec ? exec : "";
        g_free(exec);
        for (std::size_t at = expanded.find("%%"); at != std::string::npos; at = expanded.find("%%", at + 1))
            expanded.erase(at, 1);
        gchar** argv = nullptr;
        if (g_shell_parse_argv(expanded.c_str(), nullptr, &argv, nullptr))
            for (gchar** arg = argv; *arg; ++arg)
                command.emplace_back(*arg);
        g_strfreev(argv);
    }
    g_key_file_free(file);
    return command;
}

bool DesktopFileValid(const fs::path& entry)
{
    const std::string command = "desktop-file-validate '" + entry.string() + "' >&2";
    return std::system(command.c_str()) == 0;
}

TEST(XdgAutostartTest, ExecArgumentsAreQuotedOnlyWhenNeeded)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/usr/bin/kestrun", "/usr/bin/kestrun"},
        {"/opt/my apps/kestrun", "\"/opt/my apps/kestrun\""},
        {"/opt/50%/kestrun", "/opt/50%%/kestrun"},
        {"/opt/a\"b`c$d\\e/kestrun", "\"/opt/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e/kestrun\""},
        {"/opt/it's/kestrun", "\"/opt/it's/kestrun\""},
        {"", "\"\""},
    };
    for (const auto& [argument, expected] : cases)
        EXPECT_EQ(DesktopExecArgument(argument), expected) << argument;
}

// Whatever the path of the executable, the desktop reads back exactly that
// path from the entry, and the entry is valid.
TEST(XdgAutostartTest, EntryStartsTheExecutableWhateverItsPath)
{
    TempFolder folder;
    for (const std::string name : {"kestrun", "my apps", "50% & more", "quote\"tick`dollar$back\\slash", "it's (new)"}) {
        SCOPED_TRACE(name);
        const fs::path executable = folder / name / "kestrun";
        XdgAutostart autostart(folder / "config" / "autostart" / "kestrun.desktop", executable);
        autostart.SetEnabled(true);
        EXPECT_TRUE(DesktopFileValid(autostart.Entry()));
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
    EXPECT_EQ(folder.Read("config/autostart/kestrun.desktop"),
              "[Desktop Entry]\nType=Application\nName=Kestrun\nComment=Replays routine desktop chores\n"
              "Exec=/usr/bin/kestrun\nIcon=kestrun\nTerminal=false\n");
    autostart.SetEnabled(true);  // again: the same entry, no error
    EXPECT_TRUE(autostart.Enabled());

    autostart.SetEnabled(false);
    EXPECT_FALSE(autostart.Enabled());
    EXPECT_FALSE(fs::exists(autostart.Entry()));
    EXPECT_TRUE(fs::exists(autostart.Entry().parent_path()));
    autostart.SetEnabled(false);  // already off: nothing to do
    EXPECT_FALSE(autostart.Enabled());
}

TEST(XdgAutostartTest, FailuresAreReportedAndChangeNothing)
{
    TempFolder folder;
    folder.Write("config", "a file where the folder should be");
    XdgAutostart blocked(folder / "config" / "autostart" / "kestrun.desktop", "/usr/bin/kestrun");
    EXPECT_THROW(blocked.SetEnabled(true), PlatformError);
    EXPECT_FALSE(blocked.Enabled());
    EXPECT_EQ(folder.Read("config"), "a file where the folder should be");

    for (const char* executable : {"/opt/line\nbreak/kestrun", "/opt/\xff\xfe/kestrun"}) {
        XdgAutostart unwritable(folder / "autostart" / "kestrun.desktop", executable);
        EXPECT_THROW(unwritable.SetEnabled(true), PlatformError);
        EXPECT_FALSE(fs::exists(folder / "autostart"));
    }
}

TEST(XdgAutostartTest, EntryLivesInTheUsersAutostartFolder)
{
    TempFolder folder;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    const auto start = MakeLoginStart("/usr/bin/kestrun");
    start->SetEnabled(true);
    EXPECT_TRUE(fs::exists(folder / "config" / "autostart" / "kestrun.desktop"));
    old ? setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace kestrun::test
