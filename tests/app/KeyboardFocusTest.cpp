// The application's real dialogs, where the keyboard goes after the task
// editor's own dialogs close, and what the program selector's field selects.
#include "app/QtDialogs.h"
#include "tests/app/MainWindowFixture.h"

#include <QDialog>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>

#include <functional>

namespace kestrun::test {
namespace {

using Calls = std::vector<std::string>;

// Lets activation and focus changes that follow a closed dialog arrive.
void Settle()
{
    for (int i = 0; i < 5; ++i)
        QTest::qWait(10);
}

/// Answers the next application-modal dialog once it is up, and remembers
/// the window it belongs to.
class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(QWidget&)> answer)
    {
        QTimer::singleShot(0, [this, answer = std::move(answer)] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            // No one answers a box before it has the keyboard.
            shown = QTest::qWaitFor([modal] { return QApplication::activeWindow() == modal; });
            owner = modal->parentWidget() ? modal->parentWidget()->window() : nullptr;
            answer(*modal);
        });
    }
    bool shown = false;
    QWidget* owner = nullptr;
};

void Reject(QWidget& dialog) { qobject_cast<QDialog*>(&dialog)->reject(); }

// The main window with the real dialogs of the application.
class KeyboardFocus : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        realDialogs = &qtDialogs;
        Load({kThreeTasks, {"Second", {}}});
        qtDialogs.SetOwner(window.get());
        ShowActive(w());
    }

    static void ShowActive(QWidget& target)
    {
        target.show();
        target.raise();
        target.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&target));
        Settle();
    }

    QtDialogs qtDialogs;
};

TEST_F(KeyboardFocus, TheEditorsMessagesBelongToItAndGiveItTheKeyboardBack)
{
    const std::string help = (folder / "KeystrokesHelp.htm").string();
    services.unopenable = {help};
    w().cmdAddTask->click();
    QWidget* editor = w().TaskEditor();
    ASSERT_NE(editor, nullptr);
    ShowActive(*editor);

    // OK refused, Browse cancelled, the help page missing.
    for (const char* button : {"cmdOK", "cmdBrowse", "cmdKeyHelp"}) {
        SCOPED_TRACE(button);
        ModalAnswer answer(Reject);
        if (std::string(button) == "cmdKeyHelp")
            Click("optKeystrokes");
        Click(button);
        Settle();
        ASSERT_TRUE(answer.shown);
        EXPECT_EQ(answer.owner, editor);
        EXPECT_EQ(QApplication::activeWindow(), editor);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->window(), editor);
    }

    // Enter now is the editor's OK again, never "Launch It !".
    ModalAnswer again(Reject);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    Settle();
    EXPECT_TRUE(again.shown);
    EXPECT_TRUE(w().isVisible());
    EXPECT_EQ(services.log, Calls{"open " + help}) << "nothing ran";
}

// Typing into the selector's field a text that names no listed program leaves
// no program selected: nothing acts on the program listed before.
TEST_F(MainWindowFixture, TypedTextThatNamesNoEntrySelectsNone)
{
    Load({kThreeTasks, {"Second", {{"Wait", "1", "True"}}}});
    Show();
    const std::string original = folder.Read("Kestrun.xml");
    const auto launchAsksForAProgram = [this] {
        dialogs.shown.clear();
        w().cmdLaunch->click();
        return Messages() == Calls{"Please select a program."} && w().isVisible() && services.log.empty();
    };
    for (const char* typed : {"Nowhere", "Three 2"}) {
        SCOPED_TRACE(typed);
        TypeProgram(typed);
        EXPECT_EQ(w().cboPrograms->currentText().toStdString(), typed);
        EXPECT_EQ(w().SelectedProgramName(), "");
        EXPECT_TRUE(launchAsksForAProgram());

        // The program and task commands ask nothing and change nothing.
        dialogs.shown.clear();
        w().cmdEditProgram_Click();
        w().cmdDeleteProgram_Click();
        w().lstTasks_ItemClick(1);
        w().cmdDeleteTask_Click();
        w().cmdMoveDown_Click();
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_FALSE(gDocumentDirty);
    }
    EXPECT_EQ(folder.Read("Kestrun.xml"), original);

    // The listed program's own name selects it again, another's does not;
    // picking an entry from the list selects it as ever.
    TypeProgram("Three");
    EXPECT_EQ(w().SelectedProgramName(), "Three");
    TypeProgram("Second");
    EXPECT_TRUE(launchAsksForAProgram());
    w().cboPrograms->setCurrentIndex(1);
    EXPECT_EQ(w().SelectedProgramName(), "Second");
    EXPECT_EQ(w().lstTasks->RowCount(), 1);
}

TEST(QtDialogsTest, AQuestionHasTheApplicationTitleAndYesAsDefault)
{
    Application();
    QtDialogs dialogs;
    std::string seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        ASSERT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        ASSERT_EQ(box->icon(), QMessageBox::Question);
        seen = box->windowTitle().toStdString() + "|" + box->text().toStdString() + "|" +
               box->defaultButton()->text().remove('&').toStdString();
        box->defaultButton()->click();
    });
    EXPECT_EQ(dialogs.Message("Quit Kestrun?", MessageButtons::YesNo, MessageIcon::Question), MessageAnswer::Yes);
    EXPECT_EQ(seen, "Kestrun|Quit Kestrun?|Yes");

    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_EQ(dialogs.Input("Enter New Program Name:", "New Program", ""), std::nullopt) << "cancelled";
}

TEST(QtDialogsTest, FilterText)
{
    EXPECT_EQ(FilterText({{"Applications", {"*.exe"}}, {"All Files", {"*.*", "*"}}}),
              "Applications (*.exe);;All Files (*.* *)");
    EXPECT_EQ(FilterText({}), "");
}

}  // namespace
}  // namespace kestrun::test
