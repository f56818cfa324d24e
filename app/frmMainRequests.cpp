// What a later start of Kestrun asks of the running main window.
#include "app/frmMain.h"

#include <QComboBox>
#include <QSignalBlocker>

#include <algorithm>

namespace kestrun {

bool frmMain::HasProgram(const std::string& name) const
{
    const std::vector<std::string> names = ProgramNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::vector<std::string> frmMain::ProgramNames() const
{
    return document_ && !ended_ ? document_->ProgramNames() : std::vector<std::string>();
}

bool frmMain::RequestRun(const std::string& name)
{
    if (!HasProgram(name))
        return false;
    requestedRuns_.push_back(name);
    RunRequested();
    return true;
}

void frmMain::RunRequested()
{
    // A request that comes while a run waits in a message box would start a
    // run within the run: it waits for the end of the one in progress.
    if (runInProgress_)
        return;
    while (!requestedRuns_.empty() && !ended_) {
        const std::string next = requestedRuns_.front();
        requestedRuns_.pop_front();
        EnsureControls();
        const int index =
            cboPrograms->findText(QString::fromStdString(next), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0)
            continue;  // deleted since it was asked for
        {
            const QSignalBlocker quiet(cboPrograms);
            cboPrograms->setCurrentIndex(index);
        }
        RefreshSelectedProgram();
        cmdLaunch_Click();
    }
}

}  // namespace kestrun
