#include "tests/editor/EditorFixture.h"

#include <QGroupBox>
#include <QTest>

namespace kestrun::test {
namespace {

using TaskEditorTest = EditorFixture;

const std::vector<std::string> kMailRows = {"Open File|/usr/bin/mail|True", "Wait|10 seconds|False",
                                            "Keystrokes|hello~|True"};

TEST_F(TaskEditorTest, NewOpensWithOpenFileChosenAndTheFocusInItsField)
{
    frmAddTask& editor = OpenNew();
    EXPECT_EQ(editor.windowTitle(), "Kestrun");
    EXPECT_EQ(editor.parent(), nullptr);
    EXPECT_FALSE(editor.isModal());
    EXPECT_TRUE(Control<QRadioButton>("optFile").isChecked());
    EXPECT_TRUE(Control<QGroupBox>("fraFile").isVisible());
    EXPECT_FALSE(Control<QGroupBox>("fraWait").isVisible());
    EXPECT_FALSE(Control<QGroupBox>("fraKeystrokes").isVisible());
    for (const char* field : {"txtFile", "txtWait", "txtKeystrokes"})
        EXPECT_EQ(Text(field), "") << field;
    EXPECT_EQ(editor.focusWidget(), &Field("txtFile"));
    EXPECT_TRUE(Control<QPushButton>("cmdOK").isDefault());
}

TEST_F(TaskEditorTest, AddsATaskOfEachTypeEnabledAtTheEnd)
{
    const struct {
        const char* option;
        const char* field;
        std::string text;
        std::string row;
    } cases[] = {
        {"optFile", "txtFile", "/home/me/notes with spaces.txt", "Open File|/home/me/notes with spaces.txt|True"},
        {"optWait", "txtWait", "2", "Wait|2 seconds|True"},
        {"optWait", "txtWait", "1", "Wait|1 seconds|True"},
        {"optKeystrokes", "txtKeystrokes", " ^s{ENTER}  ", "Keystrokes| ^s{ENTER}  |True"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        host->Select("Empty");
        gDocumentDirty = false;
        OpenNew();
        Click(c.option);
        Field(c.field).setText(QString::fromStdString(c.text));
        Click("cmdOK");
        EXPECT_FALSE(EditorOpen());
        EXPECT_TRUE(Messages().empty());
        EXPECT_EQ(Rows("Empty").back(), c.row);
        EXPECT_TRUE(gDocumentDirty);
        EXPECT_FALSE(gEditingTask);
        EXPECT_EQ(host->refreshes, 1);
        EXPECT_EQ(host->rows.size(), Rows("Empty").size()) << "the list was not rebuilt";
    }
    EXPECT_EQ(Rows("Mail"), kMailRows);
}

TEST_F(TaskEditorTest, RefusesEmptyOrUselessFieldsAndStaysOpenUnchanged)
{
    const struct {
        const char* option;
        const char* field;
        std::string text;
        std::string message;
    } cases[] = {
        {"optFile", "txtFile", "", "No file specified."},
        {"optWait", "txtWait", "", "No time specified."},
        {"optWait", "txtWait", "0", "No time specified."},
        {"optWait", "txtWait", "000", "No time specified."},
        // pasted texts, which the key filter never sees
        {"optWait", "txtWait", "0.5", "No time specified."},
        {"optWait", "txtWait", "-3", "No time specified."},
        {"optWait", "txtWait", "soon", "No time specified."},
        {"optKeystrokes", "txtKeystrokes", "", "No keystrokes specified."},
        {"optKeystrokes", "txtKeystrokes", "abc{NOKEY}",
         "These keystrokes cannot be typed.\r\nCharacter 4: {NOKEY} is not a key name."},
        {"optKeystrokes", "txtKeystrokes", "^", "These keystrokes cannot be typed.\r\n"
                                                "Character 1: a modifier (+, ^ or %) has no key after it."},
    };
    for (bool editing : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.text + (editing ? " (edit)" : " (new)"));
            dialogs.shown.clear();
            gDocumentDirty = false;
            if (editing)
                OpenEdit(1);
            else
                OpenNew();
            Click(c.option);
            Field(c.field).setText(QString::fromStdString(c.text));
            Click("cmdOK");
            ASSERT_EQ(Messages(), std::vector<std::string>{c.message});
            EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::None);
            EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::Ok);
            EXPECT_EQ(dialogs.shown[0].title, "");
            EXPECT_TRUE(EditorOpen());
            EXPECT_EQ(Text(c.field), c.text);
            EXPECT_EQ(gEditingTask, editing);
            EXPECT_FALSE(gDocumentDirty);
            EXPECT_EQ(host->refreshes, 0);
            EXPECT_EQ(Rows("Mail"), kMailRows);
            Click("cmdCancel");
        }
    }
}

TEST_F(TaskEditorTest, APastedWaitIsStoredAsTypedForANewTaskAndAsItsNumberForAChangedOne)
{
    OpenNew();
    Click("optWait");
    Field("txtWait").setText("12 s");
    Click("cmdOK");
    EXPECT_EQ(Rows("Mail").back(), "Wait|12 s seconds|True");

    OpenEdit(2);
    Field("txtWait").setText("7 s");
    Click("cmdOK");
    EXPECT_EQ(Rows("Mail")[1], "Wait|7 seconds|False");
}

TEST_F(TaskEditorTest, EditPrefillsFromTheSelectedRow)
{
    const struct {
        int row;
        const char* option;
        const char* field;
        std::string text;
    } cases[] = {
        {1, "optFile", "txtFile", "/usr/bin/mail"},
        {2, "optWait", "txtWait", "10"},
        {3, "optKeystrokes", "txtKeystrokes", "hello~"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        frmAddTask& editor = OpenEdit(c.row);
        EXPECT_TRUE(gEditingTask);
        EXPECT_TRUE(Control<QRadioButton>(c.option).isChecked());
        EXPECT_EQ(Text(c.field), c.text);
        EXPECT_EQ(editor.focusWidget(), &Field(c.field));
        for (const char* other : {"txtFile", "txtWait", "txtKeystrokes"}) {
            if (std::string(other) != c.field) {
                EXPECT_EQ(Text(other), "") << other;
            }
        }
        Click("cmdCancel");
        EXPECT_FALSE(gEditingTask);
    }
}

TEST_F(TaskEditorTest, EditRewritesTheTaskKeepingItsEnabledState)
{
    OpenEdit(2);
    Field("txtWait").setText("30");
    Click("cmdOK");
    EXPECT_EQ(Rows("Mail")[1], "Wait|30 seconds|False");
    EXPECT_TRUE(gDocumentDirty);
    EXPECT_FALSE(gEditingTask);
    EXPECT_EQ(host->refreshes, 1);

    // Switching the type while editing writes the new type and field.
    OpenEdit(2);
    Click("optKeystrokes");
    EXPECT_FALSE(Control<QGroupBox>("fraWait").isVisible());
    EXPECT_EQ(Editor().focusWidget(), &Field("txtKeystrokes"));
    Field("txtKeystrokes").setText("%{F4}");
    Click("cmdOK");
    EXPECT_EQ(Rows("Mail"), (std::vector<std::string>{"Open File|/usr/bin/mail|True", "Keystrokes|%{F4}|False",
                                                      "Keystrokes|hello~|True"}));
}

TEST_F(TaskEditorTest, ATaskOfAnUnknownTypeChoosesNothingUntilTheUserDoes)
{
    Load(DocumentXml(ProgramXml("Odd", {{"wait", "5", "True", "1"}})));
    host = std::make_unique<FakeEditorHost>(*document);
    host->Select("Odd");
    launcher = std::make_unique<TaskEditorLauncher>(TaskEditorContext{*host, *document, dialogs, opener, folder.path()});

    OpenEdit(1);
    for (const char* option : {"optFile", "optWait", "optKeystrokes"})
        EXPECT_FALSE(Control<QRadioButton>(option).isChecked()) << option;
    for (const char* frame : {"fraFile", "fraWait", "fraKeystrokes"})
        EXPECT_FALSE(Control<QGroupBox>(frame).isVisible()) << frame;
    Click("cmdOK");
    EXPECT_EQ(Messages(), std::vector<std::string>{"No task type specified."});
    EXPECT_TRUE(EditorOpen());

    Click("optWait");
    Field("txtWait").setText("5");
    Click("cmdOK");
    EXPECT_EQ(Rows("Odd"), std::vector<std::string>{"Wait|5 seconds|True"});
}

TEST_F(TaskEditorTest, EnterPressesOkAndEscapePressesCancel)
{
    OpenNew();
    Click("optKeystrokes");
    QTest::keyClicks(&Field("txtKeystrokes"), "abc");
    QTest::keyClick(&Field("txtKeystrokes"), Qt::Key_Return);
    EXPECT_FALSE(EditorOpen());
    EXPECT_EQ(Rows("Mail").back(), "Keystrokes|abc|True");

    OpenEdit(1);
    QTest::keyClicks(&Field("txtFile"), "x");
    QTest::keyClick(&Field("txtFile"), Qt::Key_Escape);
    EXPECT_FALSE(EditorOpen());
    EXPECT_FALSE(gEditingTask);
    EXPECT_EQ(Rows("Mail")[0], "Open File|/usr/bin/mail|True");
}

TEST_F(TaskEditorTest, BrowseOffersProgramsFirstAndKeepsTheTextOnCancel)
{
    OpenNew();
    Field("txtFile").setText("/old/path");
    dialogs.files.push_back(std::nullopt);
    Click("cmdBrowse");
    EXPECT_EQ(Text("txtFile"), "/old/path");
    ASSERT_EQ(dialogs.lastFilters.size(), 2u);
    EXPECT_EQ(dialogs.lastFilters[0].label, "Applications");
    EXPECT_EQ(dialogs.lastFilters[0].patterns, std::vector<std::string>{"*.exe"});
    EXPECT_EQ(dialogs.lastFilters[1].label, "All Files");
    EXPECT_EQ(dialogs.shown.back().title, "");

    dialogs.files.push_back("/opt/tools/Setup.EXE");
    Click("cmdBrowse");
    EXPECT_EQ(Text("txtFile"), "/opt/tools/Setup.EXE");
    EXPECT_TRUE(EditorOpen());
}

TEST_F(TaskEditorTest, HelpOpensThePageBesideTheProgramOrSaysWhyNot)
{
    OpenNew();
    Click("optKeystrokes");
    Click("cmdKeyHelp");
    EXPECT_EQ(opener.opened, std::vector<std::string>{(folder / "KeystrokesHelp.htm").string()});
    EXPECT_TRUE(Messages().empty());

    opener.succeed = false;
    Click("cmdKeyHelp");
    ASSERT_EQ(Messages(), std::vector<std::string>{
                              "An Error has occurred trying to open the [KeystrokesHelp.htm] file.\r\n"
                              "Make sure this file is named correctly and in the same folder as [Kestrun.exe]"});
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(dialogs.shown[0].title, "");
    EXPECT_TRUE(EditorOpen());
}

}  // namespace
}  // namespace kestrun::test
