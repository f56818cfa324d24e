#pragma once

#include "core/Dialogs.h"

class QObject;

namespace kestrun {

/// Dialogs that may be asked from any thread: each question is put to
/// `dialogs` on the thread of `owner` (the user-interface thread), and the
/// asking thread waits for the answer. Asked on that thread, it asks at once.
class GuiThreadDialogs : public Dialogs {
public:
    GuiThreadDialogs(Dialogs& dialogs, QObject& owner) : dialogs_(dialogs), owner_(owner) {}

    MessageAnswer Message(const std::string& text, MessageButtons buttons, MessageIcon icon,
                          const std::string& title = {}) override;
    std::optional<std::string> Input(const std::string& prompt, const std::string& title,
                                     const std::string& initialText) override;
    std::optional<std::string> OpenFile(const std::string& title, const std::vector<FileFilter>& filters,
                                        const std::string& initialPath) override;

private:
    template <typename Ask>
    auto OnOwnerThread(Ask ask);

    Dialogs& dialogs_;
    QObject& owner_;
};

}  // namespace kestrun
