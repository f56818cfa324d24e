#include "runner/TaskRunner.h"

#include "core/AsciiText.h"
#include "core/Dialogs.h"
#include "keys/KeyNotation.h"
#include "platform/FileExistence.h"
#include "platform/FileOpener.h"
#include "platform/KeySender.h"
#include "platform/PlatformError.h"
#include "platform/ProgramStarter.h"
#include "platform/Sleeper.h"
#include "platform/TerminationSignals.h"
#include "platform/WindowActivator.h"
#include "runner/FileName.h"

#include <algorithm>
#include <utility>

namespace kestrun {

void TaskRunner::Run()
{
    if (const std::optional<RunPlan> plan = Prepare())
        if (const std::optional<ClosingMessage> closing = Perform(*plan))
            ShowClosingMessage(*closing);
}

void TaskRunner::ShowClosingMessage(const ClosingMessage& message)
{
    dialogs_.Message(message.text, message.buttons, message.icon);
}

std::optional<RunPlan> TaskRunner::Prepare()
{
    if (host_.ProgramCount() <= 0) {
        dialogs_.Message("Please create a program first.", MessageButtons::Ok, MessageIcon::Information);
        host_.FocusAddProgram();
        return std::nullopt;
    }
    if (!host_.HasSelectedProgram()) {
        dialogs_.Message("Please select a program.", MessageButtons::Ok, MessageIcon::Information);
        host_.FocusProgramSelector();
        return std::nullopt;
    }
    host_.HideMainWindow();
    // A save that failed has told the user so and keeps the changes for the
    // next try; the program runs as it stands in memory.
    if (host_.HasUnsavedChanges())
        host_.SaveTaskDocument();

    // Every key sequence is read before the first task: a program with a
    // mistake in one does nothing at all rather than half of its work.
    RunPlan plan{host_.SelectedProgramName(), host_.TaskRows(), {}};
    program_ = plan.program;
    plan.keys.resize(plan.rows.size());
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        const TaskRow& row = plan.rows[i];
        if (row.type != kTypeKeystrokes || !ReadEnabled(row.enabled))
            continue;
        KeySequence keys = ParseKeySequence(row.value);
        if (!keys.ok()) {
            ShowClosingMessage(KeystrokesMessage(i + 1, row.value, keys.error, true));
            return std::nullopt;
        }
        plan.keys[i] = std::move(keys.strokes);
    }
    return plan;
}

bool TaskRunner::Stopping() const
{
    return TerminationRequested() || (services_.stopRequested && services_.stopRequested());
}

std::optional<ClosingMessage> TaskRunner::Perform(const RunPlan& plan)
{
    program_ = plan.program;
    closing_.reset();
    lastTaskId_ = 0;
    typedInto_ = 0;
    typedIntoTitle_.clear();
    waitedSince_ = false;
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        const TaskRow& row = plan.rows[i];
        if (Stopping())
            break;
        if (!ReadEnabled(row.enabled))
            continue;
        if (row.type == kTypeOpenFile) {
            if (OpenFile(row.value) == Outcome::Stop)
                break;
        } else if (row.type == kTypeWait) {
            Wait(row.value);
            waitedSince_ = true;
        } else if (row.type == kTypeKeystrokes) {
            if (Keystrokes(plan.keys[i], i + 1, row.value) == Outcome::Stop)
                break;
        }
    }
    return std::exchange(closing_, std::nullopt);
}

TaskRunner::Outcome TaskRunner::OpenFile(const std::string& path)
{
    bool exists = true;  // a test that cannot be made counts as present
    try {
        exists = services_.files.OrdinaryFileExists(path);
    } catch (const std::exception&) {
    }
    if (!exists) {
        const MessageAnswer answer = dialogs_.Message("[" + path + "] file not found.\r\n\r\nContinue?",
                                                      MessageButtons::YesNo, MessageIcon::Exclamation,
                                                      "File Not Found");
        return answer == MessageAnswer::Yes ? Outcome::Next : Outcome::Stop;
    }

    bool program = EqualsIgnoringAsciiCase(GetFileExtension(path), "exe");
    if (!program) {
        try {
            program = services_.programs.IsProgramFile(path);
        } catch (const std::exception&) {
        }
    }
    if (program) {
        try {
            lastTaskId_ = services_.programs.Start(path);
        } catch (const std::exception&) {
        }
        return Outcome::Next;
    }

    bool opened = false;
    try {
        opened = services_.opener.Open(path);
    } catch (const std::exception&) {
    }
    if (!opened) {
        closing_ = ClosingMessage{"An Error has occurred trying to open [" + path + "].", MessageButtons::Ok,
                                  MessageIcon::Critical};
        return Outcome::Stop;
    }
    return Outcome::Next;
}

void TaskRunner::Wait(const std::string& value)
{
    // A negative wait can only come from a hand-edited document; it is skipped
    // rather than turned into an endless one.
    if (const auto milliseconds = WaitMilliseconds(value); milliseconds && *milliseconds > 0) {
        try {
            services_.sleeper.Sleep(*milliseconds);
        } catch (const std::exception&) {
        }
    }
}

TaskRunner::Outcome TaskRunner::Keystrokes(const std::vector<KeyStroke>& strokes, std::size_t row,
                                           const std::string& value)
{
    // A program started in this run may still be on its way to its first
    // window; its keys must not go to whatever window is active meanwhile.
    try {
        if (lastTaskId_ > 0)
            services_.windows.WaitForWindow(lastTaskId_, kFirstWindowLimit);
    } catch (const std::exception&) {
    }
    if (Stopping())
        return Outcome::Stop;
    bool activated = false;
    try {
        services_.windows.Activate(lastTaskId_);
        activated = true;
    } catch (const std::exception&) {
    }
    // During a Wait another window may have taken the focus: unless the run
    // has just brought its program forward, the keys go only into the window
    // the run typed into before, or one its application opened meanwhile.
    if (std::exchange(waitedSince_, false) && !activated && typedInto_ != 0) {
        if (const std::uint64_t active = services_.windows.ActiveWindowId();
            active != 0 && active != typedInto_ && !services_.windows.SameApplication(typedInto_, active)) {
            // Its title now, or as it was when typed into when it is gone.
            const std::string title = services_.windows.WindowTitle(typedInto_);
            closing_ = FocusLostMessage(row, value, title.empty() ? typedIntoTitle_ : title);
            return Outcome::Stop;
        }
    }
    try {
        services_.keys.SendKeys(strokes, true);
        typedInto_ = services_.windows.ActiveWindowId();
        typedIntoTitle_ = typedInto_ != 0 ? services_.windows.WindowTitle(typedInto_) : std::string();
    } catch (const FocusLostError& lost) {
        if (!Stopping())
            closing_ = FocusLostMessage(row, value, lost.window);
        return Outcome::Stop;
    } catch (const std::exception& error) {
        // Typing stopped by the user or a termination signal ends the run
        // without a word.
        if (!Stopping())
            closing_ = KeystrokesMessage(row, value, error.what(), false);
        return Outcome::Stop;
    }
    return Outcome::Next;
}

std::string TaskRunner::TaskName(std::size_t row, const std::string& value) const
{
    // Enough of the value to know the task by; cut on a character boundary.
    std::size_t cut = std::min<std::size_t>(value.size(), 60);
    while (cut < value.size() && cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
        --cut;
    const std::string shown = value.substr(0, cut) + (cut < value.size() ? "..." : "");
    return "Task " + std::to_string(row) + " of [" + program_ + "], Keystrokes [" + shown + "]";
}

ClosingMessage TaskRunner::FocusLostMessage(std::size_t row, const std::string& value, const std::string& window) const
{
    return {"Typing stopped: the window " + (window.empty() ? std::string("it typed into") : "\"" + window + "\"") +
                " was no longer active.\r\n" + TaskName(row, value) +
                " typed nothing into another window.\r\n\r\nThe run stops here.",
            MessageButtons::Ok, MessageIcon::Exclamation};
}

ClosingMessage TaskRunner::KeystrokesMessage(std::size_t row, const std::string& value, const std::string& why,
                                             bool before) const
{
    return {TaskName(row, value) + ", cannot be typed:\r\n" + why + "\r\n\r\n" +
                (before ? "The program was not run." : "The run stops here."),
            MessageButtons::Ok, MessageIcon::Critical};
}

}  // namespace kestrun
