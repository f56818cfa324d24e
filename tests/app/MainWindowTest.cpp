// The main window as a frame: captions, start-up, tray, Help menu, hiding,
// quitting and "Launch It !".
#include "tests/app/MainWindowFixture.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTimer>

namespace kestrun::test {
namespace {

using Calls = std::vector<std::string>;

Calls Entries(const QMenu& menu)
{
    Calls entries;
    for (QAction* action : menu.actions())
        entries.push_back(action->isSeparator() ? "-" : action->text().toStdString());
    return entries;
}

TEST_F(MainWindowFixture, CaptionsAndMenus)
{
    Load({});
    Show();
    Calls captions;
    for (QAbstractButton* button : {w().cmdAddProgram, w().cmdDeleteProgram, w().cmdEditProgram, w().cmdAddTask,
                                    w().cmdDeleteTask, w().cmdEditTask, w().cmdMoveUp, w().cmdMoveDown, w().cmdExit,
                                    w().cmdClose})
        captions.push_back(button->text().toStdString());
    for (const QString& text : {w().windowTitle(), w().lblLaunchCaption->text(), w().fraPrograms->title(),
                                w().fraTasks->title(), w().lstTasks->headerItem()->text(0),
                                w().lstTasks->headerItem()->text(1), w().lstTasks->headerItem()->text(2),
                                w().mnuHelp->title(), w().mnuEnabled->text()})
        captions.push_back(text.toStdString());
    EXPECT_EQ(captions, (Calls{"New...", "Delete", "Edit...", "New...", "Delete", "Edit...", "Move Up", "Move Down",
                               "Quit", "Hide", "Kestrun by Quillon Works Software", "Launch It !", "Programs:",
                               "Tasks:", "Type", "Value", "Enabled", "&Help", "Enabled"}));
    EXPECT_TRUE(w().cmdLaunch->isDefault());
    EXPECT_EQ(w().menuBar()->actions().size(), 1);
    EXPECT_EQ(Entries(*w().mnuHelp), (Calls{"Using Kestrun...", "-", "Quillon Works Web Site...", "Dovu Project...",
                                            "-", "About Kestrun..."}));
    EXPECT_EQ(Entries(*w().mnuPopUpTray), (Calls{"Show Kestrun", "-", "Start at Login", "Quit Kestrun"}));
}

TEST_F(MainWindowFixture, TabFollowsTheControlsInOrder)
{
    Load({});
    const QWidget* expected[] = {w().cboPrograms, w().cmdAddProgram, w().cmdDeleteProgram, w().cmdEditProgram,
                                 w().cmdLaunch,   w().lstTasks,      w().cmdAddTask,       w().cmdDeleteTask,
                                 w().cmdEditTask, w().cmdMoveUp,     w().cmdMoveDown,      w().cmdExit,
                                 w().cmdClose};
    std::vector<const QWidget*> chain;
    for (const QWidget* current = expected[0]; chain.size() < std::size(expected);) {
        const bool inner = current->parentWidget() == w().cboPrograms || current->parentWidget() == w().lstTasks ||
                           current->parentWidget() == w().lstTasks->viewport();
        if ((current->focusPolicy() & Qt::TabFocus) && !inner)
            chain.push_back(current);
        current = current->nextInFocusChain();
        if (current == expected[0])
            break;
    }
    EXPECT_TRUE(std::equal(chain.begin(), chain.end(), std::begin(expected), std::end(expected)));
}

TEST_F(MainWindowFixture, StartsHiddenInTheTrayWithTheFirstProgramSelected)
{
    const struct {
        std::vector<ProgramSpec> programs;
        Calls entries, rows;
        const char* buttons;
        QPushButton* frmMain::*focus;
    } cases[] = {
        {{}, {}, {}, "", &frmMain::cmdAddProgram},
        {{kThreeTasks, {"Second", {}}},
         {"Three", "Second"},
         {"Open File|/usr/bin/xterm|True", "Wait|5 seconds|False", "Keystrokes|ls~|True"},
         "edit delete addTask",
         &frmMain::cmdLaunch},
    };
    for (const auto& c : cases) {
        area.calls.clear();
        Load(c.programs);
        EXPECT_FALSE(w().isVisible());
        EXPECT_EQ(area.calls, Calls{"add Kestrun"});
        EXPECT_EQ(ProgramEntries(), c.entries);
        EXPECT_EQ(w().cboPrograms->currentIndex(), c.entries.empty() ? -1 : 0);
        EXPECT_EQ(Listed(), c.rows);
        EXPECT_EQ(EnabledButtons(), c.buttons);
        for (QPushButton* always : {w().cmdAddProgram, w().cmdLaunch, w().cmdClose, w().cmdExit})
            EXPECT_TRUE(always->isEnabled());
        Show();
        w().Form_Activate();
        EXPECT_EQ(w().focusWidget(), w().*c.focus);
        EXPECT_FALSE(gDocumentDirty);
        w().Unload();
        window.reset();
    }
}

TEST_F(MainWindowFixture, ControlsWaitForTheFirstShowingAndAQuitBeforeItStillStoresThePosition)
{
    Load({kThreeTasks}, false);
    EXPECT_EQ(w().cboPrograms, nullptr);
    w().Form_MouseMove(7725, 0);  // the tray's double click
    ASSERT_NE(w().cboPrograms, nullptr);
    EXPECT_TRUE(w().isVisible());
    EXPECT_EQ(ProgramEntries(), Calls{"Three"});
    EXPECT_EQ(w().lstTasks->RowCount(), 3);
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");

    window.reset();
    Load({kThreeTasks}, false);
    w().mnuPopUpExit->trigger();
    EXPECT_TRUE(w().Ended());
    EXPECT_EQ(w().cboPrograms, nullptr);
    EXPECT_NE(settings.GetSetting("Position", "frmMain Left"), "");
}

TEST_F(MainWindowFixture, WithoutATrayTheWindowShowsAtStartAndOnlyMinimises)
{
    trayAvailable = false;
    Load({kThreeTasks});
    EXPECT_TRUE(w().isVisible());
    w().cmdClose->click();
    EXPECT_TRUE(w().isVisible() && w().isMinimized());
    w().ShowForm();
    EXPECT_FALSE(w().isMinimized());
    w().cmdLaunch->click();
    EXPECT_TRUE(w().isMinimized());
}

TEST_F(MainWindowFixture, StartUpFailuresAreFatalReports)
{
    for (const bool withDocument : {false, true}) {
        if (withDocument)
            WriteDocument({});
        window = std::make_unique<frmMain>(MainWindowContext{
            folder.path(), reporter, dialogs, [this] { return services.Services(); }, [] { return true; }});
        window->trayImage = withDocument ? QIcon() : window->trayImage;
        EXPECT_FALSE(window->Form_Load());
        EXPECT_TRUE(area.calls.empty()) << "no icon";
    }
    ASSERT_EQ(reporter.reports.size(), 2u);
    EXPECT_EQ(reporter.reports[0].text, "Error: -2146697210\n[Kestrun.xml] File Not Found");
    EXPECT_EQ(reporter.reports[1].text, "Error: -1\nCSysTray - No Icon Specified");
}

TEST_F(MainWindowFixture, TrayShowsAndHideHidesSavingOnlyWhenDirty)
{
    Load({kThreeTasks, {"Second", {}}});
    const std::string original = folder.Read("Kestrun.xml");
    w().Form_MouseMove(7755, 0);  // right button released over the icon
    EXPECT_TRUE(w().mnuPopUpTray->isVisible());
    w().mnuPopUpTray->hide();
    EXPECT_FALSE(w().isVisible());
    w().Form_MouseMove(7725, 0);  // double click
    EXPECT_TRUE(w().isVisible());
    w().cboPrograms->setCurrentIndex(1);
    const QPoint position = w().pos();
    w().cmdClose->click();
    EXPECT_FALSE(w().isVisible());
    EXPECT_EQ(folder.Read("Kestrun.xml"), original);
    w().mnuPopUpOpen->trigger();
    EXPECT_TRUE(w().isVisible());
    EXPECT_EQ(w().pos(), position);
    EXPECT_EQ(w().SelectedProgramName(), "Second");

    gDocumentDirty = true;
    w().cmdClose->click();
    EXPECT_FALSE(gDocumentDirty);
    EXPECT_NE(folder.Read("Kestrun.xml"), original);
    EXPECT_EQ(area.calls, Calls{"add Kestrun"}) << "the icon stays";
}

TEST_F(MainWindowFixture, TheCloseBoxAsksAndOnYesSavesStoresThePositionAndRemovesTheIcon)
{
    for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        const bool yes = answer == MessageAnswer::Yes;
        area.calls.clear();
        dialogs.shown.clear();
        Load({kThreeTasks});
        Show();
        gDocumentDirty = true;
        const std::string original = folder.Read("Kestrun.xml");
        QSignalSpy unloaded(window.get(), &frmMain::Unloaded);
        dialogs.answers = {answer};
        EXPECT_EQ(w().close(), yes);
        ASSERT_EQ(Messages(), Calls{"Quit Kestrun?"});
        EXPECT_EQ(dialogs.shown[0].title, "");
        EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::YesNo);
        EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Question);
        EXPECT_EQ(gDocumentDirty, !yes);
        EXPECT_EQ(folder.Read("Kestrun.xml") != original, yes);
        EXPECT_EQ(settings.GetSetting("Position", "frmMain Top") != "", yes);
        EXPECT_EQ(area.calls, yes ? Calls({"add Kestrun", "delete"}) : Calls({"add Kestrun"}));
        EXPECT_EQ(w().isVisible(), !yes);
        EXPECT_EQ(unloaded.count(), yes ? 1 : 0);
        w().Unload();
        window.reset();
    }
}

TEST_F(MainWindowFixture, QuitCommandsAskNothingAndWriteOnlyChanges)
{
    for (const bool fromTray : {false, true}) {
        area.calls.clear();
        Load({kThreeTasks});
        const std::string original = folder.Read("Kestrun.xml");
        QSignalSpy unloaded(window.get(), &frmMain::Unloaded);
        if (fromTray)
            w().mnuPopUpExit->trigger();  // while hidden
        else
            w().cmdExit->click();
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_EQ(folder.Read("Kestrun.xml"), original) << "nothing changed, nothing written";
        EXPECT_EQ(area.calls, (Calls{"add Kestrun", "delete"}));
        EXPECT_TRUE(w().Ended());
        w().Unload();  // a second quit (the session ending) does nothing more
        EXPECT_EQ(unloaded.count(), 1);
        window.reset();
    }
}

TEST_F(MainWindowFixture, LaunchSavesHidesAndRunsTheEnabledRows)
{
    Load({kThreeTasks});
    services.executables = {"/usr/bin/xterm"};
    gDocumentDirty = true;
    const std::string original = folder.Read("Kestrun.xml");
    Show();
    w().cmdLaunch->click();
    EXPECT_FALSE(w().isVisible());
    EXPECT_FALSE(gDocumentDirty);
    EXPECT_NE(folder.Read("Kestrun.xml"), original);
    EXPECT_EQ(services.log, (Calls{"exists /usr/bin/xterm", "start /usr/bin/xterm", "activate 100", "keys ls{ENTER}"}));
}

TEST_F(MainWindowFixture, LaunchWithoutProgramsAsksForOne)
{
    Load({});
    Show();
    w().cmdLaunch->click();
    EXPECT_EQ(Messages(), Calls{"Please create a program first."});
    EXPECT_TRUE(w().isVisible());
    EXPECT_EQ(w().focusWidget(), w().cmdAddProgram);
}

TEST_F(MainWindowFixture, HelpEntriesShowTheUsageTextAndAModalAboutBox)
{
    Load({});
    Show();
    w().mnuHelpUsing->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Kestrun Help");
    EXPECT_EQ(dialogs.shown[0].text.rfind("1) Create a program. (Programs -> 'New..')\r\n", 0), 0u);

    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = box->windowTitle() == "About Kestrun" && box->parentWidget() == &w();
        box->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    });
    w().mnuAbout->trigger();
    EXPECT_TRUE(seen) << "no modal About box over the window";
}

TEST_F(MainWindowFixture, StartAtLoginFollowsItsEntryAndSaysWhenItCannot)
{
    Load({});
    QAction* entry = w().mnuPopUpLogin;
    ASSERT_TRUE(entry->isCheckable() && !entry->isChecked());
    entry->trigger();
    EXPECT_TRUE(entry->isChecked() && autostart.Enabled());
    entry->trigger();
    EXPECT_FALSE(entry->isChecked() || autostart.Enabled());
    // A change made outside shows at the next opening of the menu.
    autostart.SetEnabled(true);
    w().mnuPopUpTray->popup(QPoint(0, 0));
    EXPECT_TRUE(entry->isChecked());
    w().mnuPopUpTray->hide();
    EXPECT_TRUE(dialogs.shown.empty());

    autostart.SetEnabled(false);
    std::filesystem::remove_all(folder / "config");
    folder.Write("config", "a file where the folder should be");
    entry->trigger();
    EXPECT_FALSE(entry->isChecked());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(dialogs.shown[0].text.rfind("Kestrun cannot change its start at login.\n", 0), 0u);
}

}  // namespace
}  // namespace kestrun::test
