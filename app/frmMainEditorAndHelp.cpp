// The main window's way into the task editor and the Help menu's entries.
#include "app/frmMain.h"

#include "app/TaskListView.h"
#include "editor/TaskEditorLauncher.h"
#include "editor/frmAddTask.h"

#include <QComboBox>

namespace kestrun {

std::optional<std::string> frmMain::SelectedProgram()
{
    if (SelectedIndex() < 0)
        return std::nullopt;
    return SelectedProgramName();
}

std::optional<SelectedTask> frmMain::SelectedTaskRow()
{
    const int row = lstTasks ? lstTasks->SelectedRow() : 0;
    if (row == 0)
        return std::nullopt;
    return SelectedTask{row, lstTasks->Row(row)};
}

void frmMain::OpenTaskEditor(bool editing)
{
    // The platform's services are made at the first opening, off the start-up path.
    if (!taskEditor_)
        taskEditor_ = std::make_unique<TaskEditorLauncher>(TaskEditorContext{
            *this, *document_, context_.dialogs, context_.runServices().opener,
            context_.helpFolder.empty() ? context_.folder : context_.helpFolder,
            context_.settings});
    // EditTask sets the editing flag itself, and only with a row selected.
    if (editing)
        taskEditor_->EditTask();
    else
        taskEditor_->NewTask();
}

QWidget* frmMain::TaskEditor() const { return taskEditor_ ? taskEditor_->Editor() : nullptr; }

bool frmMain::EditingTask() const { return taskEditor_ && taskEditor_->Editing(); }

void frmMain::CloseTaskEditor()
{
    if (taskEditor_)
        if (frmAddTask* editor = taskEditor_->Editor())
            editor->reject();
}

void frmMain::ShowUsage() { help_.Using(); }
void frmMain::OpenWebSite() { help_.WebSite(); }
void frmMain::OpenProjectPage() { help_.Dovu(); }
void frmMain::ShowAbout() { help_.About(this); }

}  // namespace kestrun
