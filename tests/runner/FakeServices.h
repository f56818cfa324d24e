#pragma once

#include "platform/FileExistence.h"
#include "platform/FileOpener.h"
#include "keys/KeyNotation.h"
#include "platform/KeySender.h"
#include "platform/PlatformError.h"
#include "platform/ProgramStarter.h"
#include "platform/Sleeper.h"
#include "platform/StopKey.h"
#include "platform/WindowActivator.h"
#include "runner/TaskRunner.h"

#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kestrun::test {

/// Every platform service of a run, answering as a test sets up and writing
/// each call into one log: "exists x", "start x", "open x", "sleep 5000",
/// "activate 7", "keys abc".
class FakeServices : public FileExistence, public ProgramStarter, public FileOpener, public Sleeper,
                     public WindowActivator, public KeySender, public StopKey {
public:
    bool Hold(std::function<void()> pressed) override
    {
        ++holds;
        pressStopKey = std::move(pressed);
        return true;
    }
    void Release() override { ++releases, pressStopKey = nullptr; }

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
    bool Open(const std::string& path) override { return log.push_back("open " + path), !unopenable.contains(path); }
    void Sleep(std::uint32_t milliseconds) override
    {
        log.push_back("sleep " + std::to_string(milliseconds));
        if (duringSleep)
            duringSleep();
    }
    void Activate(std::int32_t taskId) override
    {
        log.push_back("activate " + std::to_string(taskId));
        if (taskId == 0)
            throw PlatformError("no window");
    }
    std::uint64_t ActiveWindowId() override
    {
        if (activeWindows.empty())
            return 0;
        const std::uint64_t active = activeWindows.front();
        if (activeWindows.size() > 1)
            activeWindows.erase(activeWindows.begin());
        return active;
    }
    std::string WindowTitle(std::uint64_t id) override
    {
        const auto title = titles.find(id);
        return title != titles.end() ? title->second : "";
    }
    bool SameApplication(std::uint64_t noted, std::uint64_t other) override
    {
        return sameApplication.contains({noted, other});
    }
    bool WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit) override
    {
        return waits.push_back({taskId, limit}), true;
    }
    void SendKeys(const std::vector<KeyStroke>& strokes, bool wait) override
    {
        log.push_back("keys " + FormatKeySequence(strokes) + (wait ? "" : " (no wait)"));
        if (untypable.contains(FormatKeySequence(strokes)))
            throw PlatformError("The window has stopped taking keys.");
        if (const auto lost = focusLost.find(FormatKeySequence(strokes)); lost != focusLost.end())
            throw FocusLostError(lost->second);
    }

    RunServices Services()
    {
        RunServices services{*this, *this, *this, *this, *this, *this};
        services.stopKey = this;
        return services;
    }

    /// Called within each sleep, on the thread of the run.
    std::function<void()> duringSleep;
    /// The stop key's press while a run holds it (else empty), and how often it was held and released.
    std::function<void()> pressStopKey;
    int holds = 0, releases = 0;
    /// The active windows ActiveWindowId reports, one a call; the last stays.
    std::vector<std::uint64_t> activeWindows;
    /// The windows' titles, by id; a window not here has none or is gone.
    std::map<std::uint64_t, std::string> titles;
    /// The pairs (noted, other) whose windows belong to one application.
    std::set<std::pair<std::uint64_t, std::uint64_t>> sameApplication;
    /// Keys whose typing loses the focus, and the name of the window left.
    std::map<std::string, std::string> focusLost;
    std::set<std::string> missing, failingExistence, executables, unstartable, unopenable, untypable;
    std::int32_t nextTaskId = 100;
    std::vector<std::string> log;
    std::vector<std::pair<std::int32_t, std::chrono::milliseconds>> waits;  // kept out of the log
};

}  // namespace kestrun::test
