#pragma once

#include "app/HelpMenu.h"
#include "core/Dialogs.h"
#include "document/TaskDocument.h"
#include "editor/TaskEditorHost.h"
#include "platform/WebPageOpener.h"
#include "runner/TaskRunner.h"
#include "settings/TwipScale.h"
#include "tray/NotifyArea.h"

#include <QIcon>
#include <QMainWindow>

#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QFileSystemWatcher;
class QTimer;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;

namespace kestrun {

class CRegSettings;
class StopKey;
class CSysTray;
class Dialogs;
class LoginStart;
class TaskEditorLauncher;
class TaskListView;

/// What the main window works with, all owned elsewhere.
struct MainWindowContext {
    /// Where Kestrun.xml lives.
    std::filesystem::path folder;
    FatalErrorReporter& reporter;
    /// The task document over Kestrun.xml in `folder`, not loaded yet: the
    /// load handler loads it.
    TaskDocument& document;
    Dialogs& dialogs;
    /// The services of a task run, asked for at the first "Launch It !".
    std::function<RunServices()> runServices;
    /// Whether the desktop has a notification area to put the icon into.
    std::function<bool()> trayAvailable;
    /// The folder of the keystroke help page; when empty, `folder`.
    std::filesystem::path helpFolder = {};
    /// Starting at login, for the tray menu's "Start at Login"; none: no entry.
    LoginStart* loginStart = nullptr;
    /// Where the window positions are kept; none: they are neither kept nor restored.
    CRegSettings* settings = nullptr;
    /// The notification-area icon; none: the window has no tray icon.
    CSysTray* tray = nullptr;
};

/// The main window "Kestrun by Quillon Works Software": the program selector,
/// the task list, their commands, "Launch It !", "Hide" and "Quit", the Help
/// menu and the tray and task-list pop-up menus. Tasks "New..." and "Edit..."
/// open the modeless task editor, which reads the selection from here. It is created hidden; Load
/// reads the document and puts the icon into the tray (the context's tray).
///
/// The window measures in twips (ScaleMode 1): the tray's mouse events reach
/// Form_MouseMove as X = message number times twips per pixel, Y = 0.
class frmMain : public QMainWindow, public RunHost, public TrayForm, public TaskEditorHost {
    Q_OBJECT
public:
    explicit frmMain(MainWindowContext context, QWidget* parent = nullptr);
    ~frmMain() override;

    // --- Start-up, showing, hiding and quitting --------------------------
    /// The load handler: reads the document, lists the programs, restores the
    /// position and puts the icon into the tray. False after a fatal report.
    ///
    /// The controls are made at the first showing (EnsureControls), which
    /// keeps their cost off the way to the tray icon and out of the memory of
    /// a Kestrun that stays in the tray; until then the programs and the
    /// first program's rows wait in the window.
    bool Form_Load();
    /// Makes the controls and menus, filled as the load handler left them.
    /// Every showing of the window runs it first.
    void EnsureControls();
    /// The activate handler: focus on "Launch It !" or, with no program
    /// selected, on Programs "New...".
    void Form_Activate();
    /// Tray events in the window's units; only the tray calls this, real
    /// pointer movement over the window is never passed on.
    void Form_MouseMove(double X, double Y);
    /// The query-unload handler. `byUser` asks "Quit Kestrun?" first. False
    /// when the user answered No, or chose to stay when the changes could
    /// not be saved.
    bool Form_QueryUnload(bool byUser);
    /// Ends the window the way "Quit" does: no question. Does nothing once
    /// the window has ended.
    void Unload();
    bool Ended() const { return ended_; }

    void cmdClose_Click();
    void cmdExit_Click() { Unload(); }
    void mnuPopUpOpen_Click() { ShowForm(); }
    void mnuPopUpExit_Click() { Unload(); }
    /// "Start at Login" was checked or unchecked.
    void mnuPopUpLogin_Click();

    // --- Program and task commands ------------------------------------------
    void cboPrograms_Click();
    /// Button states, list and focus after the selector changed.
    void RefreshSelectedProgram() override;
    void cmdAddProgram_Click();
    void cmdEditProgram_Click();
    void cmdDeleteProgram_Click();
    void cmdAddTask_Click() { OpenTaskEditor(false); }
    void cmdEditTask_Click() { OpenTaskEditor(true); }
    void cmdDeleteTask_Click();
    void cmdMoveUp_Click() { MoveSelectedTask(false); }
    void cmdMoveDown_Click() { MoveSelectedTask(true); }
    /// A row was clicked: the row commands follow its position (from 1).
    void lstTasks_ItemClick(int row);
    /// A button went down over the list on `row` (0: below the last row).
    void lstTasks_MouseDown(Qt::MouseButton button, int row, QPoint globalPosition);
    void mnuEnabled_Click();
    void cmdLaunch_Click();
    /// Asks the run in progress to stop: it ends within its task, every key
    /// released. False when no run is on.
    bool StopRun();
    /// Whether the run in progress was asked to stop; from any thread.
    bool RunStopRequested() const { return stopRun_.load(); }

    // --- Requests from the command line, in frmMainRequests.cpp ----------------
    /// Whether a program of that name is in the document (the template is not).
    bool HasProgram(const std::string& name) const;
    /// The names of the programs as the document holds them now, unsaved
    /// changes included.
    std::vector<std::string> ProgramNames() const;
    /// Reads Kestrun.xml again when it changed on disk and Kestrun holds no
    /// unsaved changes; the selector and the task list follow. While a run,
    /// a dialog or the task editor is on, it waits for them to end. In
    /// frmMainDocumentSync.cpp, as is the watch that calls it.
    void CheckDocumentOnDisk();
    /// Quits as Unload does, asking nothing: Kestrun's version of a document
    /// changed on disk meanwhile is kept beside it.
    void UnloadUnattended();
    /// Selects the first program of that name and runs it as "Launch It !"
    /// does, once the run in progress, if any, is over. False when there is no
    /// such program.
    bool RequestRun(const std::string& name);

    /// The selected entry of the program selector, or -1. An entry whose
    /// name the user has typed over in the selector's field is not selected.
    int SelectedIndex() const;
    /// The selected program's name; empty when none is selected.
    std::string SelectedProgramName() const override;

    // --- Entry points for the task editor and the Help menu -----------------
    /// Opens the task editor for a new task or, `editing`, the selected row;
    /// while it is open, only brings it to the front.
    virtual void OpenTaskEditor(bool editing);
    /// The open task editor, or null.
    QWidget* TaskEditor() const;
    /// Whether the task editor edits the selected row rather than adding a task.
    bool EditingTask() const;
    /// Help menu entries.
    virtual void ShowUsage();
    virtual void OpenWebSite();
    virtual void OpenProjectPage();
    virtual void ShowAbout();

    // --- TaskEditorHost ----------------------------------------------------------
    std::optional<std::string> SelectedProgram() override;
    std::optional<SelectedTask> SelectedTaskRow() override;

    // --- TrayForm -------------------------------------------------------------
    std::uintptr_t hWnd() const override;
    int ScaleMode() const override { return kScaleModeTwips; }
    void SetForeground() override;
    void ShowForm() override;
    void PopupMenu(QMenu& menu) override;

    // --- RunHost ----------------------------------------------------------------
    int ProgramCount() override;
    bool HasSelectedProgram() override;
    std::vector<TaskRow> TaskRows() override;
    void HideMainWindow() override { PutAway(); }
    void FocusAddProgram() override;
    void FocusProgramSelector() override;
    bool HasUnsavedChanges() override { return document_ && document_->Dirty(); }
    /// Saves pending changes; a failure is shown and they stay pending.
    bool SaveTaskDocument() override;

    /// The task document once the load handler made it, or null.
    TaskDocument* Document() const { return document_; }

    /// Twips per pixel of the screen, horizontally.
    double TwipsPerPixelX() const;

    // --- Controls and menus: none but the tray menu before EnsureControls -------
    QGroupBox* fraPrograms = nullptr;
    QComboBox* cboPrograms = nullptr;
    QPushButton* cmdAddProgram = nullptr;
    QPushButton* cmdDeleteProgram = nullptr;
    QPushButton* cmdEditProgram = nullptr;
    QPushButton* cmdLaunch = nullptr;
    QLabel* lblLaunchCaption = nullptr;
    QGroupBox* fraTasks = nullptr;
    TaskListView* lstTasks = nullptr;
    QPushButton* cmdAddTask = nullptr;
    QPushButton* cmdDeleteTask = nullptr;
    QPushButton* cmdEditTask = nullptr;
    QPushButton* cmdMoveUp = nullptr;
    QPushButton* cmdMoveDown = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdClose = nullptr;

    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpUsing = nullptr;
    QAction* mnuHelpWebSite = nullptr;
    QAction* mnuHelpDovu = nullptr;
    QAction* mnuAbout = nullptr;
    QMenu* mnuPopUpTray = nullptr;
    /// "Stop 'NAME'" and its separator, shown only while a run goes.
    QAction* mnuPopUpStop = nullptr;
    QAction* mnuPopUpStopSeparator = nullptr;
    QAction* mnuPopUpOpen = nullptr;
    QAction* mnuPopUpLogin = nullptr;
    QAction* mnuPopUpExit = nullptr;
    QMenu* mnuPopUpList = nullptr;
    QAction* mnuEnabled = nullptr;

    /// The 16 x 16 image that becomes the tray icon; emptied once handed over.
    QIcon trayImage;

signals:
    /// The window has unloaded: the application ends.
    void Unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

public:
    /// Makes the controls before any first showing.
    void setVisible(bool visible) override;

private:
    // Construction, in frmMainLayout.cpp.
    void CreateControls();
    void CreateMenus();
    void ConnectControls();
    TwipScale Scale() const;
    /// Places the window again at its first showing, by its outer size.
    void PlaceByOuterSize();
    void CreateTrayMenu();
    /// Fills the new controls with what the load handler read.
    void ShowLoadedState();

    bool SetUpTray();
    /// Checks "Start at Login" when Kestrun starts at login.
    void ShowLoginStart();
    /// Hides the window; with no tray to come back from, minimises it instead.
    void PutAway();
    void MoveSelectedTask(bool moveDown);
    /// Runs the requested programs, unless a run is on: its end does it.
    void RunRequested();
    /// Runs the tasks of a prepared run off this thread, serving events
    /// until they are over.
    void Perform(const RunPlan& plan);
    /// The tray menu's stop entry and the tooltip, for a run or for none.
    void ShowRunning(const std::string& program, bool running);
    /// Closes an open task editor as its Cancel does.
    void CloseTaskEditor();
    // The document changed on disk, in frmMainDocumentSync.cpp.
    void WatchDocument();
    bool ReloadDocument();
    void ShowReloadedPrograms();
    /// Saves, asking first when the file changed on disk; the report of a
    /// failed save, empty when nothing is left unsaved by a failure.
    std::string TrySave();
    /// Saves before quitting; false when it failed and the user chose to stay.
    bool SaveBeforeQuit();
    std::string KeepBothVersions();

    MainWindowContext context_;
    // The context's document, from the load handler on.
    TaskDocument* document_ = nullptr;
    std::unique_ptr<TaskRunner> runner_;
    bool popupEnabledChecked_ = false;
    // Programs asked for from the command line, run one after another.
    std::deque<std::string> requestedRuns_;
    // A run is on, maybe waiting in one of its message boxes.
    bool runInProgress_ = false;
    // Its tasks are being performed, and whether it was asked to stop.
    bool performing_ = false;
    std::atomic<bool> stopRun_ = false;
    StopKey* stopKey_ = nullptr;  // the platform's, made with the first run
    std::unique_ptr<Dialogs> runDialogs_;
    bool ended_ = false;
    bool trayMissing_ = false;
    bool unattended_ = false;
    QFileSystemWatcher* documentWatch_ = nullptr;
    QTimer* documentCheck_ = nullptr;
    // The window lost the keyboard to a modal box of the application.
    bool leftForModal_ = false;
    // What the load handler read, kept until the controls exist.
    std::vector<std::string> loadedPrograms_;
    std::vector<TaskRow> loadedRows_;
    // The editor and the Help menu.
    std::unique_ptr<TaskEditorLauncher> taskEditor_;
    std::unique_ptr<WebPageOpener> web_ = MakeWebPageOpener();
    HelpMenu help_{context_.dialogs, *web_};
};

}  // namespace kestrun
