// "Launch It !" and what the task runner reads from the main window.
#include "app/frmMain.h"

#include "app/TaskListView.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>

namespace kestrun {

void frmMain::cmdLaunch_Click()
{
    // The platform's services are made at the first run, off the start-up path.
    if (!runner_)
        runner_ = std::make_unique<TaskRunner>(*this, context_.dialogs, context_.runServices());
    CheckDocumentOnDisk();  // a hand edit the watch has not passed on yet
    runInProgress_ = true;
    runner_->Run();
    runInProgress_ = false;
    // Runs asked for by later starts while this one was on follow it.
    if (!requestedRuns_.empty())
        QTimer::singleShot(0, this, [this] { RunRequested(); });
}

int frmMain::ProgramCount() { return cboPrograms ? cboPrograms->count() : 0; }

bool frmMain::HasSelectedProgram() { return SelectedIndex() >= 0; }

std::vector<TaskRow> frmMain::TaskRows() { return lstTasks ? lstTasks->Rows() : std::vector<TaskRow>(); }

void frmMain::FocusAddProgram() { cmdAddProgram->setFocus(); }

void frmMain::FocusProgramSelector() { cboPrograms->setFocus(); }


}  // namespace kestrun
