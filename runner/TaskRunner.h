#pragma once

#include "document/TaskDocument.h"
#include "platform/KeyStroke.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrun {

class Dialogs;
class FileExistence;
class FileOpener;
class KeySender;
class ProgramStarter;
class Sleeper;
class WindowActivator;

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
    /// Writes the task document (called when gDocumentDirty is set). False
    /// when that failed; the failure has been shown and the changes stay.
    virtual bool SaveTaskDocument() = 0;
};

/// The services a run drives, all owned elsewhere.
struct RunServices {
    FileExistence& files;
    ProgramStarter& programs;
    FileOpener& opener;
    Sleeper& sleeper;
    WindowActivator& windows;
    KeySender& keys;
    /// Whether the user asked the run to stop; none: never. Asked from any
    /// thread, between tasks and by the waiting and typing services.
    std::function<bool()> stopRequested = {};
};

/// What a run has read before its first task: the rows, their parsed keys and
/// the program's name.
struct RunPlan {
    std::string program;
    std::vector<TaskRow> rows;
    std::vector<std::vector<KeyStroke>> keys;
};

/// How long "Keystrokes" waits for the first window of a program started in
/// the run that is still running without one.
inline constexpr std::chrono::seconds kFirstWindowLimit{10};

/// Runs the selected program's tasks: the "Launch It !" command.
class TaskRunner {
public:
    TaskRunner(RunHost& host, Dialogs& dialogs, RunServices services)
        : host_(host), dialogs_(dialogs), services_(services) {}

    /// Checks that a program is selected, hides the main window, saves pending
    /// changes, then performs each enabled row in order. A key sequence that
    /// cannot be read stops the run before its first task, and keys that
    /// cannot be typed stop it there, each with a message naming the task;
    /// so do a No to a missing file and a file that cannot be opened. Other
    /// failures of one step are ignored.
    void Run();

    /// The part of Run before the first task, on the thread of the main
    /// window: the checks, hiding, saving and reading every key sequence.
    /// Nothing when the run does not start.
    std::optional<RunPlan> Prepare();
    /// The tasks of a prepared run, in order, on any thread: the dialogs must
    /// take calls from it. Ends before the next task, or within the task it
    /// is in, once a stop was asked for; a stop shows no message.
    void Perform(const RunPlan& plan);

    /// The identifier of the program started last in the latest run (0: none).
    std::int32_t LastTaskId() const { return lastTaskId_; }

private:
    enum class Outcome { Next, Stop };

    Outcome OpenFile(const std::string& path);
    void Wait(const std::string& value);
    Outcome Keystrokes(const std::vector<KeyStroke>& strokes, std::size_t row, const std::string& value);
    /// Tells that the keys of a row cannot be typed, and why.
    void ReportKeystrokes(std::size_t row, const std::string& value, const std::string& why, bool before);
    /// Tells that typing stopped because the window it typed into lost the focus.
    void ReportFocusLost(std::size_t row, const std::string& value, const std::string& window);
    /// "Task 2 of [NAME], Keystrokes [VALUE]", the value cut to 60 characters.
    std::string TaskName(std::size_t row, const std::string& value) const;
    bool Stopping() const;

    RunHost& host_;
    Dialogs& dialogs_;
    RunServices services_;
    std::int32_t lastTaskId_ = 0;
    std::string program_;  // the name of the program running
    // The window the last Keystrokes task typed into (0: unknown), and
    // whether a Wait came since.
    std::uint64_t typedInto_ = 0;
    bool waitedSince_ = false;
};

/// Reads an Enabled text: false only for "False" in any letter case or a
/// number equal to zero; any other text, readable or not, counts as true.
bool ReadEnabled(const std::string& text);

/// The milliseconds a "Wait" value asks for: the number at its start times
/// 1000, rounded half to even. Nothing when that is negative or does not fit
/// a signed 32-bit count.
std::optional<std::uint32_t> WaitMilliseconds(const std::string& value);

}  // namespace kestrun
