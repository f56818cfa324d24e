// "Launch It !", the stop of a run, and what the task runner reads from the main window.
#include "app/frmMain.h"

#include "app/GuiThreadDialogs.h"
#include "app/TaskListView.h"
#include "platform/StopKey.h"
#include "tray/CSysTray.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <thread>

namespace kestrun {

namespace {

// A run that types Pause itself would stop itself with the key held.
bool TypesThePauseKey(const RunPlan& plan)
{
    for (const std::vector<KeyStroke>& strokes : plan.keys)
        for (const KeyStroke& stroke : strokes)
            if (stroke.named && stroke.key == NamedKey::Break)
                return true;
    return false;
}

}  // namespace

void frmMain::cmdLaunch_Click()
{
    // The platform's services are made at the first run, off the start-up path.
    if (!runner_) {
        runDialogs_ = std::make_unique<GuiThreadDialogs>(context_.dialogs, *this);
        RunServices services = context_.runServices();
        services.stopRequested = [this] { return RunStopRequested(); };
        stopKey_ = services.stopKey;
        runner_ = std::make_unique<TaskRunner>(*this, *runDialogs_, services);
    }
    if (runInProgress_) {
        // The window was brought back during a run: this one follows it.
        if (HasSelectedProgram())
            requestedRuns_.push_back(SelectedProgramName());
        PutAway();
        return;
    }
    CheckDocumentOnDisk();  // a hand edit the watch has not passed on yet
    runInProgress_ = true;
    stopRun_ = false;
    if (const std::optional<RunPlan> plan = runner_->Prepare())
        Perform(*plan);
    runInProgress_ = false;
    // Runs asked for by later starts while this one was on follow it.
    if (!requestedRuns_.empty())
        QTimer::singleShot(0, this, [this] { RunRequested(); });
}

void frmMain::Perform(const RunPlan& plan)
{
    // The tasks run on a thread of their own, so that the tray, a stop and
    // later starts are answered while they wait or type; this handler returns
    // once they are over, as it always has.
    ShowRunning(plan.program, true);
    // Pause stops the run where the session lets Kestrun have the key.
    const bool keyHeld = stopKey_ && !TypesThePauseKey(plan) && stopKey_->Hold([this] { stopRun_ = true; });
    std::atomic<bool> done = false;
    std::optional<ClosingMessage> closing;
    QEventLoop loop;
    std::thread worker([this, &plan, &done, &loop, &closing] {
        closing = runner_->Perform(plan);
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    // The application quits meanwhile: the run stops, and any question it
    // asks on its way out is still answered here.
    if (!done)
        stopRun_ = true;
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    worker.join();
    if (keyHeld)
        stopKey_->Release();
    ShowRunning({}, false);
    // The run has ended when its closing message shows: the tray is idle and
    // a stop finds nothing to stop. A run asked for meanwhile still waits.
    if (closing)
        runner_->ShowClosingMessage(*closing);
}

bool frmMain::StopRun()
{
    if (!performing_)
        return false;
    stopRun_ = true;
    return true;
}

void frmMain::ShowRunning(const std::string& program, bool running)
{
    performing_ = running;
    if (mnuPopUpStop) {
        mnuPopUpStop->setText(QStringLiteral("Stop '%1'").arg(QString::fromStdString(program)));
        mnuPopUpStop->setVisible(running);
        mnuPopUpStopSeparator->setVisible(running);
    }
    if (context_.tray && !ended_) {
        try {
            context_.tray->SetTrayTip(running ? "Kestrun: running '" + program + "'" : "Kestrun");
        } catch (const std::exception&) {
        }
    }
}

int frmMain::ProgramCount() { return cboPrograms ? cboPrograms->count() : 0; }

bool frmMain::HasSelectedProgram() { return SelectedIndex() >= 0; }

std::vector<TaskRow> frmMain::TaskRows() { return lstTasks ? lstTasks->Rows() : std::vector<TaskRow>(); }

void frmMain::FocusAddProgram() { cmdAddProgram->setFocus(); }

void frmMain::FocusProgramSelector() { cboPrograms->setFocus(); }

}  // namespace kestrun
