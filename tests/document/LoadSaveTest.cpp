#include "tests/document/DocumentFixture.h"

#include <sys/stat.h>

namespace kestrun::test {
namespace {

using LoadTest = DocumentFixture;
using SaveTest = DocumentFixture;

std::string LoadErrorPrefix(int number)
{
    return "Error: " + std::to_string(number) + "\n[Kestrun.xml] File Error -\n";
}

TEST_F(LoadTest, MissingFileReportsFileNotFound)
{
    TaskDocument missing(folder.path(), reporter);
    EXPECT_FALSE(missing.Load());
    auto report = OnlyReport();
    EXPECT_EQ(report.number, -2146697210);
    EXPECT_EQ(report.text, "Error: -2146697210\n[Kestrun.xml] File Not Found");
}

// Each broken file ends in one "File Error -" report carrying the parser's
// own code and reason; none of them loads.
TEST_F(LoadTest, UnparsableFilesReportTheParserFailure)
{
    const std::string good = DocumentXml(ProgramXml("A", {{"Wait", "5"}}));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"empty", ""},
        {"blank", "  \n"},
        {"truncated", good.substr(0, good.size() / 2)},
        {"not xml", "Hello, world"},
        {"unclosed attribute", "<programs a=\"x></programs>"},
        {"NUL character", std::string("<programs>\0</programs>", 22)},
    };
    for (const auto& [label, text] : cases) {
        SCOPED_TRACE(label);
        RecordingReporter local;
        folder.Write("Kestrun.xml", text);
        TaskDocument broken(folder.path(), local);
        EXPECT_FALSE(broken.Load());
        ASSERT_EQ(local.reports.size(), 1u);
        EXPECT_NE(local.reports[0].number, 0);
        EXPECT_NE(local.reports[0].number, 91);
        EXPECT_EQ(local.reports[0].text.rfind(LoadErrorPrefix(local.reports[0].number), 0), 0u)
            << local.reports[0].text;
        EXPECT_GT(local.reports[0].text.size(), LoadErrorPrefix(local.reports[0].number).size());
    }
}

TEST_F(LoadTest, MissingSchemaLocationIsCorrupted)
{
    folder.Write("Kestrun.xml", "<programs>" + TemplateXml() + "</programs>");
    TaskDocument document(folder.path(), reporter);
    EXPECT_FALSE(document.Load());
    auto report = OnlyReport();
    EXPECT_EQ(report.number, 91);
    EXPECT_EQ(report.text, "Error: 91\n[Kestrun.xml] File Error Corrupted");
}

TEST_F(LoadTest, SchemaLocationIsRewrittenInMemoryOnly)
{
    const std::string xml = DocumentXml("");
    Load(xml);
    EXPECT_EQ(std::string(document->Dom().document_element().attribute("xsi:noNamespaceSchemaLocation").value()),
              (folder.path() / "Kestrun.xsd").string());
    EXPECT_FALSE(gDocumentDirty);
    EXPECT_EQ(folder.Read("Kestrun.xml"), xml);
}

TEST_F(LoadTest, SchemaLocationMayStandDeeperThanTheRoot)
{
    Load("<root><meta xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
         "xsi:noNamespaceSchemaLocation=\"x\"/><programs>" + TemplateXml() +
         ProgramXml("A", {}) + "</programs></root>");
    EXPECT_EQ(document->ProgramNames(), std::vector<std::string>{"A"});
    EXPECT_TRUE(reporter.Silent());
}

TEST_F(SaveTest, WritesTheDocumentAndClearsTheDirtyFlag)
{
    Load(DocumentXml(ProgramXml("A", {{"Wait", "5"}})));
    document->AddTask("A", "Keystrokes", "hello~", false);
    gDocumentDirty = true;
    document->SaveTaskDocument();
    EXPECT_TRUE(reporter.Silent());
    EXPECT_FALSE(gDocumentDirty);

    const std::string saved = folder.Read("Kestrun.xml");
    EXPECT_EQ(saved, document->Serialize());
    EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
    EXPECT_NE(saved.find((folder.path() / "Kestrun.xsd").string()), std::string::npos);

    RecordingReporter again;
    TaskDocument reloaded(folder.path(), again);
    ASSERT_TRUE(reloaded.Load());
    EXPECT_EQ(reloaded.Serialize(), saved);
    EXPECT_EQ(reloaded.FillTaskList("A"), document->FillTaskList("A"));
}

TEST_F(SaveTest, TextOutsideOneByteSurvivesSaveAndLoad)
{
    const std::string name = "R\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5\xE6\x9C\xAC";
    Load(DocumentXml(""));
    document->AddProgram(name);
    document->AddTask(name, "Keystrokes", "\xE6\x97\xA5\xE6\x9C\xAC{ENTER}", true);
    document->SaveTaskDocument();

    RecordingReporter again;
    TaskDocument reloaded(folder.path(), again);
    ASSERT_TRUE(reloaded.Load());
    EXPECT_EQ(reloaded.ProgramNames(), std::vector<std::string>{name});
    ASSERT_EQ(reloaded.FillTaskList(name).size(), 1u);
    EXPECT_EQ(reloaded.FillTaskList(name)[0].value, "\xE6\x97\xA5\xE6\x9C\xAC{ENTER}");
}

// Values are typed or opened exactly as written, so no blank, markup
// character or comment may change on the way through a save.
TEST_F(SaveTest, ValuesAndCommentsSurviveSaveAndLoadExactly)
{
    const std::vector<std::string> values = {" ", "  two  ", "a\nb", "<&>\"'", "{TAB} ~", ""};
    Load(DocumentXml("<!-- mine -->" + ProgramXml("A", {})));
    for (const std::string& value : values)
        document->AddTask("A", "Keystrokes", value, true);
    document->SaveTaskDocument();

    RecordingReporter again;
    TaskDocument reloaded(folder.path(), again);
    ASSERT_TRUE(reloaded.Load());
    auto rows = reloaded.FillTaskList("A");
    ASSERT_EQ(rows.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(rows[i].value, values[i]) << "task " << i + 1;
    EXPECT_NE(folder.Read("Kestrun.xml").find("<!-- mine -->"), std::string::npos);
}

// Whatever the edits, the saved file must load again.
TEST_F(SaveTest, SchemaLocationSurvivesDeletingTheElementThatHeldIt)
{
    Load("<programs>" + TemplateXml() +
         "<program xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"x\">"
         "<name>A</name><tasks/></program></programs>");
    document->DeleteProgram("A");
    document->SaveTaskDocument();

    RecordingReporter again;
    TaskDocument reloaded(folder.path(), again);
    EXPECT_TRUE(reloaded.Load());
    EXPECT_TRUE(again.Silent());
}

TEST_F(SaveTest, DeletedFileIsReportedAndNotRecreated)
{
    Load(DocumentXml(""));
    gDocumentDirty = true;
    std::filesystem::remove(folder / "Kestrun.xml");
    document->SaveTaskDocument();
    auto report = OnlyReport();
    EXPECT_EQ(report.number, 53);
    EXPECT_EQ(report.text.rfind("Error: 53\nFile not found: ", 0), 0u) << report.text;
    EXPECT_FALSE(std::filesystem::exists(folder / "Kestrun.xml"));
    EXPECT_TRUE(gDocumentDirty);
}

TEST_F(SaveTest, AFolderInPlaceOfTheFileIsReported)
{
    Load(DocumentXml(""));
    std::filesystem::remove(folder / "Kestrun.xml");
    std::filesystem::create_directory(folder / "Kestrun.xml");
    document->SaveTaskDocument();
    EXPECT_EQ(OnlyReport().number, 53);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "Kestrun.xml"));
}

// The file is replaced by a new one: its permissions, and a link pointing to
// it, must be kept, and no temporary file may be left behind.
TEST_F(SaveTest, ReplacementKeepsPermissionsAndLinksAndLeavesNoLeftovers)
{
    TempFolder real;
    real.Write("Kestrun.xml", DocumentXml(""));
    ::chmod((real / "Kestrun.xml").c_str(), 0640);
    std::filesystem::create_symlink(real / "Kestrun.xml", folder / "Kestrun.xml");

    document = std::make_unique<TaskDocument>(folder.path(), reporter);
    ASSERT_TRUE(document->Load());
    document->AddProgram("B");
    document->SaveTaskDocument();
    EXPECT_TRUE(reporter.Silent());

    EXPECT_TRUE(std::filesystem::is_symlink(folder / "Kestrun.xml"));
    EXPECT_EQ(real.Read("Kestrun.xml"), document->Serialize());
    struct stat info {};
    ASSERT_EQ(::stat((real / "Kestrun.xml").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(real.path()),
                            std::filesystem::directory_iterator()), 1);
}

}  // namespace
}  // namespace kestrun::test
