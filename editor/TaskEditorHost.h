#pragma once

#include "document/TaskDocument.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kestrun {

class CRegSettings;
class Dialogs;
class FileOpener;

/// The row selected in the main window's task list: its number (from 1,
/// equal to the task's `index`) and what it shows.
struct SelectedTask {
    int row = 0;
    TaskRow task;
};

/// What the task editor needs from the main window. The editor is modeless,
/// so it asks at the moment it needs an answer, never remembers one.
class TaskEditorHost {
public:
    virtual ~TaskEditorHost() = default;

    /// The name of the program selected in the program selector, or nothing.
    virtual std::optional<std::string> SelectedProgram() = 0;
    /// The selected row of the task list, or nothing.
    virtual std::optional<SelectedTask> SelectedTaskRow() = 0;
    /// Rebuilds the task list and the buttons for the selected program.
    virtual void RefreshSelectedProgram() = 0;
};

/// Everything the task editor works with, all owned elsewhere.
struct TaskEditorContext {
    TaskEditorHost& host;
    TaskDocument& document;
    Dialogs& dialogs;
    /// Opens the keystroke help page with its associated application.
    FileOpener& opener;
    /// The folder of the keystroke help page: the executable's, or that of
    /// an installed copy's shared files.
    std::filesystem::path programFolder;
    /// Where the editor's position is kept; none: it is neither kept nor restored.
    CRegSettings* settings = nullptr;
};

}  // namespace kestrun
