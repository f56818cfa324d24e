#pragma once

#include "editor/TaskEditorHost.h"

#include <QPointer>

namespace kestrun {

class frmAddTask;

/// The main window's Tasks "New..." and "Edit..." commands: they show the one
/// task editor, loading it afresh when it is closed and only bringing it to
/// the front when it is open.
class TaskEditorLauncher {
public:
    explicit TaskEditorLauncher(TaskEditorContext context) : context_(std::move(context)) {}
    ~TaskEditorLauncher();
    TaskEditorLauncher(const TaskEditorLauncher&) = delete;
    TaskEditorLauncher& operator=(const TaskEditorLauncher&) = delete;

    /// Tasks "New...": shows the editor; it opens in add mode unless an edit
    /// is already under way in it.
    void NewTask();
    /// Tasks "Edit...": sets Editing() and shows the editor, which fills
    /// its fields from the selected row when it is loaded now. Does nothing
    /// while no row is selected.
    void EditTask();

    /// The open editor, or null.
    frmAddTask* Editor() const;
    /// Whether the editor edits the selected task rather than adding one;
    /// set by EditTask, cleared when the editor closes.
    bool Editing() const { return editing_; }

private:
    void Show();

    TaskEditorContext context_;
    QPointer<frmAddTask> editor_;
    bool editing_ = false;
};

}  // namespace kestrun
