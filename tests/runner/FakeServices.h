#pragma once

#include "platform/FileExistence.h"
#include "platform/FileOpener.h"
#include "platform/KeySender.h"
#include "platform/PlatformError.h"
#include "platform/ProgramStarter.h"
#include "platform/Sleeper.h"
#include "platform/WindowActivator.h"
#include "runner/TaskRunner.h"

#include <chrono>
#include <set>
#include <string>
#include <vector>

namespace kestrun::test {

/// The main window and every platform service of a run, answering as a test
/// sets up and writing each call into one log: "hide", "save", "focus
/// cboPrograms", "exists x", "start x", "open x", "sleep 5000", "activate 7",
/// "wait for 7 10s", "keys abc".
class FakeServices : public RunHost, public FileExistence, public ProgramStarter, public FileOpener,
                     public Sleeper, public WindowActivator, public KeySender {
public:
    int ProgramCount() override { return programCount; }
    bool HasSelectedProgram() override { return selected; }
    std::vector<TaskRow> TaskRows() override { return rows; }
    void HideMainWindow() override { log.push_back("hide"); }
    void FocusAddProgram() override { log.push_back("focus cmdAddProgram"); }
    void FocusProgramSelector() override { log.push_back("focus cboPrograms"); }
    void SaveTaskDocument() override { log.push_back("save"); }

    bool OrdinaryFileExists(const std::string& path) override
    {
        log.push_back("exists " + path);
        if (failingExistence.contains(path))
            throw PlatformError("drive not ready");
        return !missing.contains(path);
    }
    bool IsProgramFile(const std::string& path) override { return executables.contains(path); }
    std::int32_t Start(const std::string& path) override
    {
        log.push_back("start " + path);
        if (unstartable.contains(path))
            throw PlatformError("cannot start");
        return nextTaskId++;
    }
    bool Open(const std::string& path) override
    {
        log.push_back("open " + path);
        return !unopenable.contains(path);
    }
    void Sleep(std::uint32_t milliseconds) override { log.push_back("sleep " + std::to_string(milliseconds)); }
    void Activate(std::int32_t taskId) override
    {
        log.push_back("activate " + std::to_string(taskId));
        if (taskId == 0)
            throw PlatformError("no window");
    }
    bool WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit) override
    {
        log.push_back("wait for " + std::to_string(taskId) + " " + std::to_string(limit.count() / 1000) + "s");
        return true;
    }
    void SendKeys(const std::string& text, bool wait) override
    {
        log.push_back("keys " + text + (wait ? "" : " (no wait)"));
        if (text == "{BAD")
            throw PlatformError("malformed");
    }

    RunServices Services() { return {*this, *this, *this, *this, *this, *this}; }

    int programCount = 1;
    bool selected = true;
    std::vector<TaskRow> rows;
    std::set<std::string> missing, failingExistence, executables, unstartable, unopenable;
    std::int32_t nextTaskId = 100;
    std::vector<std::string> log;
};

}  // namespace kestrun::test
