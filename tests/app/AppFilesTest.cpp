#include "app/AppFiles.h"
#include "document/TaskDocument.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

const std::string kExample =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<programs xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xsi:noNamespaceSchemaLocation=\"Kestrun.xsd\"><program><name>Kestrun Template</name><tasks><task index=\"1\">"
    "<type>Open File</type><value/><enabled>True</enabled></task></tasks></program>"
    "<program><name>Example</name><tasks/></program></programs>\n";

// An installed copy: the executable in bin/, the shipped files in
// share/kestrun/, the user's data folder in data/.
class AppFilesTest : public ::testing::Test {
protected:
    AppFilesTest()
    {
        fs::create_directories(folders.programFolder);
        fs::create_directories(folders.sharedFolder);
        for (const char* name : {"Kestrun.xml", "Kestrun.xsd", "KeystrokesHelp.htm"})
            Write(folders.sharedFolder / name, name == std::string("Kestrun.xml") ? kExample : name);
    }

    static void Write(const fs::path& path, const std::string& content)
    {
        std::ofstream(path, std::ios::binary) << content;
    }

    static std::string Read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::optional<AppFiles> Locate() { return LocateAppFiles(folders, reporter); }

    fs::path UserDocument() const { return folders.dataFolder / "Kestrun" / "Kestrun.xml"; }

    TempFolder temp;
    StartFolders folders{temp / "bin", temp / "share" / "kestrun", temp / "data"};
    RecordingReporter reporter;
};

TEST_F(AppFilesTest, DocumentBesideTheExecutableIsUsedAndNothingIsCopied)
{
    Write(folders.programFolder / "Kestrun.xml", "mine");
    const std::optional<AppFiles> files = Locate();
    ASSERT_TRUE(files);
    EXPECT_EQ(files->documentFolder, folders.programFolder);
    EXPECT_FALSE(fs::exists(folders.dataFolder));
    EXPECT_TRUE(reporter.Silent());
}

TEST_F(AppFilesTest, BrokenLinkBesideTheExecutableStillMakesAPortableCopy)
{
    fs::create_symlink(temp / "gone.xml", folders.programFolder / "Kestrun.xml");
    const std::optional<AppFiles> files = Locate();
    ASSERT_TRUE(files);
    EXPECT_EQ(files->documentFolder, folders.programFolder);
    EXPECT_FALSE(fs::exists(folders.dataFolder));
}

TEST_F(AppFilesTest, FirstStartCopiesTheExampleIntoAPrivateFolder)
{
    const std::optional<AppFiles> files = Locate();
    ASSERT_TRUE(files);
    EXPECT_TRUE(reporter.Silent());
    EXPECT_EQ(files->documentFolder, folders.dataFolder / "Kestrun");
    EXPECT_EQ(Read(UserDocument()), kExample);
    EXPECT_EQ(fs::status(files->documentFolder).permissions() & fs::perms::all, fs::perms::owner_all);
    // Only the document: no temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(files->documentFolder), fs::directory_iterator()), 1);
}

TEST_F(AppFilesTest, LaterStartsNeverOverwriteNorRecreateTheDocument)
{
    ASSERT_TRUE(Locate());
    Write(UserDocument(), "changed by the user");
    ASSERT_TRUE(Locate());
    EXPECT_EQ(Read(UserDocument()), "changed by the user");

    fs::remove(UserDocument());
    const std::optional<AppFiles> files = Locate();
    ASSERT_TRUE(files);
    EXPECT_FALSE(fs::exists(UserDocument()));
    // The load then reports the missing document as it always does.
    TaskDocument document(files->documentFolder, reporter, files->schemaFile);
    EXPECT_FALSE(document.Load());
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].text, "Error: -2146697210\n[Kestrun.xml] File Not Found");
}

TEST_F(AppFilesTest, UnwritableDataFolderIsReportedAndChangesNothing)
{
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> spoil;
    };
    const std::vector<Case> cases = {
        {"a file in place of the data folder", [](const fs::path& data) { Write(data, "not a folder"); }},
        {"a read-only data folder",
         [](const fs::path& data) {
             fs::create_directories(data);
             fs::permissions(data, fs::perms::owner_read | fs::perms::owner_exec);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.name == cases[1].name && ::geteuid() == 0)
            continue;  // the superuser writes into read-only folders
        TempFolder other;
        folders.dataFolder = other / "data";
        c.spoil(folders.dataFolder);
        reporter.reports.clear();
        EXPECT_FALSE(Locate());
        ASSERT_EQ(reporter.reports.size(), 1u);
        EXPECT_EQ(reporter.reports[0].number, 75);
        const std::string& text = reporter.reports[0].text;
        EXPECT_EQ(text.rfind("Error: 75\n[Kestrun.xml] Kestrun cannot create your programs file " +
                                 UserDocument().string() + ":\n",
                             0),
                  0u)
            << text;
        EXPECT_FALSE(fs::exists(folders.dataFolder / "Kestrun"));
        fs::permissions(folders.dataFolder, fs::perms::owner_all, fs::perm_options::add);
    }
}

TEST_F(AppFilesTest, MissingExampleIsReportedAndTheNextStartTriesAgain)
{
    fs::remove(folders.sharedFolder / "Kestrun.xml");
    EXPECT_FALSE(Locate());
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].text, "Error: -2146697210\n[Kestrun.xml] File Not Found\n"
                                        "There is none beside Kestrun, and its example " +
                                            (folders.sharedFolder / "Kestrun.xml").string() + " is missing.");
    EXPECT_FALSE(fs::exists(folders.dataFolder / "Kestrun"));

    Write(folders.sharedFolder / "Kestrun.xml", kExample);
    ASSERT_TRUE(Locate());
    EXPECT_EQ(Read(UserDocument()), kExample);
}

// The schema and the help page: beside the executable first, then the
// shared files; the executable's folder when neither has them.
TEST_F(AppFilesTest, SchemaAndHelpPageAreFoundBesideTheExecutableFirst)
{
    struct Case {
        bool beside;
        bool shared;
        bool fromShared;
    };
    for (const Case c : {Case{true, true, false}, Case{true, false, false}, Case{false, true, true},
                         Case{false, false, false}}) {
        SCOPED_TRACE(std::to_string(c.beside) + std::to_string(c.shared));
        for (const char* name : {"Kestrun.xsd", "KeystrokesHelp.htm"}) {
            fs::remove(folders.programFolder / name);
            fs::remove(folders.sharedFolder / name);
            if (c.beside)
                Write(folders.programFolder / name, "x");
            if (c.shared)
                Write(folders.sharedFolder / name, "x");
        }
        const std::optional<AppFiles> files = Locate();
        ASSERT_TRUE(files);
        const fs::path expected = c.fromShared ? folders.sharedFolder : folders.programFolder;
        EXPECT_EQ(files->schemaFile, expected / "Kestrun.xsd");
        EXPECT_EQ(files->helpFolder, expected);
    }
}

TEST_F(AppFilesTest, InstalledDocumentNamesTheSharedSchema)
{
    const std::optional<AppFiles> files = Locate();
    ASSERT_TRUE(files);
    TaskDocument document(files->documentFolder, reporter, files->schemaFile);
    ASSERT_TRUE(document.Load());
    EXPECT_EQ(std::string(document.Dom().document_element().attribute("xsi:noNamespaceSchemaLocation").value()),
              (folders.sharedFolder / "Kestrun.xsd").string());
    EXPECT_EQ(document.ProgramNames(), std::vector<std::string>{"Example"});
}

}  // namespace
}  // namespace kestrun::test
