#include "editor/TaskEditorLauncher.h"

#include "editor/frmAddTask.h"

namespace kestrun {

TaskEditorLauncher::~TaskEditorLauncher() { delete editor_.data(); }

frmAddTask* TaskEditorLauncher::Editor() const
{
    // A closed editor lingers until the event loop deletes it.
    return editor_ && editor_->isVisible() ? editor_.data() : nullptr;
}

void TaskEditorLauncher::NewTask() { Show(); }

void TaskEditorLauncher::EditTask()
{
    if (!context_.host.SelectedTaskRow())
        return;
    editing_ = true;
    Show();
}

void TaskEditorLauncher::Show()
{
    if (frmAddTask* open = Editor()) {
        open->raise();
        open->activateWindow();
        return;
    }
    delete editor_.data();
    editor_ = new frmAddTask(context_, editing_);
    QObject::connect(editor_, &QDialog::finished, editor_, &QObject::deleteLater);
    editor_->show();
    editor_->raise();
    editor_->activateWindow();
}

}  // namespace kestrun
