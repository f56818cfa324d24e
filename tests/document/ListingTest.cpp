#include "tests/document/DocumentFixture.h"

namespace kestrun::test {
namespace {

using ListingTest = DocumentFixture;
using Lines = std::vector<std::string>;

TEST_F(ListingTest, RowsShowTypeValueAndEnabledText)
{
    Load(DocumentXml(ProgramXml("A", {{"Wait", "5"},
                                      {"wait", "5"},
                                      {"Keystrokes", "9 seconds", "False"},
                                      {"Open File", "/bin/true", "false"}})));
    EXPECT_EQ(Rows("A"), (Lines{"Wait|5 seconds|True", "wait|5|True", "Keystrokes|9 seconds|False",
                                "Open File|/bin/true|false"}));
    EXPECT_TRUE(reporter.Silent());
}

TEST_F(ListingTest, ListingRenumbersIndexesToRowNumbers)
{
    Load(DocumentXml(ProgramXml("A", {{"Wait", "1", "True", "7"},
                                      {"Wait", "2", "True", "3"},
                                      {"Wait", "3", "True", "9"}})));
    EXPECT_EQ(Indexes("A"), (Lines{"7", "3", "9"}));
    EXPECT_EQ(Rows("A"), (Lines{"Wait|1 seconds|True", "Wait|2 seconds|True", "Wait|3 seconds|True"}));
    EXPECT_EQ(Indexes("A"), (Lines{"1", "2", "3"}));
    EXPECT_FALSE(gDocumentDirty);
}

TEST_F(ListingTest, TaskWithoutIndexGetsOneInFirstPlace)
{
    Load(DocumentXml("<program><name>A</name><tasks><task note=\"x\"><type>Wait</type>"
                     "<value>1</value><enabled>True</enabled></task></tasks></program>"));
    Rows("A");
    pugi::xml_node task = document->Dom().select_node("//program[name='A']/tasks/task").node();
    EXPECT_STREQ(task.first_attribute().name(), "index");
    EXPECT_STREQ(task.first_attribute().value(), "1");
    EXPECT_STREQ(task.attribute("note").value(), "x");
}

TEST_F(ListingTest, ProgramSelectorLeavesOutTheTemplateAndNamelessPrograms)
{
    Load(DocumentXml(ProgramXml("B", {}) + ProgramXml("Kestrun Template", {}) + "<program><tasks/></program>" +
                     ProgramXml("A", {})));
    EXPECT_EQ(document->ProgramNames(), (Lines{"B", "A"}));

    Load(DocumentXml(""));
    EXPECT_TRUE(document->ProgramNames().empty());
}

TEST_F(ListingTest, UnknownOrEmptyProgramListsNothing)
{
    Load(DocumentXml(ProgramXml("A", {})));
    EXPECT_TRUE(Rows("A").empty());
    EXPECT_TRUE(Rows("nobody").empty());
    EXPECT_TRUE(Rows("").empty());
    EXPECT_TRUE(reporter.Silent());
}

TEST_F(ListingTest, ProgramsOfTheSameNameListTogetherInOneSequence)
{
    Load(DocumentXml(ProgramXml("Twin", {{"Wait", "1", "True", "1"}}) + ProgramXml("Other", {{"Wait", "9"}}) +
                     ProgramXml("Twin", {{"Wait", "2", "True", "1"}})));
    EXPECT_EQ(document->ProgramNames(), (Lines{"Twin", "Other", "Twin"}));
    EXPECT_EQ(Rows("Twin"), (Lines{"Wait|1 seconds|True", "Wait|2 seconds|True"}));
    EXPECT_EQ(Indexes("Twin"), (Lines{"1", "2"}));
}

// A malformed task ends the listing with the "Corrupted" report; the rows
// read before it are still returned.
TEST_F(ListingTest, TaskMissingAFieldIsCorrupted)
{
    for (const char* missing : {"type", "value", "enabled"}) {
        SCOPED_TRACE(missing);
        std::string broken = TaskXml({"Wait", "2"});
        const std::string open = std::string("<") + missing + ">";
        const std::string close = std::string("</") + missing + ">";
        broken.erase(broken.find(open), broken.find(close) + close.size() - broken.find(open));
        reporter.reports.clear();
        Load(DocumentXml("<program><name>A</name><tasks>" + TaskXml({"Wait", "1"}) + broken + "</tasks></program>"));
        EXPECT_EQ(Rows("A"), Lines{"Wait|1 seconds|True"});
        auto report = OnlyReport();
        EXPECT_EQ(report.number, 91);
        EXPECT_EQ(report.text, "Error: 91\n[Kestrun.xml] File Error Corrupted");
    }
}

TEST_F(ListingTest, ProgramsMayStandAnywhereAndInSeveralContainers)
{
    Load("<root xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"x\">"
         "<a><programs>" + ProgramXml("First", {}) + "</programs></a>"
         "<programs>" + TemplateXml() + ProgramXml("Second", {{"Wait", "2"}}) + "</programs></root>");
    EXPECT_EQ(document->ProgramNames(), (Lines{"First", "Second"}));
    EXPECT_EQ(Rows("Second"), Lines{"Wait|2 seconds|True"});

    // New programs go to the first container in document order.
    document->AddProgram("Third");
    EXPECT_EQ(document->ProgramNames(), (Lines{"First", "Third", "Second"}));
    EXPECT_TRUE(reporter.Silent());
}

// Containers nested inside programs must give the same results as a search of
// the whole document, in document order, also after edits that add or remove them.
TEST_F(ListingTest, NestedContainersKeepDocumentOrder)
{
    const std::string inner = "<programs>" + ProgramXml("Inner", {{"Wait", "2"}}) + "</programs>";
    Load(DocumentXml("<program><name>Outer</name><tasks>" + TaskXml({"Wait", "1"}) + "</tasks>" + inner +
                     "</program>" + ProgramXml("Last", {})));
    EXPECT_EQ(document->ProgramNames(), (Lines{"Outer", "Inner", "Last"}));
    EXPECT_TRUE(document->PathsConsistent());

    document->DeleteProgram("Outer");
    EXPECT_EQ(document->ProgramNames(), Lines{"Last"});
    EXPECT_TRUE(document->PathsConsistent());
    EXPECT_TRUE(reporter.Silent());
}

}  // namespace
}  // namespace kestrun::test
