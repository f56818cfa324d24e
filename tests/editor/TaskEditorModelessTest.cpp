#include "tests/editor/EditorFixture.h"

#include <QScreen>

namespace kestrun::test {
namespace {

using TaskEditorModelessTest = EditorFixture;

TEST_F(TaskEditorModelessTest, EditThenCancelThenNewOpensEmptyInAddMode)
{
    OpenEdit(3);
    Click("cmdCancel");
    host->selectedRow = 3;  // the row is still selected in the main window
    OpenNew();
    EXPECT_FALSE(gEditingTask);
    EXPECT_TRUE(Control<QRadioButton>("optFile").isChecked());
    EXPECT_EQ(Text("txtKeystrokes"), "");
    Field("txtFile").setText("/usr/bin/xterm");
    Click("cmdOK");
    EXPECT_EQ(Rows("Mail").size(), 4u);
    EXPECT_EQ(Rows("Mail")[2], "Keystrokes|hello~|True");
}

TEST_F(TaskEditorModelessTest, TheCloseBoxEndsAnEditLikeCancel)
{
    OpenEdit(1);
    Field("txtFile").setText("/changed");
    EXPECT_TRUE(Editor().close());
    EXPECT_FALSE(EditorOpen());
    EXPECT_FALSE(gEditingTask);
    EXPECT_EQ(Rows("Mail")[0], "Open File|/usr/bin/mail|True");
    EXPECT_FALSE(gDocumentDirty);
}

TEST_F(TaskEditorModelessTest, ASecondNewOrEditOnlyBringsTheOpenEditorForward)
{
    frmAddTask& first = OpenNew();
    Field("txtFile").setText("/typed/so/far");
    launcher->NewTask();
    EXPECT_EQ(&Editor(), &first);
    EXPECT_EQ(Text("txtFile"), "/typed/so/far");

    // Edit while open: edit mode from now on, fields kept, the selected row
    // is rewritten with them on OK.
    host->selectedRow = 2;
    launcher->EditTask();
    EXPECT_EQ(&Editor(), &first);
    EXPECT_TRUE(gEditingTask);
    EXPECT_EQ(Text("txtFile"), "/typed/so/far");
    EXPECT_EQ(Text("txtWait"), "");
    Click("cmdOK");
    EXPECT_EQ(Rows("Mail")[1], "Open File|/typed/so/far|False");
    EXPECT_EQ(Rows("Mail").size(), 3u);
}

TEST_F(TaskEditorModelessTest, EditWithoutASelectedRowDoesNothing)
{
    launcher->EditTask();
    EXPECT_FALSE(EditorOpen());
    EXPECT_FALSE(gEditingTask);
}

TEST_F(TaskEditorModelessTest, OkUsesTheMainWindowsSelectionAtThatMoment)
{
    // Another program chosen while adding: the task goes there.
    OpenNew();
    Field("txtFile").setText("/bin/true");
    host->Select("Empty");
    Click("cmdOK");
    EXPECT_EQ(Rows("Empty"), std::vector<std::string>{"Open File|/bin/true|True"});
    EXPECT_EQ(Rows("Mail").size(), 3u);

    // Another row chosen while editing: that row is rewritten, with its own
    // enabled state.
    host->Select("Mail");
    OpenEdit(1);
    host->selectedRow = 3;
    Field("txtFile").setText("/bin/false");
    Click("cmdOK");
    EXPECT_EQ(Rows("Mail"), (std::vector<std::string>{"Open File|/usr/bin/mail|True", "Wait|10 seconds|False",
                                                      "Open File|/bin/false|True"}));
}

TEST_F(TaskEditorModelessTest, OkWithNothingSelectedInTheMainWindowSaysSoAndChangesNothing)
{
    const struct {
        bool editing;
        bool programGone;
        std::string message;
    } cases[] = {
        {false, true, "Please select a program."},
        {true, true, "Please select a program."},
        {true, false, "Please select a task."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        dialogs.shown.clear();
        host->Select("Mail");
        if (c.editing)
            OpenEdit(1);
        else
            OpenNew();
        Field("txtFile").setText("/bin/true");
        if (c.programGone)
            host->program.reset();
        host->selectedRow.reset();
        Click("cmdOK");
        EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
        EXPECT_TRUE(EditorOpen());
        EXPECT_EQ(gEditingTask, c.editing);
        EXPECT_FALSE(gDocumentDirty);
        EXPECT_EQ(host->refreshes, 0);
        EXPECT_EQ(Rows("Mail").size(), 3u);
        Click("cmdCancel");
    }
}

TEST_F(TaskEditorModelessTest, ThePositionIsRestoredAtLoadAndSavedAtUnload)
{
    frmAddTask& editor = OpenNew();
    const QPoint origin = editor.screen()->geometry().topLeft();
    const double twipsPerPixel = 1440 / editor.screen()->logicalDotsPerInchX();
    editor.move(origin + QPoint(40, 20));
    Click("cmdCancel");
    EXPECT_EQ(settings.GetSetting("Position", "frmAddTask Left"), std::to_string(std::lround(40 * twipsPerPixel)));
    EXPECT_EQ(settings.GetSetting("Position", "frmAddTask Top"), std::to_string(std::lround(20 * twipsPerPixel)));

    EXPECT_EQ(OpenNew().pos() - origin, QPoint(40, 20));
}

}  // namespace
}  // namespace kestrun::test
