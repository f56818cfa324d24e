// "Launch It !" and what the task runner reads from the main window.
#include "app/frmMain.h"

#include "app/TaskListView.h"

#include <QComboBox>
#include <QPushButton>

namespace kestrun {

void frmMain::cmdLaunch_Click()
{
    // The platform's services are made at the first run, off the start-up path.
    if (!runner_)
        runner_ = std::make_unique<TaskRunner>(*this, context_.dialogs, context_.runServices());
    runner_->Run();
}

int frmMain::ProgramCount() { return cboPrograms ? cboPrograms->count() : 0; }

bool frmMain::HasSelectedProgram() { return SelectedIndex() >= 0; }

std::vector<TaskRow> frmMain::TaskRows() { return lstTasks ? lstTasks->Rows() : std::vector<TaskRow>(); }

void frmMain::FocusAddProgram() { cmdAddProgram->setFocus(); }

void frmMain::FocusProgramSelector() { cboPrograms->setFocus(); }

void frmMain::SaveTaskDocument()
{
    if (document_)
        document_->SaveTaskDocument();
}

}  // namespace kestrun
