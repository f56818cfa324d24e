#pragma once

#include "document/TaskDocument.h"

#include <string>
#include <vector>

namespace kestrun {

/// What a run needs from the main window.
class RunHost {
public:
    virtual ~RunHost() = default;

    /// The number of entries of the program selector.
    virtual int ProgramCount() = 0;
    /// Whether one of them is selected.
    virtual bool HasSelectedProgram() = 0;
    /// The rows of the task list, top to bottom, as shown.
    virtual std::vector<TaskRow> TaskRows() = 0;
    virtual void HideMainWindow() = 0;
    virtual void FocusAddProgram() = 0;
    virtual void FocusProgramSelector() = 0;
    /// The name of the selected program.
    virtual std::string SelectedProgramName() const = 0;
    /// Whether the task document holds changes not yet saved.
    virtual bool HasUnsavedChanges() = 0;
    /// Writes the task document (called when it holds unsaved changes). False
    /// when that failed; the failure has been shown and the changes stay.
    virtual bool SaveTaskDocument() = 0;
};

}  // namespace kestrun
