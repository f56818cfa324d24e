// The task editor as Tasks "New..." and "Edit..." open it over the main window.
#include "app/QtDialogs.h"
#include "tests/app/MainWindowFixture.h"

#include <QClipboard>
#include <QGroupBox>
#include <QRadioButton>
#include <QScreen>

#include <tuple>

namespace kestrun::test {
namespace {

class TaskEditor : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        Load({kThreeTasks, {"Empty", {}}});
        Show();
    }

    void OpenNew() { w().cmdAddTask->click(); }
    void OpenEdit(int row) { PressRow(row), w().cmdEditTask->click(); }
    bool Open() const { return window->TaskEditor() != nullptr; }
    std::string Chosen()
    {
        std::string chosen;
        for (const std::string type : {"File", "Wait", "Keystrokes"})
            chosen += In<QRadioButton>("opt" + type).isChecked() && In<QGroupBox>("fra" + type).isVisible() ? type : "";
        return chosen;
    }
    void Enter(const std::string& type, const std::string& text)
    {
        Click("opt" + type);
        Field("txt" + type).setText(QString::fromStdString(text));
    }
};

TEST_F(TaskEditor, NewAddsTheTaskEnabledAtTheEndOfTheSelectedProgram)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"File", "/home/me/notes with spaces.txt", "Open File|/home/me/notes with spaces.txt|True"},
        {"Wait", "2", "Wait|2 seconds|True"},
        {"Wait", "12 s", "Wait|12 s seconds|True"},  // pasted, stored as typed
        {"Keystrokes", " ^s{ENTER}  ", "Keystrokes| ^s{ENTER}  |True"}};
    w().cboPrograms->setCurrentIndex(1);
    Texts expected;
    for (const auto& [type, text, row] : cases) {
        w().SaveTaskDocument();
        OpenNew();
        Enter(type, text);
        QTest::keyClick(&Field("txt" + std::string(type)), Qt::Key_Return);  // OK is the default button
        expected.push_back(row);
        EXPECT_TRUE(!Open() && Dirty());
        EXPECT_EQ(Listed(), expected);
        EXPECT_EQ(EnabledButtons(), "edit delete addTask") << "the list is rebuilt with no row chosen";
    }
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Stored("Empty"), expected);
    EXPECT_EQ(Stored("Three"), kThreeRows);
}

TEST_F(TaskEditor, RefusesEmptyOrUselessFieldsAndStaysOpenUnchanged)
{
    const std::tuple<std::string, std::string, const char*> cases[] = {
        {"File", "", "No file specified."},
        {"Wait", "0", "No time specified."},
        {"Wait", "soon", "No time specified."},  // pasted, which the key filter never sees
        {"Keystrokes", "", "No keystrokes specified."},
        {"Keystrokes", "abc{NOKEY}", "These keystrokes cannot be typed.\r\nCharacter 4: {NOKEY} is not a key name."}};
    for (const bool editing : {false, true}) {
        for (const auto& [type, text, message] : cases) {
            SCOPED_TRACE(text + (editing ? " (edit)" : " (new)"));
            dialogs.shown.clear();
            editing ? OpenEdit(1) : OpenNew();
            Enter(type, text);
            Click("cmdOK");
            EXPECT_EQ(Messages(), Texts{message});
            EXPECT_EQ(Text("txt" + type), text) << "still open, the text kept";
            EXPECT_TRUE(w().EditingTask() == editing && !Dirty());
            Click("cmdCancel");
        }
    }
    EXPECT_EQ(Stored("Three"), kThreeRows);
}

// New (row 0) opens empty on Open File, even after a cancelled edit with its row still chosen.
TEST_F(TaskEditor, OpensModelessOnTheTypeAndFieldOfTheTask)
{
    const std::tuple<int, std::string, std::string> cases[] = {
        {1, "File", "/usr/bin/xterm"}, {2, "Wait", "5"}, {3, "Keystrokes", "ls~"}, {0, "File", ""}};
    for (const auto& [row, type, text] : cases) {
        row ? OpenEdit(row) : OpenNew();
        const QWidget& editor = *w().TaskEditor();
        EXPECT_EQ(editor.windowTitle().toStdString() + "|" + Chosen() + "|" + Text("txtFile") + Text("txtWait") +
                      Text("txtKeystrokes"),
                  "Kestrun|" + type + "|" + text);
        EXPECT_TRUE(!editor.isModal() && w().EditingTask() == (row != 0));
        EXPECT_EQ(editor.focusWidget(), &Field("txt" + type));
        OpenNew();  // a second one only brings this one forward
        EXPECT_EQ(w().TaskEditor(), &editor);
        QTest::keyClicks(&Field("txt" + type), "x");
        row == 1 ? QTest::keyClick(&Field("txtFile"), Qt::Key_Escape)
                 : row == 2 ? void(w().TaskEditor()->close()) : Click("cmdCancel");
        EXPECT_FALSE(w().EditingTask() || Open() || Dirty());
    }
    EXPECT_EQ(Stored("Three"), kThreeRows);
}

TEST_F(TaskEditor, EditRewritesTheRowKeepingItsEnabledState)
{
    OpenEdit(2);
    Field("txtWait").setText("7 s");  // pasted: its number is kept
    Click("cmdOK");
    EXPECT_EQ(Listed()[1], "Wait|7 seconds|False");
    EXPECT_TRUE(Dirty() && !w().EditingTask());

    OpenEdit(2);
    Enter("Keystrokes", "%{F4}");
    EXPECT_EQ(Chosen(), "Keystrokes");
    Click("cmdOK");
    EXPECT_EQ(Stored("Three"), (Texts{kThreeRows[0], "Keystrokes|%{F4}|False", kThreeRows[2]}));

    // A type Kestrun does not know chooses nothing until the user does.
    Load({{"Odd", {{"wait", "5", "True"}}}});
    Show();
    OpenEdit(1);
    EXPECT_EQ(Chosen(), "");
    Click("cmdOK");
    EXPECT_EQ(Messages(), Texts{"No task type specified."});
    Enter("Wait", "5");
    Click("cmdOK");
    EXPECT_EQ(Stored("Odd"), Texts{"Wait|5 seconds|True"});
}

// Past a text box's usual 32,767 characters, a value opened and confirmed unchanged comes back whole.
TEST_F(TaskEditor, LongValuesAreKeptWhole)
{
    const std::vector<TaskRow> tasks = {{"Open File", std::string(40000, 'p'), "True"},
                                        {"Keystrokes", std::string(40000, 'k') + "{ENTER}", "False"}};
    Load({{"Long", tasks}});
    OpenEdit(1), Click("cmdOK"), OpenEdit(2), Click("cmdOK");
    EXPECT_TRUE(Messages().empty() && Dirty());
    EXPECT_EQ(Stored("Long"), Lines(tasks));
}

TEST_F(TaskEditor, OkActsOnTheMainWindowsSelectionAtThatMoment)
{
    OpenNew();
    Field("txtFile").setText("/bin/true");
    w().cboPrograms->setCurrentIndex(1);
    Click("cmdOK");
    EXPECT_EQ(Stored("Empty"), Texts{"Open File|/bin/true|True"});

    w().cboPrograms->setCurrentIndex(0);
    OpenEdit(1);
    PressRow(3);
    Field("txtFile").setText("/bin/false");
    Click("cmdOK");
    EXPECT_EQ(Stored("Three"), (Texts{kThreeRows[0], kThreeRows[1], "Open File|/bin/false|True"}));

    w().SaveTaskDocument();
    const std::tuple<bool, bool, const char*> cases[] = {
        {false, true, "Please select a program."}, {true, true, "Please select a program."},
        {true, false, "Please select a task."}};
    for (const auto& [editing, programGone, message] : cases) {
        dialogs.shown.clear();
        w().cboPrograms->setCurrentIndex(1);
        w().cboPrograms->setCurrentIndex(0);
        editing ? OpenEdit(1) : OpenNew();
        Field("txtFile").setText("/bin/true");
        programGone ? TypeProgram("Nowhere") : PressRow(0);
        Click("cmdOK");
        EXPECT_EQ(Messages(), Texts{message});
        EXPECT_TRUE(w().EditingTask() == editing && !Dirty());
        Click("cmdCancel");
    }
}

TEST_F(TaskEditor, BrowseHelpAndThePositionKeptAcrossOpenings)
{
    OpenNew();
    Field("txtFile").setText("/old/path");
    dialogs.files = {std::nullopt, "/opt/tools/Setup.EXE"};
    Click("cmdBrowse");
    EXPECT_EQ(FilterText(dialogs.lastFilters), "Applications (*);;All Files (*)");
    EXPECT_TRUE(dialogs.lastFilters[0].programs) << "Applications: every program, not only *.exe";
    EXPECT_EQ(dialogs.lastFilters[0].patterns, Texts{"*.exe"}) << "and the files named as Windows programs";
    EXPECT_EQ(Text("txtFile"), "/old/path") << "cancelled";
    Click("cmdBrowse");
    EXPECT_EQ(Text("txtFile"), "/opt/tools/Setup.EXE");

    const std::string page = (folder / "KeystrokesHelp.htm").string();
    Click("optKeystrokes");
    Click("cmdKeyHelp");
    services.unopenable = {page};
    Click("cmdKeyHelp");
    EXPECT_EQ(services.log, (Texts{"open " + page, "open " + page}));
    EXPECT_EQ(Messages(), Texts{"An Error has occurred trying to open the [KeystrokesHelp.htm] file.\r\n"
                                "Make sure this file is named correctly and in the same folder as [Kestrun.exe]"});

    // The position is kept across openings; a quit closes the editor unwritten.
    const QPoint origin = w().TaskEditor()->screen()->geometry().topLeft();
    w().TaskEditor()->move(origin + QPoint(40, 20));
    Click("cmdCancel");
    EXPECT_EQ(settings.GetSetting("Position", "frmAddTask Left"), "600");
    OpenEdit(3);
    EXPECT_EQ(w().TaskEditor()->pos() - origin, QPoint(40, 20));
    Field("txtKeystrokes").setText("never stored");
    w().cmdExit->click();
    EXPECT_FALSE(Open());
    EXPECT_EQ(Stored("Three"), kThreeRows);
}

// Tab into the type options lands on the checked one and Tab leaves them; the arrows move the choice.
TEST_F(TaskEditor, TheTypeOptionsAreOneTabStopOnTheCheckedOption)
{
    const std::tuple<int, std::string, Qt::Key, std::string> cases[] = {
        {0, "File", Qt::Key_Right, "Wait"}, {2, "Wait", Qt::Key_Right, "Keystrokes"},
        {3, "Keystrokes", Qt::Key_Left, "Wait"}};
    for (const auto& [row, type, arrow, next] : cases) {
        SCOPED_TRACE(type);
        row ? OpenEdit(row) : OpenNew();
        QWidget& editor = *w().TaskEditor();
        editor.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
        QWidget* reached = nullptr;
        for (int tab = 0; tab < 8 && !qobject_cast<QRadioButton*>(reached = QApplication::focusWidget()); ++tab)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(reached, &In<QRadioButton>("opt" + type));
        QTest::keyClick(reached, Qt::Key_Space);
        EXPECT_EQ(Chosen(), type) << "Space on the checked option changes nothing";
        QTest::keyClick(reached, Qt::Key_Tab);
        EXPECT_FALSE(qobject_cast<QRadioButton*>(QApplication::focusWidget())) << "a second Tab leaves the options";
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(), reached);
        QTest::keyClick(reached, arrow);
        EXPECT_EQ(Chosen(), next);
        Click("cmdCancel");
    }
}

TEST_F(TaskEditor, TheWaitFieldTakesTypedDigitsOnlyButPastesUnfilteredForOkToCheck)
{
    OpenNew();
    Click("optWait");
    QLineEdit& wait = Field("txtWait");
    QTest::keyClicks(&wait, "1a-2. 3x");
    QTest::keyClick(&wait, Qt::Key_Backspace);
    EXPECT_EQ(Text("txtWait"), "12");
    wait.clear();
    QApplication::clipboard()->setText("0 or so");
    QTest::keyClick(&wait, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text("txtWait"), "");
    QTest::keyClick(&wait, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(Text("txtWait"), "0 or so");
    Click("cmdOK");
    EXPECT_EQ(Messages(), Texts{"No time specified."});
}

}  // namespace
}  // namespace kestrun::test
