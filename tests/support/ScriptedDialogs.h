#pragma once

#include "core/Dialogs.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrun::test {

/// Dialogs whose answers a test queues in advance. Every dialog shown is
/// recorded; a dialog with no queued answer is answered Ok / Cancel / nothing.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        std::string kind;  // "message", "input" or "file"
        std::string text;  // message text, prompt or title
        std::string title;
        MessageButtons buttons = MessageButtons::Ok;
        MessageIcon icon = MessageIcon::None;
    };

    MessageAnswer Message(const std::string& text, MessageButtons buttons, MessageIcon icon,
                          const std::string& title) override
    {
        shown.push_back({"message", text, title, buttons, icon});
        if (duringMessage)
            duringMessage();
        return Next(answers, buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel);
    }
    std::optional<std::string> Input(const std::string& prompt, const std::string& title, const std::string&) override
    {
        shown.push_back({"input", prompt, title});
        return Next(inputs, {});
    }
    std::optional<std::string> OpenFile(const std::string& title, const std::vector<FileFilter>& filters,
                                        const std::string&) override
    {
        shown.push_back({"file", title, title});
        lastFilters = filters;
        return Next(files, {});
    }

    std::deque<MessageAnswer> answers;
    std::deque<std::optional<std::string>> inputs, files;
    std::vector<Shown> shown;
    std::vector<FileFilter> lastFilters;
    /// Called while each message box shows.
    std::function<void()> duringMessage;

private:
    template <typename T>
    static T Next(std::deque<T>& queue, T none)
    {
        if (!queue.empty())
            none = queue.front(), queue.pop_front();
        return none;
    }
};

}  // namespace kestrun::test
