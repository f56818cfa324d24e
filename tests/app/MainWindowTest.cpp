// The main window as a frame: captions, start-up, tray, hiding, quitting and "Launch It !".
#include "tests/app/MainWindowFixture.h"
#include "tests/support/SmallFileSystem.h"

#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTimer>

#include <atomic>
#include <thread>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

Texts Entries(const QMenu& menu)
{
    Texts entries;
    for (QAction* action : menu.actions())
        if (action->isVisible())
            entries.push_back(action->isSeparator() ? "-" : action->text().toStdString());
    return entries;
}

TEST_F(MainWindowFixture, CaptionsAndMenus)
{
    Load({});
    Texts captions;
    QTreeWidgetItem& header = *w().lstTasks->headerItem();
    for (const QString& text :
         {w().cmdAddProgram->text(), w().cmdDeleteProgram->text(), w().cmdEditProgram->text(), w().cmdAddTask->text(),
          w().cmdDeleteTask->text(), w().cmdEditTask->text(), w().cmdMoveUp->text(), w().cmdMoveDown->text(),
          w().cmdExit->text(), w().cmdClose->text(), w().windowTitle(), w().lblLaunchCaption->text(),
          w().fraPrograms->title(), w().fraTasks->title(), header.text(0), header.text(1), header.text(2),
          w().mnuHelp->title(), w().mnuEnabled->text()})
        captions.push_back(text.toStdString());
    EXPECT_EQ(captions, (Texts{"New...", "Delete", "Edit...", "New...", "Delete", "Edit...", "Move Up", "Move Down",
                               "Quit", "Hide", "Kestrun by Quillon Works Software", "Launch It !", "Programs:",
                               "Tasks:", "Type", "Value", "Enabled", "&Help", "Enabled"}));
    EXPECT_TRUE(w().cmdLaunch->isDefault());
    EXPECT_EQ(Entries(*w().mnuHelp), (Texts{"Using Kestrun...", "-", "Quillon Works Web Site...", "Dovu Project...",
                                            "-", "About Kestrun..."}));
    EXPECT_EQ(Entries(*w().mnuPopUpTray), (Texts{"Show Kestrun", "-", "Start at Login", "Quit Kestrun"}));
}

TEST_F(MainWindowFixture, StartsHiddenInTheTrayAndShowsTheFirstProgram)
{
    Load({kThreeTasks, {"Second", {}}}, false);
    EXPECT_FALSE(w().isVisible());
    EXPECT_EQ(area.calls, Texts{"add Kestrun"});
    EXPECT_EQ(w().cboPrograms, nullptr) << "the controls wait for the first showing";
    w().Form_MouseMove(7725, 0);  // the tray's double click
    EXPECT_TRUE(w().isVisible());
    EXPECT_EQ(ProgramEntries(), (Texts{"Three", "Second"}));
    EXPECT_EQ(Listed(), kThreeRows);
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
    for (QPushButton* always : {w().cmdAddProgram, w().cmdLaunch, w().cmdClose, w().cmdExit})
        EXPECT_TRUE(always->isEnabled());
    w().Form_Activate();
    EXPECT_TRUE(w().focusWidget() == w().cmdLaunch && !Dirty());

    Load({});
    EXPECT_EQ(EnabledButtons(), "");
    Show();
    w().Form_Activate();
    EXPECT_EQ(w().focusWidget(), w().cmdAddProgram);
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

TEST_F(MainWindowFixture, TrayShowsAndHideHidesSavingOnlyWhenDirty)
{
    Load({kThreeTasks, {"Second", {}}});
    const std::string original = folder.Read("Kestrun.xml");
    w().Form_MouseMove(7755, 0);  // right button released over the icon
    EXPECT_TRUE(w().mnuPopUpTray->isVisible());
    w().mnuPopUpTray->hide();
    EXPECT_FALSE(w().isVisible());
    w().Form_MouseMove(7725, 0);  // double click
    w().cboPrograms->setCurrentIndex(1);
    const QPoint position = w().pos();
    w().cmdClose->click();
    EXPECT_FALSE(w().isVisible());
    EXPECT_EQ(folder.Read("Kestrun.xml"), original);
    w().mnuPopUpOpen->trigger();
    EXPECT_TRUE(w().isVisible() && w().pos() == position && w().SelectedProgramName() == "Second");

    w().Document()->MarkDirty();
    w().cmdClose->click();
    EXPECT_FALSE(Dirty() || folder.Read("Kestrun.xml") == original);
    EXPECT_EQ(area.calls, Texts{"add Kestrun"}) << "the icon stays";
}

TEST_F(MainWindowFixture, QuittingAsksOnlyAtTheCloseBoxAndSavesStoresAndRemovesTheIcon)
{
    enum How { CloseBoxNo, CloseBoxYes, QuitButton, TrayWhileHidden };
    for (const How how : {CloseBoxNo, CloseBoxYes, QuitButton, TrayWhileHidden}) {
        SCOPED_TRACE(how);
        area.calls.clear();
        dialogs.shown.clear();
        Load({kThreeTasks}, how != TrayWhileHidden);  // a quit before the first showing too
        if (how != TrayWhileHidden)
            Show();
        w().Document()->MarkDirty();
        const std::string original = folder.Read("Kestrun.xml");
        QSignalSpy unloaded(window.get(), &frmMain::Unloaded);
        dialogs.answers = {how == CloseBoxNo ? MessageAnswer::No : MessageAnswer::Yes};
        how == TrayWhileHidden ? w().mnuPopUpExit->trigger() : how == QuitButton ? w().cmdExit->click() : void(w().close());
        const bool quit = how != CloseBoxNo;
        EXPECT_EQ(Messages(), how <= CloseBoxYes ? Texts{"Quit Kestrun?"} : Texts{});
        EXPECT_EQ(std::to_string(Dirty()) + std::to_string(folder.Read("Kestrun.xml") != original) +
                      std::to_string(w().isVisible()),
                  quit ? "010" : "101");  // saved and gone, or all as it was
        EXPECT_EQ(settings.GetSetting("Position", "frmMain Top") != "", quit);
        EXPECT_EQ(area.calls, quit ? Texts({"add Kestrun", "delete"}) : Texts({"add Kestrun"}));
        w().Unload();  // a second quit (the session ending) does nothing more
        EXPECT_EQ(unloaded.count(), 1);
    }
}

TEST_F(MainWindowFixture, LaunchSavesHidesAndRunsTheEnabledRowsOrAsksForAProgram)
{
    Load({kThreeTasks});
    services.executables = {"/usr/bin/xterm"};
    w().Document()->MarkDirty();
    const std::string original = folder.Read("Kestrun.xml");
    Show();
    w().cmdLaunch->click();
    EXPECT_FALSE(w().isVisible() || Dirty() || folder.Read("Kestrun.xml") == original);
    EXPECT_EQ(services.log, (Texts{"exists /usr/bin/xterm", "start /usr/bin/xterm", "activate 100", "keys ls{ENTER}"}));

    Load({});
    Show();
    w().cmdLaunch->click();
    EXPECT_EQ(Messages(), Texts{"Please create a program first."});
    EXPECT_TRUE(w().isVisible() && w().focusWidget() == w().cmdAddProgram);
}

// The tooltip as shown: up to its NUL.
std::string Tip(const CSysTray& tray) { return tray.TrayTip().substr(0, tray.TrayTip().find('\0')); }

// While a run waits, the application answers: the tray names the run, and its "Stop" ends it before the
// next task; the document and its unsaved changes stay.
TEST_F(MainWindowFixture, ARunWaitsWhileTheTrayAnswersAndItsStopEndsTheRun)
{
    Load({{"Alpha", {{"Wait", "30", "True"}, {"Keystrokes", "late", "True"}}}});
    std::atomic<bool> stopped = false;
    services.duringSleep = [&] {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!w().RunStopRequested() && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        stopped = w().RunStopRequested();
    };
    std::string tipDuring;
    Texts menuDuring;
    bool stopWhileRunning = false;
    QTimer::singleShot(50, &w(), [&] {
        tipDuring = Tip(tray);
        menuDuring = Entries(*w().mnuPopUpTray);
        w().Document()->MarkDirty();  // an edit made during the run
        w().mnuPopUpTray->actions().at(0)->trigger();
        stopWhileRunning = w().RunStopRequested();
    });
    w().cmdLaunch->click();
    EXPECT_TRUE(stopped && stopWhileRunning);
    EXPECT_EQ(tipDuring, "Kestrun: running 'Alpha'");
    EXPECT_EQ(menuDuring, (Texts{"Stop 'Alpha'", "-", "Show Kestrun", "-", "Start at Login", "Quit Kestrun"}));
    EXPECT_EQ(services.log, Texts{"sleep 30000"}) << "the keys after the wait were typed";
    EXPECT_EQ(Tip(tray), "Kestrun");
    EXPECT_EQ(Entries(*w().mnuPopUpTray), (Texts{"Show Kestrun", "-", "Start at Login", "Quit Kestrun"}));
    EXPECT_TRUE(Dirty() && !w().StopRun()) << "no run is left to stop";
}

// A run that ends with a message has ended when the message shows: the tray is idle, nothing is left to
// stop and Pause is no longer held; the message is the run's, once.
TEST_F(MainWindowFixture, ARunHasEndedWhenItsClosingMessageShows)
{
    Load({{"Alpha", {{"Keystrokes", "a", "True"}, {"Keystrokes", "b", "True"}, {"Keystrokes", "never", "True"}}}});
    services.focusLost = {{"b", "Notes"}};
    std::string tip;
    Texts menu;
    bool stopped = true, keyHeld = true;
    dialogs.duringMessage = [&] {
        tip = Tip(tray);
        menu = Entries(*w().mnuPopUpTray);
        stopped = w().StopRun();
        keyHeld = static_cast<bool>(services.pressStopKey);
    };
    w().cmdLaunch->click();
    EXPECT_EQ(Messages(), Texts{"Typing stopped: the window \"Notes\" was no longer active.\r\nTask 2 of [Alpha], "
                                "Keystrokes [b] typed nothing into another window.\r\n\r\nThe run stops here."});
    EXPECT_EQ(tip, "Kestrun");
    EXPECT_EQ(menu, (Texts{"Show Kestrun", "-", "Start at Login", "Quit Kestrun"}));
    EXPECT_FALSE(stopped) << "a stop found the run still going";
    EXPECT_FALSE(keyHeld) << "Pause was still held";
    EXPECT_EQ(services.log, (Texts{"activate 0", "keys a", "activate 0", "keys b"}));
}

// Pause, held for the length of each run, stops it before the next task; a run that types Pause itself
// leaves the key alone.
TEST_F(MainWindowFixture, ThePauseKeyIsHeldWhileARunGoesAndStopsIt)
{
    Load({{"Alpha", {{"Wait", "30", "True"}, {"Keystrokes", "late", "True"}}},
          {"Beta", {{"Wait", "1", "True"}, {"Keystrokes", "a{BREAK}", "True"}}}});
    services.duringSleep = [&] {
        if (services.pressStopKey)
            services.pressStopKey();
    };
    w().cboPrograms->setCurrentIndex(w().cboPrograms->findText("Alpha"));
    w().cmdLaunch->click();
    EXPECT_EQ(services.log, Texts{"sleep 30000"}) << "the keys after the wait were typed";
    EXPECT_EQ(services.holds, 1);
    EXPECT_EQ(services.releases, 1);
    EXPECT_FALSE(services.pressStopKey) << "the key is still held after the run";

    w().cboPrograms->setCurrentIndex(w().cboPrograms->findText("Beta"));
    services.log.clear();
    w().cmdLaunch->click();
    EXPECT_EQ(services.holds, 1) << "a run that types Pause held the key";
    EXPECT_EQ(services.log, (Texts{"sleep 1000", "activate 0", "keys a{BREAK}"}));
}

// A failed save is told and keeps the changes: Hide and Launch (which still runs) try again, and so
// does Quit, which asks before dropping them. The file stays as it was.
TEST_F(MainWindowFixture, AFailedSaveKeepsTheChangesAndQuitAsksBeforeDroppingThem)
{
    const SmallFileSystem small(folder.path());
    if (!small.mounted)
        GTEST_SKIP() << "mounting a small file system needs root";
    const std::string path = (folder / "Kestrun.xml").string();
    for (const bool full : {true, false}) {
        const std::string report = full ? "Error: 61\nDisk full: " + path + " (No space left on device)"
                                        : "Error: 70\nPermission denied: " + path;
        dialogs.shown.clear(), dialogs.inputs = {"Added"};
        dialogs.answers = {MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::No, MessageAnswer::Yes};
        Load({kThreeTasks});
        w().cmdAddProgram_Click();
        const std::string original = folder.Read("Kestrun.xml");
        full ? small.Fill() : small.ReadOnly(true);
        w().cmdClose->click();
        w().cboPrograms->setCurrentIndex(0);
        w().cmdLaunch->click();
        w().cmdExit->click();
        const std::string kept = report + "\n\nKestrun keeps the changes and tries to save them again at the next "
                                          "Hide, Launch It ! or Quit.";
        EXPECT_EQ(Messages(), (Texts{kept, kept, report + "\n\nThe changes to the programs could not be saved. "
                                                          "Quit anyway and lose them?"}));
        EXPECT_TRUE(reporter.Silent() && Dirty() && !w().Ended() && services.log.back() == "keys ls{ENTER}");
        EXPECT_EQ(folder.Read("Kestrun.xml"), original);
        // Disk space back: the next quit saves. Still read-only: Yes drops the changes.
        full ? void(fs::remove(folder / ".filler")) : void();
        w().cmdExit->click();
        EXPECT_TRUE(w().Ended());
        EXPECT_EQ(folder.Read("Kestrun.xml").find("<name>Added</name>") != std::string::npos, full);
        small.ReadOnly(false);
    }
}

TEST_F(MainWindowFixture, StartAtLoginFollowsItsEntryAndSaysWhenItCannot)
{
    Load({});
    QAction* entry = w().mnuPopUpLogin;
    entry->trigger();
    EXPECT_TRUE(entry->isChecked() && autostart.Enabled());
    entry->trigger();
    EXPECT_FALSE(entry->isChecked() || autostart.Enabled());
    std::filesystem::remove_all(folder / "config");
    folder.Write("config", "a file where the folder should be");
    entry->trigger();
    EXPECT_FALSE(entry->isChecked());
    EXPECT_EQ(Messages().at(0).rfind("Kestrun cannot change its start at login.\n", 0), 0u);
}

}  // namespace
}  // namespace kestrun::test
