#pragma once

#include "editor/TaskEditorHost.h"

#include <QDialog>

#include <optional>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kestrun {

/// The name of the keystroke help page in the executable's folder.
inline constexpr const char* kKeystrokesHelpFile = "KeystrokesHelp.htm";

/// The task editor: creates a task for the selected program, or, while
/// `editing` is set, changes the selected task. Modeless and without an
/// owner; constructing it is the load step (position restored, fields
/// pre-filled from the selected row in edit mode), and every way of closing
/// it runs the unload step (position saved, `editing` cleared).
///
/// Controls carry their names as object names: optFile, optWait,
/// optKeystrokes, fraFile, fraWait, fraKeystrokes, txtFile, txtWait,
/// txtKeystrokes, cmdBrowse, cmdKeyHelp, cmdOK, cmdCancel.
class frmAddTask final : public QDialog {
public:
    /// `editing` belongs to the launcher and outlives the editor.
    frmAddTask(TaskEditorContext context, bool& editing);

    /// Closes the dialog; the unload step runs once, whichever way it closes.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    enum class TaskKind { File, Wait, Keystrokes };

    void BuildControls();
    void SetTabOrder();
    void SetOptionTabStop();
    void Load();
    void Unload();
    void SelectOption(TaskKind kind);
    std::optional<TaskKind> VisibleKind() const;
    QLineEdit* Field(TaskKind kind) const;

    /// Back in front with the keyboard once a message or the file chooser
    /// it showed has closed.
    void TakeKeyboardBack();
    void Browse();
    void KeyHelp();
    void Ok();
    /// The refusal message for a field's text, or nothing when it will do.
    std::optional<std::string> Refusal(TaskKind kind, const std::string& text) const;

    TaskEditorContext context_;
    bool& editing_;
    bool unloaded_ = false;

    QGroupBox* fraAdd_ = nullptr;
    QRadioButton* optFile_ = nullptr;
    QRadioButton* optWait_ = nullptr;
    QRadioButton* optKeystrokes_ = nullptr;
    QGroupBox* fraFile_ = nullptr;
    QLineEdit* txtFile_ = nullptr;
    QPushButton* cmdBrowse_ = nullptr;
    QGroupBox* fraWait_ = nullptr;
    QLineEdit* txtWait_ = nullptr;
    QLabel* lblSeconds_ = nullptr;
    QGroupBox* fraKeystrokes_ = nullptr;
    QLineEdit* txtKeystrokes_ = nullptr;
    QLabel* lblKeystrokes_ = nullptr;
    QPushButton* cmdKeyHelp_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};

}  // namespace kestrun
