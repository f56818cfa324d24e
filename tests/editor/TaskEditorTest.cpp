// The task editor as Tasks "New..." and "Edit..." open it over the main window.
#include "editor/MValidation.h"
#include "tests/app/MainWindowFixture.h"

#include <QClipboard>
#include <QGroupBox>
#include <QRadioButton>
#include <QScreen>

namespace kestrun::test {
namespace {

using Rows = std::vector<std::string>;

const Rows kThreeRows = {"Open File|/usr/bin/xterm|True", "Wait|5 seconds|False", "Keystrokes|ls~|True"};

class TaskEditor : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        Load({kThreeTasks, {"Empty", {}}});
        Show();
    }

    void OpenNew() { w().cmdAddTask->click(); }
    void OpenEdit(int row)
    {
        PressRow(row);
        w().cmdEditTask->click();
    }
    bool Open() const { return window->TaskEditor() != nullptr; }
    bool Checked(const char* option) { return In<QRadioButton>(option).isChecked(); }
    bool Shown(const char* frame) { return In<QGroupBox>(frame).isVisible(); }
    void Enter(const char* option, const char* field, const std::string& text)
    {
        Click(option);
        Field(field).setText(QString::fromStdString(text));
    }
};

TEST_F(TaskEditor, NewAddsTheTaskEnabledAtTheEndOfTheSelectedProgram)
{
    const struct {
        const char *option, *field;
        std::string text, row;
    } cases[] = {
        {"optFile", "txtFile", "/home/me/notes with spaces.txt", "Open File|/home/me/notes with spaces.txt|True"},
        {"optWait", "txtWait", "2", "Wait|2 seconds|True"},
        {"optWait", "txtWait", "1", "Wait|1 seconds|True"},
        {"optWait", "txtWait", "12 s", "Wait|12 s seconds|True"},  // pasted, stored as typed
        {"optKeystrokes", "txtKeystrokes", " ^s{ENTER}  ", "Keystrokes| ^s{ENTER}  |True"},
    };
    w().cboPrograms->setCurrentIndex(1);
    Rows expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        gDocumentDirty = false;
        OpenNew();
        Enter(c.option, c.field, c.text);
        Click("cmdOK");
        expected.push_back(c.row);
        EXPECT_FALSE(Open());
        EXPECT_TRUE(Messages().empty());
        EXPECT_EQ(Stored("Empty"), expected);
        EXPECT_EQ(Listed(), expected);
        EXPECT_EQ(EnabledButtons(), "edit delete addTask") << "the list is rebuilt with no row chosen";
        EXPECT_TRUE(gDocumentDirty);
    }
    EXPECT_EQ(Stored("Three"), kThreeRows);
}

TEST_F(TaskEditor, RefusesEmptyOrUselessFieldsAndStaysOpenUnchanged)
{
    const struct {
        const char *option, *field;
        std::string text, message;
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
        {"optKeystrokes", "txtKeystrokes", "^",
         "These keystrokes cannot be typed.\r\nCharacter 1: a modifier (+, ^ or %) has no key after it."},
    };
    for (const bool editing : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.text + (editing ? " (edit)" : " (new)"));
            dialogs.shown.clear();
            editing ? OpenEdit(1) : OpenNew();
            Enter(c.option, c.field, c.text);
            Click("cmdOK");
            ASSERT_EQ(Messages(), Rows{c.message});
            EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::None);
            EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::Ok);
            EXPECT_EQ(dialogs.shown[0].title, "");
            ASSERT_TRUE(Open());
            EXPECT_EQ(Text(c.field), c.text);
            EXPECT_EQ(gEditingTask, editing);
            EXPECT_FALSE(gDocumentDirty);
            EXPECT_EQ(Stored("Three"), kThreeRows);
            Click("cmdCancel");
        }
    }
}

// Edit opens on the row's type and value; New (row 0), even after a cancelled
// edit with its row still chosen, empty on Open File.
TEST_F(TaskEditor, OpensModelessOnTheTypeAndFieldOfTheTask)
{
    const struct {
        int row;
        const char *option, *field, *text;
    } cases[] = {
        {1, "optFile", "txtFile", "/usr/bin/xterm"},
        {2, "optWait", "txtWait", "5"},
        {3, "optKeystrokes", "txtKeystrokes", "ls~"},
        {0, "optFile", "txtFile", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        c.row ? OpenEdit(c.row) : OpenNew();
        const QWidget& editor = *w().TaskEditor();
        EXPECT_EQ(editor.windowTitle(), "Kestrun");
        EXPECT_FALSE(editor.isModal());
        EXPECT_EQ(gEditingTask, c.row != 0);
        EXPECT_TRUE(Checked(c.option));
        const std::string frame = std::string("fra") + (c.field + 3);
        for (const char* other : {"fraFile", "fraWait", "fraKeystrokes"})
            EXPECT_EQ(Shown(other), frame == other) << other;
        EXPECT_EQ(Text("txtFile") + Text("txtWait") + Text("txtKeystrokes"), c.text);
        EXPECT_EQ(editor.focusWidget(), &Field(c.field));
        EXPECT_TRUE(In<QPushButton>("cmdOK").isDefault());
        Click("cmdCancel");
        EXPECT_FALSE(gEditingTask);
    }
}

TEST_F(TaskEditor, EditRewritesTheRowKeepingItsEnabledState)
{
    OpenEdit(2);
    Field("txtWait").setText("7 s");  // pasted: its number is kept
    Click("cmdOK");
    EXPECT_EQ(Stored("Three")[1], "Wait|7 seconds|False");
    EXPECT_EQ(Listed()[1], "Wait|7 seconds|False");
    EXPECT_TRUE(gDocumentDirty);
    EXPECT_FALSE(gEditingTask);

    OpenEdit(2);
    Click("optKeystrokes");
    EXPECT_FALSE(Shown("fraWait"));
    EXPECT_EQ(w().TaskEditor()->focusWidget(), &Field("txtKeystrokes"));
    Field("txtKeystrokes").setText("%{F4}");
    Click("cmdOK");
    EXPECT_EQ(Stored("Three"), (Rows{kThreeRows[0], "Keystrokes|%{F4}|False", kThreeRows[2]}));
}

TEST_F(TaskEditor, ATaskOfAnUnknownTypeChoosesNothingUntilTheUserDoes)
{
    window.reset();
    Load({{"Odd", {{"wait", "5", "True"}}}});
    Show();
    OpenEdit(1);
    EXPECT_FALSE(Checked("optFile") || Checked("optWait") || Checked("optKeystrokes"));
    EXPECT_FALSE(Shown("fraFile") || Shown("fraWait") || Shown("fraKeystrokes"));
    Click("cmdOK");
    EXPECT_EQ(Messages(), Rows{"No task type specified."});
    EXPECT_TRUE(Open());
    Enter("optWait", "txtWait", "5");
    Click("cmdOK");
    EXPECT_EQ(Stored("Odd"), Rows{"Wait|5 seconds|True"});
}

TEST_F(TaskEditor, EnterPressesOkAndEscapeAndTheCloseBoxCancel)
{
    OpenNew();
    Click("optKeystrokes");
    QTest::keyClicks(&Field("txtKeystrokes"), "abc");
    QTest::keyClick(&Field("txtKeystrokes"), Qt::Key_Return);
    EXPECT_FALSE(Open());
    EXPECT_EQ(Stored("Three").back(), "Keystrokes|abc|True");

    for (const bool closeBox : {false, true}) {
        gDocumentDirty = false;
        OpenEdit(1);
        QTest::keyClicks(&Field("txtFile"), "x");
        if (closeBox)
            w().TaskEditor()->close();
        else
            QTest::keyClick(&Field("txtFile"), Qt::Key_Escape);
        EXPECT_FALSE(Open());
        EXPECT_FALSE(gEditingTask);
        EXPECT_FALSE(gDocumentDirty);
        EXPECT_EQ(Stored("Three")[0], kThreeRows[0]);
    }
}

TEST_F(TaskEditor, ASecondNewOrEditOnlyBringsTheOpenEditorForward)
{
    OpenNew();
    QWidget* first = w().TaskEditor();
    Field("txtFile").setText("/typed/so/far");
    OpenNew();
    EXPECT_EQ(w().TaskEditor(), first);
    EXPECT_EQ(Text("txtFile"), "/typed/so/far");

    // Edit while open: edit mode from now on, the fields kept, the chosen row
    // rewritten with them on OK.
    OpenEdit(2);
    EXPECT_EQ(w().TaskEditor(), first);
    EXPECT_TRUE(gEditingTask);
    EXPECT_EQ(Text("txtFile"), "/typed/so/far");
    EXPECT_EQ(Text("txtWait"), "");
    Click("cmdOK");
    EXPECT_EQ(Stored("Three"), (Rows{kThreeRows[0], "Open File|/typed/so/far|False", kThreeRows[2]}));
}

TEST_F(TaskEditor, OkActsOnTheMainWindowsSelectionAtThatMoment)
{
    OpenNew();
    Field("txtFile").setText("/bin/true");
    w().cboPrograms->setCurrentIndex(1);
    Click("cmdOK");
    EXPECT_EQ(Stored("Empty"), Rows{"Open File|/bin/true|True"});
    EXPECT_EQ(Stored("Three"), kThreeRows);

    w().cboPrograms->setCurrentIndex(0);
    OpenEdit(1);
    PressRow(3);
    Field("txtFile").setText("/bin/false");
    Click("cmdOK");
    EXPECT_EQ(Stored("Three"), (Rows{kThreeRows[0], kThreeRows[1], "Open File|/bin/false|True"}));
}

TEST_F(TaskEditor, OkWithNothingChosenInTheMainWindowSaysSoAndChangesNothing)
{
    const struct {
        bool editing, programGone;
        std::string message;
    } cases[] = {
        {false, true, "Please select a program."},
        {true, true, "Please select a program."},
        {true, false, "Please select a task."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        dialogs.shown.clear();
        w().cboPrograms->setCurrentIndex(1);
        w().cboPrograms->setCurrentIndex(0);
        c.editing ? OpenEdit(1) : OpenNew();
        Field("txtFile").setText("/bin/true");
        if (c.programGone)
            TypeProgram("Nowhere");
        else
            PressRow(0);
        Click("cmdOK");
        EXPECT_EQ(Messages(), Rows{c.message});
        EXPECT_TRUE(Open());
        EXPECT_EQ(gEditingTask, c.editing);
        EXPECT_FALSE(gDocumentDirty);
        EXPECT_EQ(Stored("Three"), kThreeRows);
        Click("cmdCancel");
    }
}

TEST_F(TaskEditor, BrowseOffersApplicationsFirstAndHelpOpensThePageOrSaysWhyNot)
{
    OpenNew();
    Field("txtFile").setText("/old/path");
    dialogs.files = {std::nullopt, "/opt/tools/Setup.EXE"};
    Click("cmdBrowse");
    EXPECT_EQ(Text("txtFile"), "/old/path") << "cancelled";
    ASSERT_EQ(dialogs.lastFilters.size(), 2u);
    EXPECT_EQ(dialogs.lastFilters[0].label, "Applications");
    EXPECT_EQ(dialogs.lastFilters[0].patterns, Rows{"*.exe"});
    EXPECT_EQ(dialogs.lastFilters[1].label, "All Files");
    EXPECT_EQ(dialogs.shown.back().title, "");
    Click("cmdBrowse");
    EXPECT_EQ(Text("txtFile"), "/opt/tools/Setup.EXE");

    const std::string page = (folder / "KeystrokesHelp.htm").string();
    Click("optKeystrokes");
    Click("cmdKeyHelp");
    services.unopenable = {page};
    Click("cmdKeyHelp");
    EXPECT_EQ(services.log, (Rows{"open " + page, "open " + page}));
    ASSERT_EQ(Messages(), Rows{"An Error has occurred trying to open the [KeystrokesHelp.htm] file.\r\n"
                               "Make sure this file is named correctly and in the same folder as [Kestrun.exe]"});
    EXPECT_EQ(dialogs.shown.back().icon, MessageIcon::Critical);
    EXPECT_TRUE(Open());
}

TEST_F(TaskEditor, ThePositionIsKeptAcrossOpeningsAndAQuitClosesTheEditorUnwritten)
{
    OpenNew();
    const QPoint origin = w().TaskEditor()->screen()->geometry().topLeft();
    w().TaskEditor()->move(origin + QPoint(40, 20));
    Click("cmdCancel");
    EXPECT_EQ(settings.GetSetting("Position", "frmAddTask Left"), "600");
    EXPECT_EQ(settings.GetSetting("Position", "frmAddTask Top"), "300");
    OpenEdit(3);
    EXPECT_EQ(w().TaskEditor()->pos() - origin, QPoint(40, 20));

    Field("txtKeystrokes").setText("never stored");
    dialogs.answers = {MessageAnswer::No};
    w().close();  // answered No: both windows stay
    ASSERT_TRUE(Open());
    w().cmdExit->click();
    EXPECT_FALSE(Open());
    EXPECT_FALSE(gEditingTask);
    EXPECT_EQ(Stored("Three"), kThreeRows);
}

TEST_F(TaskEditor, TheWaitFieldTakesTypedDigitsOnlyButPastesUnfilteredForOkToCheck)
{
    for (const int c : {int('0'), int('5'), int('9'), 8 /* Backspace */})
        EXPECT_EQ(FilterNumericKey(c), c);
    for (const int c : {int('a'), int('Z'), int('-'), int('.'), int(' '), int('\r'), 22 /* Ctrl+V */, 127, 0, 0x0660})
        EXPECT_EQ(FilterNumericKey(c), 0) << c;

    OpenNew();
    Click("optWait");
    QLineEdit& wait = Field("txtWait");
    QTest::keyClicks(&wait, "1a-2. 3x");
    EXPECT_EQ(Text("txtWait"), "123");
    QTest::keyClick(&wait, Qt::Key_Backspace);
    QTest::keyClick(&wait, Qt::Key_Left);
    QTest::keyClick(&wait, Qt::Key_Delete);
    EXPECT_EQ(Text("txtWait"), "1");

    wait.clear();
    QApplication::clipboard()->setText("0 or so");
    QTest::keyClick(&wait, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text("txtWait"), "");
    QTest::keyClick(&wait, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(Text("txtWait"), "0 or so");
    Click("cmdOK");
    EXPECT_EQ(Messages(), Rows{"No time specified."});
}

}  // namespace
}  // namespace kestrun::test
