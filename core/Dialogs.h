#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrun {

enum class MessageIcon { None, Information, Exclamation, Critical, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

/// One choice of a file chooser's type list: the text shown and its patterns,
/// as in { "Applications", { "*.exe" } }. With `programs`, the choice also
/// shows every file the user may run, whatever its name: the files that
/// "Open File" starts as programs.
struct FileFilter {
    std::string label;
    std::vector<std::string> patterns;
    bool programs = false;
};

/// Every question and notice the application puts to the user: message boxes,
/// input boxes and file choosers. The application shows real dialogs; tests
/// script the answers and record what was asked. Texts are UTF-8.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    /// A message box; returns the button pressed. An empty title means the
    /// application's title, "Kestrun".
    virtual MessageAnswer Message(const std::string& text, MessageButtons buttons, MessageIcon icon,
                                  const std::string& title = {}) = 0;

    /// An input box with a prompt and an initial text. Returns the text entered,
    /// or nothing when the user cancelled.
    virtual std::optional<std::string> Input(const std::string& prompt, const std::string& title,
                                             const std::string& initialText) = 0;

    /// A file chooser for an existing file. Returns its full path, or nothing
    /// when the user cancelled.
    virtual std::optional<std::string> OpenFile(const std::string& title,
                                                const std::vector<FileFilter>& filters,
                                                const std::string& initialPath) = 0;
};

}  // namespace kestrun
