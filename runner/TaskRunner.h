#pragma once

#include "platform/KeyStroke.h"
#include "runner/RunHost.h"
#include "runner/RunPlan.h"
#include "runner/RunServices.h"
#include "runner/TaskValues.h"
#include "core/Dialogs.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrun {

/// How long "Keystrokes" waits for the first window of a program started in
/// the run that is still running without one.
inline constexpr std::chrono::seconds kFirstWindowLimit{10};

/// The message that tells why a run stopped, shown once the run has ended.
struct ClosingMessage {
    std::string text;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
};

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
    /// is in, once a stop was asked for; a stop shows no message. A failure
    /// that ends the run is not shown here but returned, for the caller to
    /// show once the run counts as ended (Run shows it at once).
    std::optional<ClosingMessage> Perform(const RunPlan& plan);
    /// Shows a run's closing message.
    void ShowClosingMessage(const ClosingMessage& message);

    /// The identifier of the program started last in the latest run (0: none).
    std::int32_t LastTaskId() const { return lastTaskId_; }

private:
    enum class Outcome { Next, Stop };

    Outcome OpenFile(const std::string& path);
    void Wait(const std::string& value);
    Outcome Keystrokes(const std::vector<KeyStroke>& strokes, std::size_t row, const std::string& value);
    /// That the keys of a row cannot be typed, and why.
    ClosingMessage KeystrokesMessage(std::size_t row, const std::string& value, const std::string& why,
                                     bool before) const;
    /// That typing stopped because the window it typed into lost the focus.
    ClosingMessage FocusLostMessage(std::size_t row, const std::string& value, const std::string& window) const;
    /// "Task 2 of [NAME], Keystrokes [VALUE]", the value cut to 60 characters.
    std::string TaskName(std::size_t row, const std::string& value) const;
    bool Stopping() const;

    RunHost& host_;
    Dialogs& dialogs_;
    RunServices services_;
    std::int32_t lastTaskId_ = 0;
    std::optional<ClosingMessage> closing_;  // why the run in progress stopped
    std::string program_;  // the name of the program running
    // The window the last Keystrokes task typed into (0: unknown), its title
    // then, and whether a Wait came since.
    std::uint64_t typedInto_ = 0;
    std::string typedIntoTitle_;
    bool waitedSince_ = false;
};

}  // namespace kestrun
