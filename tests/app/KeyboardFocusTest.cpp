#include "app/QtDialogs.h"
#include "tests/app/MainWindowFixture.h"

#include <QDialog>
#include <QTimer>

namespace kestrun::test {
namespace {

// The editor's own dialogs give it the keyboard back: Enter after them is its OK, never "Launch It !".
TEST_F(MainWindowFixture, TheEditorsMessagesBelongToItAndGiveItTheKeyboardBack)
{
    static QtDialogs qtDialogs;  // outlives the window
    realDialogs = &qtDialogs;
    Load({kThreeTasks});
    qtDialogs.SetOwner(window.get());
    services.unopenable = {(folder / "KeystrokesHelp.htm").string()};
    Show();
    w().cmdAddTask->click();
    QWidget* editor = w().TaskEditor();
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor));
    for (const std::string button : {"cmdBrowse", "cmdKeyHelp", "Enter", "Enter"}) {
        QWidget* owner = nullptr;
        QTimer::singleShot(0, [&owner] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && QTest::qWaitFor([modal] { return QApplication::activeWindow() == modal; }))
                owner = modal->parentWidget()->window(), qobject_cast<QDialog*>(modal)->reject();
        });
        if (button == "cmdKeyHelp")
            Click("optKeystrokes");
        button == "Enter" ? QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return) : Click(button);
        QTest::qWait(50);  // for the activation and focus changes that follow
        EXPECT_EQ(owner, editor) << button;
        EXPECT_EQ(QApplication::activeWindow(), editor) << button;
        EXPECT_EQ(QApplication::focusWidget() ? QApplication::focusWidget()->window() : nullptr, editor) << button;
    }
    EXPECT_EQ(services.log.size(), 1u) << "nothing ran";
}

// Typed text naming no listed program selects none, and nothing acts on the program listed before.
TEST_F(MainWindowFixture, TypedTextThatNamesNoEntrySelectsNone)
{
    Load({kThreeTasks, {"Second", {{"Wait", "1", "True"}}}});
    Show();
    const std::string original = folder.Read("Kestrun.xml");
    for (const char* typed : {"Nowhere", "Three 2"}) {
        TypeProgram(typed);
        EXPECT_EQ(w().SelectedProgramName(), "") << typed;
        dialogs.shown.clear();
        w().cmdEditProgram_Click();
        w().cmdDeleteProgram_Click();
        w().lstTasks_ItemClick(1);
        w().cmdDeleteTask_Click();
        w().cmdMoveDown_Click();
        w().cmdLaunch->click();
        EXPECT_EQ(dialogs.shown.size(), 1u) << typed;
        EXPECT_EQ(Messages(), Texts{"Please select a program."}) << typed;
        EXPECT_TRUE(services.log.empty() && !Dirty()) << typed;
    }
    EXPECT_EQ(folder.Read("Kestrun.xml"), original);
    TypeProgram("Three");
    EXPECT_EQ(w().SelectedProgramName(), "Three");
    TypeProgram("Second");  // another's name: Launch still asks
    dialogs.shown.clear();
    w().cmdLaunch->click();
    EXPECT_EQ(Messages(), Texts{"Please select a program."});
    w().cboPrograms->setCurrentIndex(1);
    EXPECT_EQ(w().SelectedProgramName(), "Second");
}

// Typed text that names another entry selects it neither when the field loses the keyboard (a click on a
// program command) nor through its completion: each command finds no program selected, as Launch does.
TEST_F(MainWindowFixture, TypedNameOfAnotherEntryNeverSelectsIt)
{
    Load({kThreeTasks, {"Second", {{"Wait", "1", "True"}}}});
    Show();
    const std::pair<QWidget*, const char*> commands[] = {
        {w().cmdDeleteProgram, "Delete"}, {w().cmdEditProgram, "Edit..."}, {w().cmdLaunch, "Launch It !"}};
    for (const char* typed : {"Second", "second", "Sec"}) {
        for (const auto& [command, caption] : commands) {
            SCOPED_TRACE(std::string(typed) + " then " + caption);
            w().cboPrograms->setCurrentIndex(0);
            w().activateWindow();
            w().cboPrograms->lineEdit()->setFocus();
            TypeProgram(typed);
            dialogs.shown.clear();
            QTest::mouseClick(command, Qt::LeftButton);  // the click takes the keyboard from the field
            EXPECT_EQ(w().cboPrograms->currentIndex(), 0);
            EXPECT_EQ(w().SelectedProgramName(), "");
            EXPECT_EQ(Listed(), kThreeRows);
            for (const auto& shown : dialogs.shown)
                EXPECT_EQ(shown.text, "Please select a program.");
        }
        QTest::keyClick(w().cboPrograms->lineEdit(), Qt::Key_Tab);
        EXPECT_EQ(w().SelectedProgramName(), "");
    }
    EXPECT_FALSE(w().TaskEditor());
    EXPECT_EQ(ProgramEntries(), (Texts{"Three", "Second"}));
    EXPECT_FALSE(Dirty());
}

}  // namespace
}  // namespace kestrun::test
