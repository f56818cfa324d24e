#include "tests/document/DocumentFixture.h"
#include "tests/support/SmallFileSystem.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using LoadSaveTest = DocumentFixture;

std::size_t FileCount(const fs::path& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// The schema location is pointed at the folder's Kestrun.xsd in memory only,
// wherever it stands; the next save writes it, even when its element is gone.
TEST_F(LoadSaveTest, SchemaLocationIsRewrittenInMemoryAndSaved)
{
    const std::string xml = "<root><programs>" + kTemplate +
                            "<program xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                            "xsi:noNamespaceSchemaLocation=\"x\"><name>A</name><tasks/></program></programs></root>";
    Load(xml);
    const std::string schema = "xsi:noNamespaceSchemaLocation=\"" + (folder / "Kestrun.xsd").string() + "\"";
    EXPECT_NE(document->Serialize().find("<program xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" " + schema),
              std::string::npos);
    EXPECT_FALSE(document->Dirty());
    EXPECT_EQ(folder.Read("Kestrun.xml"), xml);

    document->DeleteProgram("A");
    EXPECT_TRUE(document->Dirty());
    document->SaveTaskDocument(reporter);
    EXPECT_NE(folder.Read("Kestrun.xml").find(schema), std::string::npos);
    EXPECT_FALSE(document->Dirty());
    EXPECT_TRUE(reporter.Silent());
    Reload();
}

TEST_F(LoadSaveTest, SaveAndLoadKeepEveryTextExactly)
{
    const std::string name = "R\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5\xE6\x9C\xAC";
    const Lines values = {" ", "  two  ", "a\nb", "<&>\"'", "{TAB} ~", "", "\xE6\x97\xA5\xE6\x9C\xAC{ENTER}"};
    Load(DocumentXml("<!-- mine -->" + Program("A", Task("Wait", "5"))));
    document->AddProgram(name);
    Lines rows;
    for (const std::string& value : values) {
        document->AddTask(name, "Keystrokes", value, true);
        rows.push_back("Keystrokes|" + value + "|True");
    }
    document->SaveTaskDocument(reporter);
    const std::string saved = folder.Read("Kestrun.xml");
    EXPECT_EQ(saved, document->Serialize());
    EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
    EXPECT_NE(saved.find("<!-- mine -->"), std::string::npos);

    const auto reloaded = Reload();
    EXPECT_EQ(reloaded->Serialize(), saved);
    EXPECT_EQ(reloaded->ProgramNames(), (Lines{"A", name}));
    EXPECT_EQ(RowsOf(*reloaded, name), rows);
    EXPECT_EQ(RowsOf(*reloaded, "A"), Lines{"Wait|5 seconds|True"});
}

// What stands at a path: "none", "folder", or a file's mode and content.
std::string State(const fs::path& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return "none";
    if (S_ISDIR(info.st_mode))
        return "folder";
    char mode[8];
    std::snprintf(mode, sizeof mode, "%o ", info.st_mode & 07777);
    std::ifstream in(path, std::ios::binary);
    return mode + std::string(std::istreambuf_iterator<char>(in), {});
}

// A save that cannot write reports why, keeps the changes pending and leaves
// what was there as it was; root, too, keeps off a read-only file.
TEST_F(LoadSaveTest, FailedSaveIsReportedAndChangesNothingOnDisk)
{
    const std::string path = (folder / "Kestrun.xml").string();
    const std::vector<std::tuple<std::string, std::function<void()>, std::string>> cases = {
        {"file deleted", [&] { fs::remove(path); },
         "Error: 53\nFile not found: " + path + " (No such file or directory)"},
        {"folder in its place", [&] { fs::remove(path), fs::create_directory(path); },
         "Error: 53\nFile not found: " + path + " is not a regular file"},
        {"read-only file", [&] { ::chmod(path.c_str(), 0444); }, "Error: 70\nPermission denied: " + path},
    };
    for (const auto& [label, breakIt, report] : cases) {
        SCOPED_TRACE(label);
        Load(DocumentXml(Program("A")));
        breakIt();
        const std::string before = State(path);
        document->AddProgram("B");
        document->SaveTaskDocument(reporter);
        EXPECT_EQ(OnlyReport(), report);
        EXPECT_TRUE(document->Dirty());
        EXPECT_EQ(State(path), before);
        fs::remove_all(path);
    }
}

// A small file system of its own shows a full disk (mounting needs root).
TEST_F(LoadSaveTest, FullDiskIsReportedInWordsAndChangesNothing)
{
    const SmallFileSystem filesystem(folder / "small");
    if (!filesystem.mounted)
        GTEST_SKIP() << "cannot mount a small file system here";
    const fs::path& small = filesystem.at;
    const std::string xml = DocumentXml(Program("A"));
    std::ofstream(small / "Kestrun.xml") << xml;
    const std::string before = State(small / "Kestrun.xml");
    {
        TaskDocument full(small, reporter);
        ASSERT_TRUE(full.Load());
        full.AddTask("A", "Keystrokes", std::string(200000, 'k'), true);
        filesystem.Fill();
        full.SaveTaskDocument(reporter);
    }
    EXPECT_EQ(OnlyReport(), "Error: 61\nDisk full: " + (small / "Kestrun.xml").string() + " (No space left on device)");
    EXPECT_EQ(State(small / "Kestrun.xml"), before);
    EXPECT_EQ(FileCount(small), 2u) << "the file and the filler";
}

TEST_F(LoadSaveTest, ReplacementKeepsPermissionsAndLinksAndLeavesNoLeftovers)
{
    TempFolder real;
    real.Write("Kestrun.xml", DocumentXml(""));
    ::chmod((real / "Kestrun.xml").c_str(), 0640);
    fs::create_symlink(real / "Kestrun.xml", folder / "Kestrun.xml");
    document = std::make_unique<TaskDocument>(folder.path(), reporter);
    ASSERT_TRUE(document->Load());
    document->AddProgram("B");
    document->SaveTaskDocument(reporter);
    EXPECT_TRUE(reporter.Silent());
    EXPECT_TRUE(fs::is_symlink(folder / "Kestrun.xml"));
    EXPECT_EQ(State(real / "Kestrun.xml"), "640 " + document->Serialize());
    EXPECT_EQ(FileCount(real.path()), 1u);
}

// A start removes temporaries of killed saves, not of one still running (it holds its lock).
TEST_F(LoadSaveTest, LoadRemovesOnlyTemporariesOfDeadSaves)
{
    const std::string dead = ".Kestrun.xml.kestrun-save-0123456789ab";
    const Lines kept = {"Kestrun.xml.AbC123", ".Kestrun.xml.kestrun-save-short", "Other.xml.kestrun-save-0123456789ab",
                        ".Kestrun.xml.kestrun-save-aaaaaaaaaaaa"};
    for (const std::string& name : kept)
        folder.Write(name, "mine");
    folder.Write(dead, "partial");
    const int running = ::open((folder / kept.back()).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(running, LOCK_EX), 0) << "a save still running";

    Load(DocumentXml(""));
    EXPECT_FALSE(fs::exists(folder / dead));
    for (const std::string& name : kept)
        EXPECT_TRUE(fs::exists(folder / name)) << name;
    ::close(running);
}

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
    document.SaveTaskDocument(reporter);
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
            document.SaveTaskDocument(reporter);
        }
        std::this_thread::sleep_until(forked + std::chrono::microseconds(delay(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string now = folder.Read("Kestrun.xml");
        EXPECT_TRUE(now == before || now == after) << "a document of " << now.size() << " bytes";
    }
    EXPECT_TRUE(TaskDocument(folder.path(), again).Load());
    EXPECT_TRUE(again.Silent());
    EXPECT_EQ(FileCount(folder.path()), 1u);
}

}  // namespace
}  // namespace kestrun::test
