#include "tests/document/DocumentFixture.h"

namespace kestrun::test {
namespace {

using ListingTest = DocumentFixture;

// Rows show the stored texts, " seconds" after a "Wait" value only; the
// listing renumbers the tasks' indexes to the row numbers, giving a task
// without one an index in first place, and leaves the dirty flag alone.
TEST_F(ListingTest, RowsShowTheStoredTextsAndNumberTheTasks)
{
    Load(DocumentXml(Program("A", Task("Wait", "5", "True", "7") + Task("wait", "5", "True", "3") +
                                      Task("Keystrokes", "9 seconds", "False", "9") +
                                      "<task note=\"x\"><type>Open File</type><value>/bin/true</value>"
                                      "<enabled>false</enabled></task>") +
                     Program("Empty")));
    EXPECT_EQ(Rows("A"), (Lines{"Wait|5 seconds|True", "wait|5|True", "Keystrokes|9 seconds|False",
                                "Open File|/bin/true|false"}));
    EXPECT_EQ(Indexes("A"), (Lines{"1", "2", "3", "4"}));
    const pugi::xml_node noted = document->Dom().select_node("//task[@note]").node();
    EXPECT_STREQ(noted.first_attribute().name(), "index");
    EXPECT_STREQ(noted.attribute("note").value(), "x");
    EXPECT_FALSE(gDocumentDirty);
    for (const std::string nothing : {"Empty", "nobody", ""})
        EXPECT_TRUE(Rows(nothing).empty()) << nothing;
    EXPECT_TRUE(reporter.Silent());
}

TEST_F(ListingTest, ProgramSelectorLeavesOutTheTemplateAndNamelessPrograms)
{
    Load(DocumentXml(Program("B") + Program("Kestrun Template") + "<program><tasks/></program>" + Program("A")));
    EXPECT_EQ(document->ProgramNames(), (Lines{"B", "A"}));
    Load(DocumentXml(""));
    EXPECT_TRUE(document->ProgramNames().empty());
}

// Programs may stand in several containers, even inside other programs; they
// are found in document order, before and after edits, and new programs go to
// the first container.
TEST_F(ListingTest, ProgramsMayStandInSeveralContainersAndKeepDocumentOrder)
{
    Load("<root xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"x\">"
         "<a><programs>" + Program("First") + "</programs></a><programs>" + kTemplate +
         Program("Second", Task("Wait", "2")) + "</programs></root>");
    EXPECT_EQ(document->ProgramNames(), (Lines{"First", "Second"}));
    EXPECT_EQ(Rows("Second"), Lines{"Wait|2 seconds|True"});
    document->AddProgram("Third");
    EXPECT_EQ(document->ProgramNames(), (Lines{"First", "Third", "Second"}));

    Load(DocumentXml("<program><name>Outer</name><tasks>" + Task("Wait", "1") + "</tasks><programs>" +
                     Program("Inner", Task("Wait", "2")) + "</programs></program>" + Program("Last")));
    EXPECT_EQ(document->ProgramNames(), (Lines{"Outer", "Inner", "Last"}));
    EXPECT_TRUE(document->PathsConsistent());
    document->DeleteProgram("Outer");
    EXPECT_EQ(document->ProgramNames(), Lines{"Last"});
    EXPECT_TRUE(document->PathsConsistent());
    EXPECT_TRUE(reporter.Silent());
}

}  // namespace
}  // namespace kestrun::test
