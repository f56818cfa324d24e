// Another user's socket under Kestrun's name, and a runtime folder Kestrun
// cannot listen in: the built kestrun, as root and as a second user the test
// creates (Qt offscreen: nothing here needs a display).

#include "tests/support/TestDocuments.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Listens on `socket` as whoever runs it, notes every connection and the bytes
// it read in `log`, and answers every one as a Kestrun would: "Impostor".
const char* const kImpostor = R"(
import os, socket, struct, sys
path, log = sys.argv[1], sys.argv[2]
server = socket.socket(socket.AF_UNIX)
server.bind(path)
os.chmod(path, 0o777)
server.listen(8)
while True:
    client, _ = server.accept()
    client.settimeout(1)
    try:
        got = client.recv(65536)
    except OSError:
        got = b''
    open(log, 'a').write('connection, %d bytes\n' % len(got))
    text = 'Impostor\n'.encode('utf-16-be')
    try:
        client.sendall(struct.pack('>iI', 0, len(text)) + text)
    except OSError:
        pass
    client.close()
)";

std::string Result(const Outcome& outcome) { return std::to_string(outcome.status) + " " + outcome.out + "|" + outcome.err; }

// The name Kestrun gives its lock and socket for the document at `path`.
std::string InstanceName(const fs::path& path)
{
    const Outcome hash = RunProgram({"sh", "-c", "printf %s \"$0\" | sha256sum", fs::canonical(path).string()});
    return "kestrun-" + hash.out.substr(0, 16);
}

class TrustEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root, to create a second user";
        RunProgram({"/usr/sbin/useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kUser});
        const passwd* user = ::getpwnam(kUser);
        ASSERT_TRUE(user) << "cannot create the user " << kUser;
        uid = user->pw_uid, gid = user->pw_gid;
        fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        fs::create_directories(folder / "app");
        const fs::path built = KESTRUN_EXECUTABLE;
        for (const fs::path& file : {built, built.parent_path() / "kestrun-keyguard"})
            fs::copy_file(file, folder / "app" / file.filename());
        folder.Write("app/Kestrun.xml", TemplateDocument(Program("Mine")));
        for (const char* own : {"home", "tmp"})
            fs::create_directories(folder / own);
    }

    // A command as the second user, in an environment of its own.
    std::vector<std::string> AsOther(std::vector<std::string> argv) const
    {
        std::vector<std::string> command = {"setpriv", "--reuid=" + std::to_string(uid),
                                            "--regid=" + std::to_string(gid), "--clear-groups", "env", "-i",
                                            "PATH=/usr/bin:/bin", "QT_QPA_PLATFORM=offscreen"};
        command.insert(command.end(), argv.begin(), argv.end());
        return command;
    }

    std::vector<std::string> Kestrun(const fs::path& runtime, std::vector<std::string> arguments = {}) const
    {
        std::vector<std::string> command = {"env", "-u", "DISPLAY", "QT_QPA_PLATFORM=offscreen",
                                            "XDG_RUNTIME_DIR=" + runtime.string(),
                                            "TMPDIR=" + (folder / "tmp").string(), (folder / "app" / "kestrun").string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return command;
    }

    static constexpr const char* kUser = "kestrun-other";
    TempFolder folder;
    uid_t uid = 0;
    gid_t gid = 0;
};

TEST_F(TrustEndToEnd, AnotherUsersSocketNeverAnswersForKestrun)
{
    const std::string name = InstanceName(folder / "app" / "Kestrun.xml");
    const fs::path script = folder.Write("impostor.py", kImpostor);
    fs::permissions(script, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    Step("a shared folder, the other user's socket and lock in it under Kestrun's names: Kestrun uses a folder of its own");
    const fs::path shared = folder / "shared";
    fs::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    const fs::path sharedLog = folder / "tmp" / "shared.log";
    RunProgram({"touch", sharedLog.string()});
    ::chmod(sharedLog.c_str(), 0666);
    Started impostor{StartProcess(AsOther({"python3", script.string(), (shared / (name + ".socket")).string(),
                                           sharedLog.string()}))};
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(shared / (name + ".socket")); }, 10s));
    RunProgram(AsOther({"sh", "-c", "printf '%s\\nkestrun\\n%s\\n' " + std::to_string(impostor.pid) +
                                        " \"$(hostname)\" > \"$0\"",
                        (shared / (name + ".lock")).string()}));

    const Outcome listed = RunProgram(Kestrun(shared, {"--list"}));
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, "Mine\n");
    EXPECT_NE(listed.err.find("Kestrun does not use the runtime folder " + shared.string() +
                              ": other users may write to it. It uses " + (folder / "tmp").string() + "/kestrun-0 instead.\n"),
              std::string::npos)
        << listed.err;
    Started mine{StartProcess(Kestrun(shared))};
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(folder / "tmp" / "kestrun-0" / (name + ".socket")); }, 20s));
    EXPECT_TRUE(Result(RunProgram(Kestrun(shared, {"--run", "Mine"}))).starts_with("0 |"))
        << "handed to the running Kestrun";
    int status = 0;
    EXPECT_FALSE(Ended(mine.pid, status));
    EXPECT_EQ(ReadFile(sharedLog), "") << "the other user heard from Kestrun";

    Step("the other user's Kestrun, root's socket in its own runtime folder: ignored, said once, and the lock decides");
    const fs::path theirs = folder / "theirs";
    fs::create_directory(theirs);
    ::chmod(theirs.c_str(), 0700);
    RunProgram({"chown", "-R", std::to_string(uid) + ":" + std::to_string(gid), theirs.string(),
                (folder / "home").string()});
    const fs::path rootLog = folder / "tmp" / "root.log";
    Started rootImpostor{StartProcess({"python3", script.string(), (theirs / (name + ".socket")).string(),
                                       rootLog.string()})};
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(theirs / (name + ".socket")); }, 10s));
    // The lock of a live root process that goes by Kestrun's name.
    fs::create_directories(folder / "tmp" / "bin");
    fs::copy_file("/bin/sleep", folder / "tmp" / "bin" / "kestrun");
    Started holder{StartProcess({(folder / "tmp" / "bin" / "kestrun").string(), "600"})};
    RunProgram({"sh", "-c", "printf '%s\\nkestrun\\n%s\\n%s\\n%s\\n' \"$1\" \"$(hostname)\" \"$(cat /etc/machine-id)\" "
                            "\"$(cat /proc/sys/kernel/random/boot_id)\" > \"$0\"",
                (theirs / (name + ".lock")).string(), std::to_string(holder.pid)});
    const Outcome other = RunProgram(AsOther({"HOME=" + (folder / "home").string(), "XDG_RUNTIME_DIR=" + theirs.string(),
                                              (folder / "app" / "kestrun").string(), "--list"}));
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.out, "");
    EXPECT_EQ(other.err, "Kestrun ignores the socket " + (theirs / (name + ".socket")).string() +
                             ": it belongs to another user.\nKestrun is running for this document but does not answer "
                             "(it holds the lock " + (theirs / (name + ".lock")).string() +
                             "). This start ends, so that no second copy of the document runs.\n");
    std::string heard = ReadFile(rootLog);
    EXPECT_FALSE(heard.empty()) << "Kestrun never tried the socket";
    for (std::size_t at; (at = heard.find("connection, 0 bytes\n")) != std::string::npos;)
        heard.erase(at, 20);
    EXPECT_EQ(heard, "")
        << "the socket got a request: " << heard;
}

// Where the lock can be made but no socket (its path too long for one), the
// first Kestrun holds the document and a second start ends saying why.
TEST_F(TrustEndToEnd, WithoutASocketTheLockStillKeepsASecondCopyOut)
{
    fs::path deep = folder / "run";
    while (deep.string().size() < 120)
        deep /= "deeper";
    fs::create_directories(deep);
    ::chmod(deep.c_str(), 0700);
    const fs::path err = folder / "tmp" / "first.err";
    Started first{StartProcess({"sh", "-c", "exec \"$@\" 2>\"$0\"", err.string(), "env", "-u", "DISPLAY",
                                "QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + deep.string(),
                                (folder / "app" / "kestrun").string()})};
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(err).find("Kestrun cannot take requests") != std::string::npos; }, 20s))
        << ReadFile(err);
    const Outcome second = RunProgram({"env", "-u", "DISPLAY", "QT_QPA_PLATFORM=offscreen",
                                       "XDG_RUNTIME_DIR=" + deep.string(), (folder / "app" / "kestrun").string()});
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find("Kestrun is running for this document but does not answer"), std::string::npos)
        << second.err;
    int status = 0;
    EXPECT_FALSE(Ended(first.pid, status));
}

}  // namespace
}  // namespace kestrun::test
