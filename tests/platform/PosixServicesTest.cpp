#include "platform/PlatformError.h"
#include "platform/posix/GioFileOpener.h"
#include "platform/posix/PosixFileExistence.h"
#include "platform/posix/PosixProgramStarter.h"
#include "platform/posix/XdgAutostart.h"
#include "tests/support/TempFolder.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

extern char** environ;

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

bool Eventually(const std::function<bool()>& condition)
{
    for (int k = 0; k < 1000 && !condition(); ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return condition();
}

std::string Written(const TempFolder& folder, const std::string& name)
{
    Eventually([&] { return !folder.Read(name).empty(); });
    return folder.Read(name);
}

fs::path WriteScript(const TempFolder& folder, const std::string& name, const std::string& body)
{
    const auto path = folder.Write(name, "#!/bin/sh\n" + body + "\n");
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

TEST(PosixFileExistenceTest, OnlyOrdinaryFilesMatch)
{
    TempFolder folder;
    for (const char* name : {"a.txt", ".hidden", "x[1].txt", "banana"})
        folder.Write(name, name);
    fs::create_directory(folder / "dir.txt.d");
    folder.Write("dir.txt.d/inner.log", "i");
    fs::create_symlink(folder / "a.txt", folder / "link-to-file");
    fs::create_symlink(folder / "dir.txt.d", folder / "link-to-dir");
    const std::string root = folder.path().string() + "/";

    const std::vector<std::pair<std::string, bool>> cases = {
        {"a.txt", true},       {"missing.txt", false}, {"dir.txt.d", false}, {"link-to-file", true},
        {"link-to-dir", false}, {"*.txt", true},       {"*.log", false},     {"dir.txt.*", false},
        {"dir.txt.d/*.log", true}, {".hidden", true},  {"*hidden", false},   {"a.txt/*", false},
        {"x[1].txt", true},    {"*a*a*", true},        {"b?nana?", false},
        {"b?n*", true},        {"BANANA", false},
    };
    PosixFileExistence files;
    for (const auto& [name, exists] : cases)
        EXPECT_EQ(files.OrdinaryFileExists(root + name), exists) << name;
    EXPECT_FALSE(files.OrdinaryFileExists(""));
}

// The file itself is started, never a shell reading it as a command line,
// and a name that looks like an option reaches its interpreter as a path.
TEST(PosixProgramStarterTest, StartsTheFileItselfWithoutAShell)
{
    TempFolder folder;
    const auto script = WriteScript(folder, "run me; now.sh", "echo \"$0\" > '" + (folder / "started").string() + "'");
    WriteScript(folder, "-x", "echo \"$0\" > '" + (folder / "option").string() + "'");
    const auto plain = folder.Write("plain.sh", "#!/bin/sh\n");
    PosixProgramStarter starter;
    EXPECT_TRUE(starter.IsProgramFile(script.string()));
    EXPECT_FALSE(starter.IsProgramFile(plain.string()));
    EXPECT_FALSE(starter.IsProgramFile(folder.path().string()));

    EXPECT_GT(starter.Start(script.string()), 0);
    EXPECT_EQ(Written(folder, "started"), script.string() + "\n");
    for (const std::string& unstartable : {plain.string(), std::string("/bin/echo hello"), (folder / "missing").string()})
        EXPECT_THROW(starter.Start(unstartable), PlatformError) << unstartable;

    const fs::path previous = fs::current_path();
    fs::current_path(folder.path());
    EXPECT_GT(starter.Start("-x"), 0);
    fs::current_path(previous);
    EXPECT_EQ(Written(folder, "option"), (folder / "-x").string() + "\n");
}

// The state letter of a process ('Z' for a zombie), or 0 once it is gone.
char ProcessState(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto end = line.rfind(") ");
    return end == std::string::npos || end + 2 >= line.size() ? 0 : line[end + 2];
}

TEST(PosixProgramStarterTest, AnEndedProgramIsReapedWithoutWaitingForIt)
{
    TempFolder folder;
    const auto release = folder / "release";
    const auto script =
        WriteScript(folder, "waits.sh", "while [ ! -e '" + release.string() + "' ]; do sleep 0.05; done");
    // A child of the process's own, which the starter must leave alone.
    char truePath[] = "/bin/true";
    char* trueArgs[] = {truePath, nullptr};
    pid_t other = 0;
    ASSERT_EQ(posix_spawn(&other, truePath, nullptr, nullptr, trueArgs, environ), 0);

    PosixProgramStarter starter;
    const pid_t pid = starter.Start(script.string());
    ASSERT_GT(pid, 0);
    EXPECT_NE(ProcessState(pid), 0) << "Start came back while the program runs";

    folder.Write("release", "");
    EXPECT_TRUE(Eventually([pid] { return ProcessState(pid) == 0; }))
        << "the ended program is left as state " << ProcessState(pid);
    int status = -1;
    EXPECT_EQ(waitpid(other, &status, 0), other) << "the other child was reaped too";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(GioFileOpenerTest, OpensThroughTheRegisteredHandlerOnlyWhenThereIsOne)
{
    TempFolder folder;
    // A private desktop: the handler below and the system's MIME types, no
    // other application, no display and no session bus.
    for (const char* sub : {"data/applications", "config", "shared"})
        fs::create_directories(folder / sub);
    fs::create_directory_symlink("/usr/share/mime", folder / "shared/mime");
    const auto handler = WriteScript(folder, "handler.sh", "printf '%s' \"$1\" > '" + (folder / "opened").string() + "'");
    folder.Write("data/applications/kestrun-test-handler.desktop",
                 "[Desktop Entry]\nType=Application\nName=Handler\nExec=" + handler.string() +
                     " %f\nMimeType=text/plain;\n");
    folder.Write("config/mimeapps.list", "[Default Applications]\ntext/plain=kestrun-test-handler.desktop\n");
    setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    setenv("XDG_DATA_DIRS", (folder / "shared").c_str(), 1);
    setenv("HOME", folder.path().c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");

    const auto notes = folder.Write("notes with spaces.txt", "just text\n");
    GioFileOpener opener;
    EXPECT_FALSE(opener.Open(folder.Write("data.kestrun-unknown", std::string("\x7f\x01\xff\xfe\x00", 5)).string()));
    ASSERT_TRUE(opener.Open(notes.string()));
    EXPECT_EQ(Written(folder, "opened"), notes.string());
}

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

TEST(XdgAutostartTest, EntryStartsTheExecutableWhateverItsPath)
{
    TempFolder folder;
    for (const std::string name : {"50% & more", "q\"t`d$b\\s", "it's (new)"}) {
        SCOPED_TRACE(name);
        const fs::path executable = folder / name / "kestrun";
        XdgAutostart autostart(folder / "config" / "autostart" / "kestrun.desktop", executable);
        EXPECT_FALSE(autostart.Enabled());
        autostart.SetEnabled(true);
        EXPECT_TRUE(autostart.Enabled());
        EXPECT_EQ(std::system(("desktop-file-validate '" + autostart.Entry().string() + "'").c_str()), 0);
        EXPECT_EQ(CommandOfEntry(autostart.Entry()), std::vector<std::string>{executable.string()});
        autostart.SetEnabled(false);
        autostart.SetEnabled(false);
        EXPECT_FALSE(autostart.Enabled() || fs::exists(autostart.Entry()));
    }
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
