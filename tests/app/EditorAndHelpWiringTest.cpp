// The main window's Tasks "New..." and "Edit..." opening the task editor,
// and its Help menu entries.
#include "tests/app/MainWindowFixture.h"

#include "app/HelpMenu.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace kestrun::test {
namespace {

using Rows = std::vector<TaskRow>;

class EditorWiring : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        gEditingTask = false;
        Load({kThreeTasks});
        Show();
    }

    void TearDown() override
    {
        MainWindowFixture::TearDown();
        gEditingTask = false;
    }

    void ClickRow(int row)
    {
        const QRect rect = w().lstTasks->visualItemRect(w().lstTasks->topLevelItem(row - 1));
        QTest::mouseClick(w().lstTasks->viewport(), Qt::LeftButton, {},
                          QPoint(w().lstTasks->columnViewportPosition(1) + 10, rect.center().y()));
    }

    QWidget& Editor()
    {
        QWidget* editor = w().TaskEditor();
        EXPECT_NE(editor, nullptr) << "no task editor open";
        return editor ? *editor : *w().centralWidget();
    }

    template <typename Widget>
    Widget* In(const char* name)
    {
        Widget* child = Editor().findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    QLineEdit& Field(const char* name) { return *In<QLineEdit>(name); }
    void Press(const char* button) { In<QPushButton>(button)->click(); }
};

TEST_F(EditorWiring, NewOpensTheEditorWhoseTaskJoinsTheList)
{
    ASSERT_EQ(w().TaskEditor(), nullptr);
    w().cmdAddTask->click();
    ASSERT_NE(w().TaskEditor(), nullptr);
    EXPECT_TRUE(Editor().isVisible());
    EXPECT_FALSE(gEditingTask);
    EXPECT_TRUE(In<QRadioButton>("optFile")->isChecked());

    In<QRadioButton>("optKeystrokes")->click();
    Field("txtKeystrokes").setText(QStringLiteral("echo hi~"));
    Press("cmdOK");

    EXPECT_EQ(w().TaskEditor(), nullptr);
    const Rows expected = {kThreeTasks.tasks[0],
                           {"Wait", "5 seconds", "False"},
                           kThreeTasks.tasks[2],
                           {"Keystrokes", "echo hi~", "True"}};
    EXPECT_EQ(w().lstTasks->Rows(), expected);
    EXPECT_EQ(DocumentRows("Three").back(), (TaskRow{"Keystrokes", "echo hi~", "True"}));
    EXPECT_TRUE(gDocumentDirty);
    // The list was refreshed: no row chosen, so no row command.
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
}

TEST_F(EditorWiring, EditFillsTheEditorFromTheSelectedRowAndChangesThatTask)
{
    ClickRow(2);
    w().cmdEditTask->click();
    EXPECT_TRUE(gEditingTask);
    EXPECT_TRUE(In<QRadioButton>("optWait")->isChecked());
    EXPECT_EQ(Field("txtWait").text(), QStringLiteral("5"));

    Field("txtWait").setText(QStringLiteral("12"));
    Press("cmdOK");

    EXPECT_EQ(w().lstTasks->Row(2), (TaskRow{"Wait", "12 seconds", "False"}));
    EXPECT_EQ(w().lstTasks->RowCount(), 3);
    EXPECT_FALSE(gEditingTask);
    EXPECT_TRUE(gDocumentDirty);
}

TEST_F(EditorWiring, EditWithoutASelectedRowOpensNothing)
{
    w().cmdEditTask_Click();
    EXPECT_EQ(w().TaskEditor(), nullptr);
    EXPECT_FALSE(gEditingTask);
}

TEST_F(EditorWiring, ASecondNewOrEditWhileOpenKeepsTheOpenEditorAsItIs)
{
    w().cmdAddTask->click();
    QWidget* first = w().TaskEditor();
    Field("txtFile").setText(QStringLiteral("/bin/half-typed"));

    w().cmdAddTask->click();
    EXPECT_EQ(w().TaskEditor(), first);
    EXPECT_EQ(Field("txtFile").text(), QStringLiteral("/bin/half-typed"));

    // Edit while it is open turns it to the selected row without reloading it.
    ClickRow(1);
    w().cmdEditTask->click();
    EXPECT_EQ(w().TaskEditor(), first);
    EXPECT_EQ(Field("txtFile").text(), QStringLiteral("/bin/half-typed"));
    Press("cmdOK");
    EXPECT_EQ(w().lstTasks->Row(1), (TaskRow{"Open File", "/bin/half-typed", "True"}));
    EXPECT_EQ(w().lstTasks->RowCount(), 3);
}

TEST_F(EditorWiring, QuittingClosesAnOpenEditorWithoutWritingItsTask)
{
    ClickRow(3);
    w().cmdEditTask->click();
    Field("txtKeystrokes").setText(QStringLiteral("never stored"));

    // Answering No to the close box keeps both windows as they were.
    dialogs.answers = {MessageAnswer::No};
    w().close();
    ASSERT_NE(w().TaskEditor(), nullptr);
    EXPECT_TRUE(gEditingTask);

    w().cmdExit->click();
    EXPECT_TRUE(w().Ended());
    EXPECT_EQ(w().TaskEditor(), nullptr);
    EXPECT_FALSE(gEditingTask);
    EXPECT_EQ(DocumentRows("Three")[2], kThreeTasks.tasks[2]);
    EXPECT_NE(settings.GetSetting("Position", "frmAddTask Left", ""), "");
}

TEST_F(EditorWiring, UsingShowsTheUsageText)
{
    w().mnuHelpUsing->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, UsageText());
    EXPECT_EQ(dialogs.shown[0].title, "Kestrun Help");
}

TEST_F(EditorWiring, AboutOpensModalOverTheMainWindow)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = true;
        EXPECT_EQ(box->windowTitle(), QStringLiteral("About Kestrun"));
        EXPECT_EQ(box->parentWidget(), &w());
        box->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    });
    w().mnuAbout->trigger();
    EXPECT_TRUE(seen) << "no modal About box";
    EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace
}  // namespace kestrun::test
