#include "tests/document/DocumentFixture.h"

namespace kestrun::test {
namespace {

using EditingTest = DocumentFixture;
using Lines = std::vector<std::string>;

std::string ThreeTasks()
{
    return DocumentXml(ProgramXml("A", {{"Wait", "1", "True", "1"},
                                        {"Wait", "2", "True", "2"},
                                        {"Wait", "3", "True", "3"}}));
}

TEST_F(EditingTest, NewProgramIsAnEmptyCopyOfTheTemplateAtTheEnd)
{
    Load(DocumentXml(ProgramXml("A", {{"Wait", "1"}})));
    document->AddProgram("B");
    EXPECT_EQ(document->ProgramNames(), (Lines{"A", "B"}));
    EXPECT_TRUE(Rows("B").empty());
    pugi::xml_node added = document->Dom().select_node("//programs/program[name='B']").node();
    EXPECT_TRUE(added.child("tasks"));
    EXPECT_FALSE(added.next_sibling());
}

TEST_F(EditingTest, TemplateWithTwoTasksGivesProgramsItsSecondTask)
{
    Load(DocumentXml(ProgramXml("Kestrun Template", {{"Open File", "", "True", "1"}, {"Wait", "3", "True", "2"}}),
                     false));
    document->AddProgram("B");
    EXPECT_EQ(Rows("B"), Lines{"Wait|3 seconds|True"});
}

TEST_F(EditingTest, DuplicateNamesReachOnlyTheFirstProgram)
{
    Load(DocumentXml(ProgramXml("Twin", {{"Wait", "1"}})));
    document->AddProgram("Twin");
    document->AddTask("Twin", "Wait", "2", true);
    EXPECT_EQ(Rows("Twin"), (Lines{"Wait|1 seconds|True", "Wait|2 seconds|True"}));

    document->RenameProgram("Twin", "Renamed");
    EXPECT_EQ(document->ProgramNames(), (Lines{"Renamed", "Twin"}));
    document->DeleteProgram("Twin");
    EXPECT_EQ(document->ProgramNames(), Lines{"Renamed"});
    EXPECT_EQ(Rows("Renamed"), (Lines{"Wait|1 seconds|True", "Wait|2 seconds|True"}));
    EXPECT_TRUE(reporter.Silent());
}

TEST_F(EditingTest, RenameKeepsTasksAndPlace)
{
    Load(DocumentXml(ProgramXml("A", {{"Wait", "1"}}) + ProgramXml("B", {})));
    document->RenameProgram("A", "Z");
    EXPECT_EQ(document->ProgramNames(), (Lines{"Z", "B"}));
    EXPECT_EQ(Rows("Z"), Lines{"Wait|1 seconds|True"});
}

// Names are data, never part of a path: quotes, brackets and path syntax in
// a name must reach exactly that program through every operation.
TEST_F(EditingTest, NamesWithPathSyntaxGoThroughEveryOperation)
{
    for (const std::string name : {"O'Brien's backup", "say \"hi\"", "it's \"both\"", "a] | //programs",
                                   "$name", "Kestrun Template'"}) {
        SCOPED_TRACE(name);
        Load(DocumentXml(ProgramXml("A", {})));
        document->AddProgram(name);
        EXPECT_EQ(document->ProgramNames(), (Lines{"A", name}));
        document->AddTask(name, "Wait", "4", true);
        document->AddTask(name, "Keystrokes", "x", true);
        EXPECT_EQ(Rows(name), (Lines{"Wait|4 seconds|True", "Keystrokes|x|True"}));
        document->UpdateTask(name, 1, "Wait", "6 seconds", false);
        document->MoveTask(name, 2, false);
        EXPECT_EQ(Rows(name), (Lines{"Keystrokes|x|True", "Wait|6 seconds|False"}));
        document->DeleteTask(name, 1);
        EXPECT_EQ(Rows(name), Lines{"Wait|6 seconds|False"});
        document->RenameProgram(name, name + " 2");
        EXPECT_EQ(Rows(name + " 2"), Lines{"Wait|6 seconds|False"});
        document->DeleteProgram(name + " 2");
        EXPECT_EQ(document->ProgramNames(), Lines{"A"});
        EXPECT_TRUE(Rows("A").empty());
        EXPECT_TRUE(reporter.Silent()) << reporter.reports[0].text;
    }
}

// What is stored is what a reload of the saved file will give back.
TEST_F(EditingTest, TextsAreStoredAsTheyWillReadBack)
{
    Load(DocumentXml(ProgramXml("A", {})));
    document->AddTask("A", "Keystrokes", "a\r\nb\rc", true);
    document->AddProgram(std::string("N\0UL", 4));
    document->AddProgram("bad \xFF byte");
    EXPECT_EQ(Rows("A"), Lines{"Keystrokes|a\nb\nc|True"});
    EXPECT_EQ(document->ProgramNames(), (Lines{"A", "NUL", "bad \xEF\xBF\xBD byte"}));

    // A name holding a NUL is no stored name, not even the part before it.
    EXPECT_TRUE(Rows(std::string("A\0B", 3)).empty());
    EXPECT_TRUE(reporter.Silent());
}

TEST_F(EditingTest, NewTaskKeepsTheTemplateIndexUntilListed)
{
    Load(DocumentXml(ProgramXml("A", {{"Wait", "1", "True", "1"}, {"Wait", "2", "True", "2"}})));
    document->AddTask("A", "Keystrokes", "k", false);
    EXPECT_EQ(Indexes("A"), (Lines{"1", "2", "1"}));
    EXPECT_EQ(Rows("A").back(), "Keystrokes|k|False");
    EXPECT_EQ(Indexes("A"), (Lines{"1", "2", "3"}));
}

// A "Wait" value is stored as given when added, and as the number at its start
// when updated: that is how the list's " seconds" form turns back into data.
TEST_F(EditingTest, WaitValuesAreStoredAsNumbersOnUpdate)
{
    Load(DocumentXml(ProgramXml("A", {})));
    document->AddTask("A", "Wait", "007", true);
    EXPECT_EQ(Rows("A"), Lines{"Wait|007 seconds|True"});

    const std::vector<std::pair<std::string, std::string>> updates = {
        {"007", "7 seconds"}, {"5 seconds", "5 seconds"}, {"2.5 seconds", "2.5 seconds"},
        {"soon", "0 seconds"}, {"-3", "-3 seconds"}};
    for (const auto& [given, shown] : updates) {
        document->UpdateTask("A", 1, "Wait", given, true);
        EXPECT_EQ(Rows("A"), Lines{"Wait|" + shown + "|True"}) << given;
    }

    // Toggling a row writes back the row's own texts.
    const TaskRow row = document->FillTaskList("A")[0];
    document->UpdateTask("A", 1, row.type, row.value, row.enabled != "True");
    EXPECT_EQ(Rows("A"), Lines{"Wait|-3 seconds|False"});

    // Other types keep the value verbatim.
    document->UpdateTask("A", 1, "Keystrokes", "007 seconds", true);
    EXPECT_EQ(Rows("A"), Lines{"Keystrokes|007 seconds|True"});
}

TEST_F(EditingTest, DeletingLeavesAGapUntilTheNextListing)
{
    Load(ThreeTasks());
    Rows("A");
    document->DeleteTask("A", 2);
    EXPECT_EQ(Indexes("A"), (Lines{"1", "3"}));
    EXPECT_EQ(Rows("A"), (Lines{"Wait|1 seconds|True", "Wait|3 seconds|True"}));
    document->DeleteTask("A", 2);
    EXPECT_EQ(Rows("A"), Lines{"Wait|1 seconds|True"});
}

TEST_F(EditingTest, MovingSwapsOnlyTheTaskAndItsNeighbour)
{
    Load(DocumentXml(ProgramXml("A", {{"Wait", "1", "True", "1"}, {"Wait", "2", "True", "2"},
                                      {"Wait", "3", "True", "3"}, {"Wait", "4", "True", "4"}})));
    document->MoveTask("A", 3, true);
    EXPECT_EQ(Rows("A"), (Lines{"Wait|1 seconds|True", "Wait|2 seconds|True", "Wait|4 seconds|True",
                                "Wait|3 seconds|True"}));
    document->MoveTask("A", 2, false);
    EXPECT_EQ(Rows("A"), (Lines{"Wait|2 seconds|True", "Wait|1 seconds|True", "Wait|4 seconds|True",
                                "Wait|3 seconds|True"}));
    document->MoveTask("A", 2, true);
    EXPECT_EQ(Rows("A"), (Lines{"Wait|2 seconds|True", "Wait|4 seconds|True", "Wait|1 seconds|True",
                                "Wait|3 seconds|True"}));
    EXPECT_TRUE(reporter.Silent());
}

TEST_F(EditingTest, MovingStepsOverCommentsAndNeverPastTheEnds)
{
    Load(DocumentXml("<program><name>A</name><tasks>" + TaskXml({"Wait", "1", "True", "1"}) + "<!-- c -->" +
                     TaskXml({"Wait", "2", "True", "2"}) + "</tasks></program>"));
    document->MoveTask("A", 2, false);
    EXPECT_EQ(Rows("A"), (Lines{"Wait|2 seconds|True", "Wait|1 seconds|True"}));
    document->MoveTask("A", 1, false);
    document->MoveTask("A", 2, true);
    EXPECT_EQ(Rows("A"), (Lines{"Wait|2 seconds|True", "Wait|1 seconds|True"}));
    EXPECT_TRUE(reporter.Silent());
}

TEST_F(EditingTest, EditsDoNotMarkTheDocumentDirty)
{
    Load(ThreeTasks());
    document->AddProgram("B");
    document->AddTask("B", "Wait", "1", true);
    document->MoveTask("A", 1, true);
    EXPECT_FALSE(gDocumentDirty);
}

// Operations on something that is not there end with the "Corrupted" report
// and leave the document as it was.
TEST_F(EditingTest, MissingTargetsAreCorruptedAndChangeNothing)
{
    const std::vector<std::pair<std::string, std::function<void(TaskDocument&)>>> cases = {
        {"rename unknown", [](TaskDocument& d) { d.RenameProgram("nobody", "x"); }},
        {"delete unknown", [](TaskDocument& d) { d.DeleteProgram("nobody"); }},
        {"add task to unknown", [](TaskDocument& d) { d.AddTask("nobody", "Wait", "1", true); }},
        {"update unknown row", [](TaskDocument& d) { d.UpdateTask("A", 4, "Wait", "1", true); }},
        {"delete unknown row", [](TaskDocument& d) { d.DeleteTask("A", 0); }},
        {"move unknown row", [](TaskDocument& d) { d.MoveTask("A", -1, true); }},
    };
    for (const auto& [label, operation] : cases) {
        SCOPED_TRACE(label);
        reporter.reports.clear();
        Load(ThreeTasks());
        const std::string before = document->Serialize();
        operation(*document);
        auto report = OnlyReport();
        EXPECT_EQ(report.text, "Error: 91\n[Kestrun.xml] File Error Corrupted");
        EXPECT_EQ(document->Serialize(), before);
    }
}

TEST_F(EditingTest, IncompleteTemplateIsCorruptedAndChangesNothing)
{
    const std::vector<std::pair<std::string, std::string>> templates = {
        {"no template", ""},
        {"template without tasks", ProgramXml("Kestrun Template", {})},
        {"template task without value",
         "<program><name>Kestrun Template</name><tasks><task index=\"1\"><type>Wait</type>"
         "<enabled>True</enabled></task></tasks></program>"},
    };
    for (const auto& [label, templateXml] : templates) {
        SCOPED_TRACE(label);
        reporter.reports.clear();
        Load(DocumentXml(templateXml + ProgramXml("A", {}), false));
        const std::string before = document->Serialize();
        document->AddTask("A", "Wait", "1", true);
        if (label != "template task without value")
            document->AddProgram("B");
        for (const auto& report : reporter.reports)
            EXPECT_EQ(report.number, 91);
        EXPECT_FALSE(reporter.reports.empty());
        EXPECT_EQ(document->Serialize(), before);
    }
}

TEST_F(EditingTest, DocumentWithoutProgramsContainerCannotTakePrograms)
{
    Load("<root xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"x\"/>");
    EXPECT_TRUE(document->ProgramNames().empty());
    EXPECT_TRUE(reporter.Silent());
    document->AddProgram("B");
    EXPECT_EQ(OnlyReport().number, 91);
}

}  // namespace
}  // namespace kestrun::test
