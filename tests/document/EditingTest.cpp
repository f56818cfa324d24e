#include "tests/document/DocumentFixture.h"

#include <functional>

namespace kestrun::test {
namespace {

using EditingTest = DocumentFixture;
using ListingTest = DocumentFixture;

const std::string kThreeTasks =
    DocumentXml(Program("A", Task("Wait", "1", "True", "1") + Task("Wait", "2", "True", "2") + Task("Wait", "3", "True", "3")));

TEST_F(EditingTest, NewProgramCopiesTheTemplateBarItsFirstTaskToTheEnd)
{
    Load(DocumentXml(Program("A", Task("Wait", "1"))));
    document->AddProgram("B");
    EXPECT_EQ(document->ProgramNames(), (Lines{"A", "B"}));
    EXPECT_TRUE(Rows("B").empty());
    EXPECT_TRUE(document->Dom().select_node("//program[name='B']").node().child("tasks"));

    Load(DocumentXml(Program("Kestrun Template", Task("Open File", "") + Task("Wait", "3", "True", "2")), false));
    document->AddProgram("B");
    EXPECT_EQ(Rows("B"), Lines{"Wait|3 seconds|True"});
}

// The listing shows the tasks of every program of a name; renaming, deleting
// and adding tasks reach the first only, and a rename keeps its place. The
// selector leaves out the template and nameless programs.
TEST_F(EditingTest, ProgramsOfOneNameListTogetherAndEditsReachTheFirst)
{
    Load(DocumentXml(Program("Twin", Task("Wait", "1")) + "<program><tasks/></program>" + Program("Other") +
                     Program("Twin", Task("Wait", "2"))));
    EXPECT_EQ(Rows("Twin"), (Lines{"Wait|1 seconds|True", "Wait|2 seconds|True"}));
    document->AddProgram("Twin");
    document->AddTask("Twin", "Wait", "3", true);
    EXPECT_EQ(Rows("Twin"), (Lines{"Wait|1 seconds|True", "Wait|3 seconds|True", "Wait|2 seconds|True"}));
    document->RenameProgram("Twin", "Renamed");
    EXPECT_EQ(document->ProgramNames(), (Lines{"Renamed", "Other", "Twin", "Twin"}));
    EXPECT_EQ(Rows("Renamed"), (Lines{"Wait|1 seconds|True", "Wait|3 seconds|True"}));
    document->DeleteProgram("Twin");
    EXPECT_EQ(document->ProgramNames(), (Lines{"Renamed", "Other", "Twin"}));
    EXPECT_TRUE(Rows("Twin").empty());
    EXPECT_TRUE(reporter.Silent());
}

TEST_F(EditingTest, NamesWithPathSyntaxGoThroughEveryOperation)
{
    for (const std::string name : {"it's \"both\"", "a] | //programs", "$name"}) {
        SCOPED_TRACE(name);
        Load(DocumentXml(Program("A")));
        document->AddProgram(name);
        EXPECT_EQ(document->ProgramNames(), (Lines{"A", name}));
        document->AddTask(name, "Wait", "4", true);
        document->AddTask(name, "Keystrokes", "x", true);
        EXPECT_EQ(Rows(name), (Lines{"Wait|4 seconds|True", "Keystrokes|x|True"}));
        document->UpdateTask(name, 1, "Wait", "6 seconds", false);
        document->MoveTask(name, 2, false);
        EXPECT_EQ(Rows(name), (Lines{"Keystrokes|x|True", "Wait|6 seconds|False"}));
        document->DeleteTask(name, 1);
        document->RenameProgram(name, name + " 2");
        EXPECT_EQ(Rows(name + " 2"), Lines{"Wait|6 seconds|False"});
        document->DeleteProgram(name + " 2");
        EXPECT_EQ(document->ProgramNames(), Lines{"A"});
        EXPECT_TRUE(reporter.Silent()) << reporter.reports[0].text;
    }
}

// A "Wait" value is stored as given when added, and as the number at its start
// when updated: that is how the list's " seconds" form turns back into data.
TEST_F(EditingTest, WaitValuesAreStoredAsNumbersOnUpdate)
{
    Load(DocumentXml(Program("A")));
    document->AddTask("A", "Wait", "007", true);
    EXPECT_EQ(Rows("A"), Lines{"Wait|007 seconds|True"});
    for (const auto& [given, shown] : std::vector<std::pair<std::string, std::string>>{
             {"007", "7"}, {"2.5 seconds", "2.5"}, {"-0", "0"}, {"1e300", "1E+300"}, {"1e999", "1E999"},
             {"123456789012", "123456789012"}, {"soon", "0"}, {"-3", "-3"}}) {
        document->UpdateTask("A", 1, "Wait", given, true);
        EXPECT_EQ(Rows("A"), Lines{"Wait|" + shown + " seconds|True"}) << given;
    }
    document->UpdateTask("A", 1, "Wait", "-3 seconds", false);  // a toggled row writes back its own texts
    EXPECT_EQ(Rows("A"), Lines{"Wait|-3 seconds|False"});
    document->UpdateTask("A", 1, "Keystrokes", "007 seconds", true);
    EXPECT_EQ(Rows("A"), Lines{"Keystrokes|007 seconds|True"});
}

// Tasks are addressed by the numbers of the last listing: a new task keeps the
// template's index and a deletion leaves a gap until the list is filled again.
TEST_F(EditingTest, TasksAreAddressedByTheNumbersOfTheLastListing)
{
    Load(kThreeTasks);
    document->DeleteTask("A", 2);
    document->AddTask("A", "Keystrokes", "k", false);
    EXPECT_EQ(Indexes(), (Lines{"1", "1", "3", "1"})) << "the template's, then A's";
    EXPECT_EQ(Rows("A"), (Lines{"Wait|1 seconds|True", "Wait|3 seconds|True", "Keystrokes|k|False"}));
    document->DeleteTask("A", 2);
    EXPECT_EQ(Rows("A"), (Lines{"Wait|1 seconds|True", "Keystrokes|k|False"}));
    EXPECT_TRUE(reporter.Silent());
}

// A move never passes the ends; edits leave the dirty flag to their callers.
TEST_F(EditingTest, MovingSwapsATaskWithItsNeighbourOnly)
{
    Load(DocumentXml(Program("A", Task("Wait", "1", "True", "1") + "<!-- c -->" + Task("Wait", "2", "True", "2") +
                                      Task("Wait", "3", "True", "3") + Task("Wait", "4", "True", "4"))));
    const auto order = [&] {
        std::string digits;
        for (const std::string& row : Rows("A"))
            digits += row[5];
        return digits;
    };
    const std::vector<std::tuple<int, bool, std::string>> moves = {
        {3, true, "1243"}, {2, false, "2143"}, {2, true, "2413"}, {4, false, "2431"}, {1, false, "2431"}, {4, true, "2431"}};
    for (const auto& [row, down, after] : moves) {
        document->MoveTask("A", row, down);
        EXPECT_EQ(order(), after) << row << (down ? " down" : " up");
    }
    EXPECT_TRUE(reporter.Silent() && document->Dirty());
}

// Whatever an operation needs and does not find ends in the "Corrupted" report and changes nothing,
// the unsaved-changes flag included.
TEST_F(EditingTest, MissingNodesAreCorruptedAndChangeNothing)
{
    const auto list = [](TaskDocument& d) { EXPECT_EQ(RowsOf(d, "A"), Lines{"Wait|1 seconds|True"}); };
    const auto addTask = [](TaskDocument& d) { d.AddTask("A", "Wait", "1", true); };
    const auto addProgram = [](TaskDocument& d) { d.AddProgram("B"); };
    const std::vector<std::tuple<std::string, std::string, std::function<void(TaskDocument&)>>> cases = {
        {"task without type",
         DocumentXml(Program("A", Task("Wait", "1") + "<task><value>2</value><enabled>True</enabled></task>")), list},
        {"task without enabled",
         DocumentXml(Program("A", Task("Wait", "1") + "<task><type>Wait</type><value>2</value></task>")), list},
        {"rename unknown", kThreeTasks, [](TaskDocument& d) { d.RenameProgram("nobody", "x"); }},
        {"add task to unknown", kThreeTasks, [](TaskDocument& d) { d.AddTask("nobody", "Wait", "1", true); }},
        {"update row 4 of 3", kThreeTasks, [](TaskDocument& d) { d.UpdateTask("A", 4, "Wait", "1", true); }},
        {"delete row 0", kThreeTasks, [](TaskDocument& d) { d.DeleteTask("A", 0); }},
        {"move row -1", kThreeTasks, [](TaskDocument& d) { d.MoveTask("A", -1, true); }},
        {"task without template", DocumentXml(Program("A"), false), addTask},
        {"program without template", DocumentXml(Program("A"), false), addProgram},
        {"task from template without tasks", DocumentXml(Program("Kestrun Template") + Program("A"), false), addTask},
        {"task from template task without value",
         DocumentXml("<program><name>Kestrun Template</name><tasks><task index=\"1\"><type>Wait</type>"
                     "<enabled>True</enabled></task></tasks></program>" + Program("A"), false), addTask},
        {"program without container", "<root xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                                      "xsi:noNamespaceSchemaLocation=\"x\"/>", addProgram},
    };
    for (const auto& [label, xml, operation] : cases) {
        SCOPED_TRACE(label);
        Load(xml);
        const std::string before = document->Serialize();
        operation(*document);
        EXPECT_EQ(OnlyReport(), "Error: 91\n[Kestrun.xml] File Error Corrupted");
        EXPECT_EQ(document->Serialize(), before);
        EXPECT_FALSE(document->Dirty()) << "nothing changed, nothing to save";
    }
}

// " seconds" after a "Wait" value only; the listing renumbers the indexes to the row numbers,
// giving a task without one an index in first place, and leaves the dirty flag alone.
TEST_F(ListingTest, RowsShowTheStoredTextsAndNumberTheTasks)
{
    Load(DocumentXml(Program("A", Task("Wait", "5", "True", "7") + Task("wait", "5", "True", "3") +
                                      Task("Keystrokes", "9 seconds", "False", "9") +
                                      "<task note=\"x\"><type>Open File</type><value>/bin/true</value>"
                                      "<enabled>false</enabled></task>") +
                     Program("Empty")));
    EXPECT_EQ(Rows("A"), (Lines{"Wait|5 seconds|True", "wait|5|True", "Keystrokes|9 seconds|False",
                                "Open File|/bin/true|false"}));
    EXPECT_EQ(Indexes(), (Lines{"1", "1", "2", "3", "4"}));
    EXPECT_NE(document->Serialize().find("<task index=\"4\" note=\"x\">"), std::string::npos);
    EXPECT_FALSE(document->Dirty());
    for (const std::string nothing : {"Empty", "nobody", ""})
        EXPECT_TRUE(Rows(nothing).empty()) << nothing;
    EXPECT_TRUE(reporter.Silent());
}

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
