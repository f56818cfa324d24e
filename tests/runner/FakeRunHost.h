#pragma once

#include "runner/TaskRunner.h"

#include <string>
#include <vector>

namespace kestrun::test {

/// A main window for runs: a program selector, task rows, and a log of what
/// the run did to the window ("hide", "save", "focus cmdAddProgram", ...).
class FakeRunHost : public RunHost {
public:
    int ProgramCount() override { return programCount; }
    bool HasSelectedProgram() override { return selected; }
    std::vector<TaskRow> TaskRows() override { return rows; }
    void HideMainWindow() override { log.push_back("hide"); }
    void FocusAddProgram() override { log.push_back("focus cmdAddProgram"); }
    void FocusProgramSelector() override { log.push_back("focus cboPrograms"); }
    std::string SelectedProgramName() const override { return "Mine"; }
    bool HasUnsavedChanges() override { return unsaved; }
    bool SaveTaskDocument() override { return log.push_back("save"), true; }

    int programCount = 1;
    bool selected = true;
    bool unsaved = false;
    std::vector<TaskRow> rows;
    std::vector<std::string> log;
};

}  // namespace kestrun::test
