#pragma once

#include "core/Dialogs.h"

class QWidget;

namespace kestrun {

/// The dialogs as Qt shows them: QMessageBox, QInputDialog and QFileDialog,
/// application-modal, over the application's active window, or over the
/// given window when none is active.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* owner = nullptr) : owner_(owner) {}

    void SetOwner(QWidget* owner) { owner_ = owner; }

    MessageAnswer Message(const std::string& text, MessageButtons buttons, MessageIcon icon,
                          const std::string& title = {}) override;
    std::optional<std::string> Input(const std::string& prompt, const std::string& title,
                                     const std::string& initialText) override;
    std::optional<std::string> OpenFile(const std::string& title, const std::vector<FileFilter>& filters,
                                        const std::string& initialPath) override;

private:
    QWidget* Owner() const;

    QWidget* owner_;
};

/// The file chooser's filter text for the filters: "Applications (*.exe);;...".
std::string FilterText(const std::vector<FileFilter>& filters);

}  // namespace kestrun
