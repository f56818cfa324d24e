// The main window as a frame: its controls, start-up, tray, hiding and quitting.
#include "tests/app/MainWindowFixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

namespace kestrun::test {
namespace {

using Calls = std::vector<std::string>;

TEST_F(MainWindowFixture, ControlsCaptionsAndGeometry)
{
    Load({});
    Show();
    EXPECT_EQ(w().windowTitle().toStdString(), "Kestrun by Quillon Works Software");
    EXPECT_EQ(w().objectName().toStdString(), "frmMain");
    // 6615 x 6345 twips at 15 twips per pixel.
    ASSERT_DOUBLE_EQ(w().TwipsPerPixelX(), 15);
    EXPECT_EQ(w().centralWidget()->size(), QSize(441, 423));
    EXPECT_EQ(w().minimumSize(), w().maximumSize());
    EXPECT_EQ(w().cmdLaunch->geometry(), QRect(304, 24, 105, 65));
    EXPECT_EQ(w().cmdMoveDown->geometry(), QRect(336, 208, 73, 25));

    const std::pair<QAbstractButton*, const char*> captions[] = {
        {w().cmdAddProgram, "New..."}, {w().cmdDeleteProgram, "Delete"}, {w().cmdEditProgram, "Edit..."},
        {w().cmdAddTask, "New..."},    {w().cmdDeleteTask, "Delete"},    {w().cmdEditTask, "Edit..."},
        {w().cmdMoveUp, "Move Up"},    {w().cmdMoveDown, "Move Down"},   {w().cmdExit, "Quit"},
        {w().cmdClose, "Hide"}};
    for (const auto& [button, caption] : captions)
        EXPECT_EQ(button->text().toStdString(), caption);
    EXPECT_EQ(w().lblLaunchCaption->text().toStdString(), "Launch It !");
    EXPECT_TRUE(w().lblLaunchCaption->font().bold());
    EXPECT_TRUE(w().cmdLaunch->isDefault());
    EXPECT_EQ(w().fraPrograms->title().toStdString(), "Programs:");
    EXPECT_EQ(w().fraTasks->title().toStdString(), "Tasks:");
    EXPECT_EQ(w().lstTasks->headerItem()->text(0).toStdString(), "Type");
    EXPECT_EQ(w().lstTasks->headerItem()->text(1).toStdString(), "Value");
    EXPECT_EQ(w().lstTasks->headerItem()->text(2).toStdString(), "Enabled");

    EXPECT_EQ(w().menuBar()->actions().size(), 1);
    EXPECT_EQ(w().mnuHelp->title().toStdString(), "&Help");
    std::vector<std::string> help;
    for (QAction* action : w().mnuHelp->actions())
        help.push_back(action->isSeparator() ? "-" : action->text().toStdString());
    EXPECT_EQ(help, (Calls{"Using Kestrun...", "-", "Quillon Works Web Site...", "Dovu Project...", "-",
                           "About Kestrun..."}));
    std::vector<std::string> tray;
    for (QAction* action : w().mnuPopUpTray->actions())
        tray.push_back(action->isSeparator() ? "-" : action->text().toStdString());
    EXPECT_EQ(tray, (Calls{"Show Kestrun", "-", "Start at Login", "Quit Kestrun"}));
    EXPECT_EQ(w().mnuEnabled->text().toStdString(), "Enabled");
}

TEST_F(MainWindowFixture, TabOrderFollowsTheControls)
{
    Load({});
    const QWidget* expected[] = {w().cboPrograms, w().cmdAddProgram, w().cmdDeleteProgram, w().cmdEditProgram,
                                 w().cmdLaunch,   w().lstTasks,      w().cmdAddTask,       w().cmdDeleteTask,
                                 w().cmdEditTask, w().cmdMoveUp,     w().cmdMoveDown,      w().cmdExit,
                                 w().cmdClose};
    // The widgets that Tab reaches, in the window's focus chain.
    const auto reachable = [&](const QWidget* widget) {
        if (!(widget->focusPolicy() & Qt::TabFocus))
            return false;
        for (const QWidget* parent = widget->parentWidget(); parent; parent = parent->parentWidget())
            if (parent == w().cboPrograms || parent == w().lstTasks)
                return false;
        return true;
    };
    std::vector<const QWidget*> chain;
    const QWidget* current = expected[0];
    do {
        if (reachable(current))
            chain.push_back(current);
        current = current->nextInFocusChain();
    } while (current != expected[0]);
    chain.resize(std::min(chain.size(), std::size(expected)));
    EXPECT_TRUE(std::equal(chain.begin(), chain.end(), std::begin(expected), std::end(expected)));
}

TEST_F(MainWindowFixture, StartsHiddenInTheTrayWithNoProgram)
{
    Load({});
    EXPECT_FALSE(w().isVisible());
    EXPECT_EQ(area.calls, (Calls{"add Kestrun"}));
    EXPECT_EQ(tray.ParentForm(), &w());
    EXPECT_EQ(tray.FormToShow(), &w());
    EXPECT_EQ(tray.TrayMenu(), w().mnuPopUpTray);
    EXPECT_TRUE(w().trayImage.isNull()) << "the window keeps no tray image";
    EXPECT_EQ(w().cboPrograms->count(), 0);
    EXPECT_EQ(w().cboPrograms->currentIndex(), -1);
    EXPECT_EQ(w().lstTasks->RowCount(), 0);
    EXPECT_EQ(EnabledButtons(), "");
    for (QPushButton* always : {w().cmdAddProgram, w().cmdLaunch, w().cmdClose, w().cmdExit})
        EXPECT_TRUE(always->isEnabled());

    Show();
    w().Form_Activate();
    EXPECT_EQ(Focus(), w().cmdAddProgram);
}

TEST_F(MainWindowFixture, StartsWithTheFirstProgramListed)
{
    Load({kThreeTasks, {"Second", {}}});
    EXPECT_FALSE(w().isVisible());
    EXPECT_EQ(ProgramEntries(), (std::vector<std::string>{"Three", "Second"}));
    EXPECT_EQ(w().SelectedProgramName(), "Three");
    EXPECT_EQ(w().lstTasks->Rows(), (std::vector<TaskRow>{{"Open File", "/usr/bin/xterm", "True"},
                                                          {"Wait", "5 seconds", "False"},
                                                          {"Keystrokes", "ls~", "True"}}));
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
    EXPECT_FALSE(gDocumentDirty);

    Show();
    w().Form_Activate();
    EXPECT_EQ(Focus(), w().cmdLaunch);
}

TEST_F(MainWindowFixture, ControlsWaitForTheFirstShowing)
{
    makeControls = false;
    Load({kThreeTasks});
    EXPECT_EQ(w().cboPrograms, nullptr);
    EXPECT_EQ(area.calls, (Calls{"add Kestrun"}));
    EXPECT_EQ(DocumentRows("Three").size(), 3u);

    w().Form_MouseMove(7725, 0);
    ASSERT_NE(w().cboPrograms, nullptr);
    EXPECT_TRUE(w().isVisible());
    EXPECT_EQ(ProgramEntries(), (std::vector<std::string>{"Three"}));
    EXPECT_EQ(w().lstTasks->RowCount(), 3);
    EXPECT_EQ(EnabledButtons(), "edit delete addTask");
}

TEST_F(MainWindowFixture, QuitBeforeTheFirstShowingStoresThePosition)
{
    makeControls = false;
    Load({kThreeTasks});
    w().mnuPopUpExit->trigger();
    EXPECT_TRUE(w().Ended());
    EXPECT_EQ(w().cboPrograms, nullptr);
    EXPECT_FALSE(settings.GetSetting("Position", "frmMain Left").empty());
}

TEST_F(MainWindowFixture, WithoutATrayTheWindowShowsAtStart)
{
    trayAvailable = false;
    Load({kThreeTasks});
    EXPECT_TRUE(w().isVisible());
    // With no icon to come back from, Hide and Launch It ! only minimise.
    w().cmdClose->click();
    EXPECT_TRUE(w().isVisible());
    EXPECT_TRUE(w().isMinimized());
    w().ShowForm();
    EXPECT_FALSE(w().isMinimized());
    w().cmdLaunch->click();
    EXPECT_TRUE(w().isMinimized());
}

TEST_F(MainWindowFixture, TrayIconWithoutImageIsAFatalError)
{
    folder.Write("Kestrun.xml", DocumentText({}));
    window = std::make_unique<frmMain>(MainWindowContext{folder.path(), reporter, dialogs,
                                                         [this] { return services.Services(); }, [] { return true; }});
    window->trayImage = QIcon();
    EXPECT_FALSE(window->Form_Load());
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].text, "Error: -1\nCSysTray - No Icon Specified");
}

TEST_F(MainWindowFixture, MissingDocumentIsReportedBeforeAnyIcon)
{
    window = std::make_unique<frmMain>(MainWindowContext{folder.path(), reporter, dialogs,
                                                         [this] { return services.Services(); }, [] { return true; }});
    EXPECT_FALSE(window->Form_Load());
    EXPECT_EQ(reporter.reports.size(), 1u);
    EXPECT_TRUE(area.calls.empty());
}

TEST_F(MainWindowFixture, TrayEventsShowTheWindowAndPopUpTheMenu)
{
    Load({kThreeTasks});
    w().Form_MouseMove(7755, 0);  // right button released over the icon
    EXPECT_TRUE(w().mnuPopUpTray->isVisible());
    w().mnuPopUpTray->hide();
    EXPECT_FALSE(w().isVisible());

    w().Form_MouseMove(7725, 0);  // double click
    EXPECT_TRUE(w().isVisible());
    w().cmdClose->click();
    EXPECT_FALSE(w().isVisible());
    w().mnuPopUpOpen->trigger();
    EXPECT_TRUE(w().isVisible());
}

TEST_F(MainWindowFixture, HideSavesOnlyWhenDirtyAndKeepsPositionAndSelection)
{
    Load({kThreeTasks, {"Second", {}}});
    const std::string original = folder.Read("Kestrun.xml");
    Show();
    w().cboPrograms->setCurrentIndex(1);
    const QPoint position = w().pos();

    w().cmdClose->click();
    EXPECT_FALSE(w().isVisible());
    EXPECT_EQ(folder.Read("Kestrun.xml"), original);

    w().ShowForm();
    EXPECT_EQ(w().pos(), position);
    EXPECT_EQ(w().SelectedProgramName(), "Second");

    gDocumentDirty = true;
    w().cmdClose->click();
    EXPECT_FALSE(gDocumentDirty);
    EXPECT_NE(folder.Read("Kestrun.xml"), original);
    EXPECT_EQ(area.calls, (Calls{"add Kestrun"})) << "hiding keeps the icon";
}

TEST_F(MainWindowFixture, CloseBoxAnsweredNoChangesNothing)
{
    Load({kThreeTasks});
    Show();
    gDocumentDirty = true;
    QSignalSpy unloaded(window.get(), &frmMain::Unloaded);
    dialogs.answers = {MessageAnswer::No};
    EXPECT_FALSE(w().close());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Quit Kestrun?");
    EXPECT_EQ(dialogs.shown[0].title, "");
    EXPECT_EQ(dialogs.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Question);
    EXPECT_TRUE(w().isVisible());
    EXPECT_TRUE(gDocumentDirty);
    EXPECT_TRUE(tray.InTray());
    EXPECT_EQ(unloaded.count(), 0);
}

TEST_F(MainWindowFixture, CloseBoxAnsweredYesSavesStoresThePositionAndRemovesTheIcon)
{
    Load({kThreeTasks});
    Show();
    gDocumentDirty = true;
    const std::string original = folder.Read("Kestrun.xml");
    QSignalSpy unloaded(window.get(), &frmMain::Unloaded);
    dialogs.answers = {MessageAnswer::Yes};
    EXPECT_TRUE(w().close());
    EXPECT_FALSE(gDocumentDirty);
    EXPECT_NE(folder.Read("Kestrun.xml"), original);
    EXPECT_FALSE(settings.GetSetting("Position", "frmMain Left").empty());
    EXPECT_FALSE(settings.GetSetting("Position", "frmMain Top").empty());
    EXPECT_EQ(area.calls, (Calls{"add Kestrun", "delete"}));
    EXPECT_EQ(unloaded.count(), 1);
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
        EXPECT_EQ(unloaded.count(), 1);
        EXPECT_TRUE(w().Ended());
        w().Unload();  // a second quit (the session ending) does nothing more
        EXPECT_EQ(unloaded.count(), 1);
        window.reset();
    }
}

TEST_F(MainWindowFixture, LaunchRunsTheListedRowsHiddenAndSavesFirst)
{
    Load({kThreeTasks});
    services.executables = {"/usr/bin/xterm"};
    gDocumentDirty = true;
    Show();
    w().cmdLaunch->click();
    EXPECT_FALSE(w().isVisible());
    EXPECT_FALSE(gDocumentDirty);
    EXPECT_EQ(services.log, (Calls{"exists /usr/bin/xterm", "start /usr/bin/xterm", "activate 100", "keys ls{ENTER}"}));
}

TEST_F(MainWindowFixture, LaunchWithoutProgramsAsksForOne)
{
    Load({});
    Show();
    w().cmdLaunch->click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Please create a program first.");
    EXPECT_TRUE(w().isVisible());
    EXPECT_EQ(Focus(), w().cmdAddProgram);
}

}  // namespace
}  // namespace kestrun::test
