#include "app/AppFiles.h"
#include "document/TaskDocument.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestDocuments.h"

#include <gtest/gtest.h>

#include <optional>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

const std::string kExample =
    Document(Program("Kestrun Template", Task("Wait", "1")) + Program("Example"), "", "x", false);
const std::string kUserDocument = "data/Kestrun/Kestrun.xml";

// An installed copy: the executable in bin/, shipped files in share/, the user's data in data/.
class AppFilesTest : public ::testing::Test {
protected:
    AppFilesTest()
    {
        fs::create_directories(temp / "bin");
        fs::create_directories(temp / "share");
        temp.Write("share/Kestrun.xml", kExample);
    }

    std::optional<AppFiles> Locate() { return LocateAppFiles({temp / "bin", temp / "share", temp / "data"}, reporter); }
    std::string Report() const { return reporter.reports.size() == 1 ? reporter.reports[0].text : "not one report"; }

    TempFolder temp;
    RecordingReporter reporter;
};

TEST_F(AppFilesTest, AnyKestrunXmlBesideTheExecutableMakesAPortableCopy)
{
    temp.Write("bin/Kestrun.xml", "mine");
    EXPECT_EQ(Locate()->documentFolder, temp / "bin");
    fs::remove(temp / "bin/Kestrun.xml");
    fs::create_symlink(temp / "gone.xml", temp / "bin/Kestrun.xml");  // the load reports it
    EXPECT_EQ(Locate()->documentFolder, temp / "bin");
    EXPECT_FALSE(fs::exists(temp / "data"));
}

TEST_F(AppFilesTest, FirstStartCopiesTheExampleAndLaterStartsNeverDoAgain)
{
    EXPECT_EQ(Locate()->documentFolder, temp / "data/Kestrun");
    EXPECT_EQ(temp.Read(kUserDocument), kExample);
    EXPECT_EQ(fs::status(temp / "data/Kestrun").permissions() & fs::perms::all, fs::perms::owner_all);

    temp.Write(kUserDocument, "changed");
    ASSERT_TRUE(Locate());
    EXPECT_EQ(temp.Read(kUserDocument), "changed");

    fs::remove(temp / kUserDocument);
    const std::optional<AppFiles> files = Locate();
    EXPECT_FALSE(TaskDocument(files->documentFolder, reporter, files->schemaFile).Load());
    EXPECT_EQ(Report(), "Error: -2146697210\n[Kestrun.xml] File Not Found");
}

TEST_F(AppFilesTest, AFailedFirstCopyIsReportedAndChangesNothing)
{
    temp.Write("data", "a file where the folder should be");
    EXPECT_FALSE(Locate());
    EXPECT_EQ(Report().rfind("Error: 75\n[Kestrun.xml] Kestrun cannot create your programs file " +
                                  (temp / kUserDocument).string() + ":\n",
                              0),
              0u);
    EXPECT_EQ(temp.Read("data"), "a file where the folder should be");

    reporter.reports.clear();
    fs::remove(temp / "data");
    fs::remove(temp / "share/Kestrun.xml");
    EXPECT_FALSE(Locate());
    EXPECT_EQ(Report(), "Error: -2146697210\n[Kestrun.xml] File Not Found\nThere is none beside Kestrun, and its "
                        "example " + (temp / "share/Kestrun.xml").string() + " is missing.");
    EXPECT_FALSE(fs::exists(temp / "data/Kestrun"));  // so the next start copies it
}

TEST_F(AppFilesTest, SchemaAndHelpPageAreFoundBesideTheExecutableFirst)
{
    const auto foundIn = [this](const char* folder) {
        const std::optional<AppFiles> files = Locate();
        return files->schemaFile == temp / folder / "Kestrun.xsd" && files->helpFolder == temp / folder;
    };
    EXPECT_TRUE(foundIn("bin"));
    temp.Write("share/Kestrun.xsd", "x"), temp.Write("share/KeystrokesHelp.htm", "x");
    EXPECT_TRUE(foundIn("share"));
    temp.Write("bin/Kestrun.xsd", "x"), temp.Write("bin/KeystrokesHelp.htm", "x");
    EXPECT_TRUE(foundIn("bin"));
    const std::optional<AppFiles> files = Locate();
    TaskDocument document(files->documentFolder, reporter, files->schemaFile);
    ASSERT_TRUE(document.Load());
    EXPECT_EQ(std::string(document.Dom().document_element().attribute("xsi:noNamespaceSchemaLocation").value()),
              (temp / "bin/Kestrun.xsd").string());
}

}  // namespace
}  // namespace kestrun::test
