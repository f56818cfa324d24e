// The built kestrun while its Kestrun.xml is edited by hand, in place and by
// rename.

#include "tests/support/TestDocuments.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(HandEditEndToEnd, ARunningKestrunListsAndRunsWhatTheFileHoldsNow)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    const TempFolder& folder = session.folder();
    const fs::path executable = session.InstallKestrun(TemplateDocument(Program("Mine")));
    const auto kestrun = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), executable.string());
        return RunProgram(arguments);
    };
    Started running{StartProcess({executable.string()})};
    // Listening, not merely listed: a listing with no Kestrun up reads the file itself, and a run
    // after it would start the Kestrun of the document in place of this one.
    const auto listening = [&] {
        for (const auto& entry : fs::directory_iterator(folder / "runtime"))
            if (entry.path().extension() == ".socket")
                return true;
        return false;
    };
    ASSERT_TRUE(WaitUntil(listening, 20s));
    ASSERT_EQ(kestrun({"--list"}).out, "Mine\n");

    const fs::path marker = folder / "ran.txt";
    const fs::path script = folder.Write("mark.sh", "#!/bin/sh\necho ran >> '" + marker.string() + "'\n");
    fs::permissions(script, fs::perms::owner_all);
    const struct {
        const char* how;
        bool byRename;
    } edits[] = {{"in place", false}, {"by rename", true}};
    for (const auto& edit : edits) {
        SCOPED_TRACE(edit.how);
        Step(edit.how);
        const std::string name = std::string("Added ") + edit.how;
        const std::string text = TemplateDocument(Program("Mine") + Program(name, {{"Open File", script.string()}}));
        if (edit.byRename) {
            folder.Write("app/.Kestrun.xml.new", text);
            fs::rename(folder / "app" / ".Kestrun.xml.new", folder / "app" / "Kestrun.xml");
        } else {
            std::ofstream(folder / "app" / "Kestrun.xml", std::ios::trunc) << text;
        }
        fs::remove(marker);
        const Outcome run = kestrun({"--run", name});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(WaitForOutput(marker, 4), "ran\n");
        EXPECT_EQ(kestrun({"--list"}).out, "Mine\n" + name + "\n");
    }
    int status = 0;
    EXPECT_FALSE(Ended(running.pid, status));
}

}  // namespace
}  // namespace kestrun::test
