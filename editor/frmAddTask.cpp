#include "editor/frmAddTask.h"

#include "core/Dialogs.h"
#include "core/NumberText.h"
#include "editor/NumericKeyFilter.h"
#include "editor/OuterPlacement.h"
#include "keys/KeyNotation.h"
#include "platform/FileOpener.h"
#include "runner/TaskRunner.h"
#include "settings/MWindow.h"
#include "settings/QtWindowGeometry.h"
#include "settings/TwipScale.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <exception>
#include <iterator>
#include <limits>
#include <utility>

namespace kestrun {

namespace {

template <typename Widget, typename... Args>
Widget* Make(QWidget* parent, const char* name, Args&&... args)
{
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string Utf8(const QString& text) { return text.toStdString(); }

}  // namespace

frmAddTask::frmAddTask(TaskEditorContext context, bool& editing)
    : QDialog(nullptr), context_(std::move(context)), editing_(editing)
{
    setObjectName(QStringLiteral("frmAddTask"));
    setWindowTitle(QStringLiteral("Kestrun"));
    // A fixed dialog: a close box, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // The application lives in the tray: closing the editor while the main
    // window is hidden must not end it.
    setAttribute(Qt::WA_QuitOnClose, false);
    BuildControls();
    SetTabOrder();
    Load();
}

void frmAddTask::BuildControls()
{
    QtWindowGeometry screen(*this);
    const TwipScale twips(screen.TwipsPerPixelX(), screen.TwipsPerPixelY());
    setFixedSize(twips.Size(4695, 2415));
    // The design's sizes are made for a small 8 point dialog font.
    QFont small = font();
    small.setPointSizeF(8);
    setFont(small);

    fraAdd_ = Make<QGroupBox>(this, "fraAdd", QStringLiteral("Task:"));
    fraAdd_->setGeometry(twips.Rect(120, 120, 4455, 615));
    optFile_ = Make<QRadioButton>(fraAdd_, "optFile", QStringLiteral("Open File"));
    optFile_->setGeometry(twips.Rect(480, 240, 1215, 255));
    optWait_ = Make<QRadioButton>(fraAdd_, "optWait", QStringLiteral("Wait"));
    optWait_->setGeometry(twips.Rect(1800, 240, 975, 255));
    optKeystrokes_ = Make<QRadioButton>(fraAdd_, "optKeystrokes", QStringLiteral("Keystrokes"));
    optKeystrokes_->setGeometry(twips.Rect(2880, 240, 1215, 255));

    // The three detail frames share one rectangle; the chosen type's shows.
    const QRect detail = twips.Rect(120, 720, 4455, 1095);
    fraFile_ = Make<QGroupBox>(this, "fraFile");
    fraFile_->setGeometry(detail);
    txtFile_ = Make<QLineEdit>(fraFile_, "txtFile");
    txtFile_->setGeometry(twips.Rect(120, 240, 4215, 285));
    cmdBrowse_ = Make<QPushButton>(fraFile_, "cmdBrowse", QStringLiteral("Browse"));
    cmdBrowse_->setGeometry(twips.Rect(3240, 600, 1095, 375));

    fraWait_ = Make<QGroupBox>(this, "fraWait");
    fraWait_->setGeometry(detail);
    txtWait_ = Make<QLineEdit>(fraWait_, "txtWait");
    txtWait_->setGeometry(twips.Rect(120, 240, 1575, 285));
    txtWait_->installEventFilter(new NumericKeyFilter(txtWait_));
    lblSeconds_ = Make<QLabel>(fraWait_, "lblSeconds", QStringLiteral("Seconds"));
    lblSeconds_->setGeometry(twips.Rect(1800, 285, 735, 255));

    fraKeystrokes_ = Make<QGroupBox>(this, "fraKeystrokes");
    fraKeystrokes_->setGeometry(detail);
    txtKeystrokes_ = Make<QLineEdit>(fraKeystrokes_, "txtKeystrokes");
    txtKeystrokes_->setGeometry(twips.Rect(120, 240, 4215, 285));
    lblKeystrokes_ = Make<QLabel>(fraKeystrokes_, "lblKeystrokes",
        QStringLiteral("Enter alpha-numeric characters normally, for other keys refer to help file."));
    lblKeystrokes_->setGeometry(twips.Rect(120, 600, 3015, 375));
    lblKeystrokes_->setWordWrap(true);
    // A text box cuts what it holds at 32,767 characters unless told
    // otherwise; a task's value is kept whole, however long.
    for (QLineEdit* field : {txtFile_, txtWait_, txtKeystrokes_})
        field->setMaxLength(std::numeric_limits<int>::max());
    // Two lines must fit its height.
    QFont smaller = lblKeystrokes_->font();
    smaller.setPointSizeF(7);
    lblKeystrokes_->setFont(smaller);
    cmdKeyHelp_ = Make<QPushButton>(fraKeystrokes_, "cmdKeyHelp", QStringLiteral("Help"));
    cmdKeyHelp_->setGeometry(twips.Rect(3240, 600, 1095, 375));

    cmdOK_ = Make<QPushButton>(this, "cmdOK", QStringLiteral("OK"));
    cmdOK_->setGeometry(twips.Rect(3480, 1920, 1095, 375));
    cmdOK_->setDefault(true);
    cmdCancel_ = Make<QPushButton>(this, "cmdCancel", QStringLiteral("Cancel"));
    cmdCancel_->setGeometry(twips.Rect(2280, 1920, 1095, 375));
    // Only OK answers Enter; the other buttons take it only while focused.
    for (QPushButton* button : {cmdBrowse_, cmdKeyHelp_, cmdCancel_})
        button->setAutoDefault(false);

    // No type is chosen until the load step picks one, and no frame shows
    // before that: three stacked frames would mix their fields.
    for (QGroupBox* frame : {fraFile_, fraWait_, fraKeystrokes_})
        frame->hide();

    for (QRadioButton* option : {optFile_, optWait_, optKeystrokes_})
        connect(option, &QRadioButton::toggled, this, [this] { SetOptionTabStop(); });
    connect(optFile_, &QRadioButton::toggled, this, [this](bool on) { if (on) SelectOption(TaskKind::File); });
    connect(optWait_, &QRadioButton::toggled, this, [this](bool on) { if (on) SelectOption(TaskKind::Wait); });
    connect(optKeystrokes_, &QRadioButton::toggled, this,
            [this](bool on) { if (on) SelectOption(TaskKind::Keystrokes); });
    connect(cmdBrowse_, &QPushButton::clicked, this, [this] { Browse(); });
    connect(cmdKeyHelp_, &QPushButton::clicked, this, [this] { KeyHelp(); });
    connect(cmdOK_, &QPushButton::clicked, this, [this] { Ok(); });
    connect(cmdCancel_, &QPushButton::clicked, this, [this] { reject(); });
}

void frmAddTask::SetTabOrder()
{
    // The design's tab indexes: the detail fields first, then OK and Cancel,
    // then the option buttons (Keystrokes, Wait, Open File), then Help.
    QWidget* const order[] = {txtFile_, cmdBrowse_, txtWait_, txtKeystrokes_, cmdOK_, cmdCancel_,
                              optKeystrokes_, optWait_, optFile_, cmdKeyHelp_};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmAddTask::SetOptionTabStop()
{
    // The options are one stop of the tab order: Tab lands on the checked
    // one, and the arrow keys move within them. With none checked, each is
    // a stop of its own.
    QRadioButton* const options[] = {optFile_, optWait_, optKeystrokes_};
    const bool anyChecked = std::any_of(std::begin(options), std::end(options),
                                        [](const QRadioButton* option) { return option->isChecked(); });
    for (QRadioButton* option : options)
        option->setFocusPolicy(!anyChecked || option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

void frmAddTask::Load()
{
    RestoreOuterPosition(*this, context_.settings);

    if (!editing_) {
        optFile_->setChecked(true);
        return;
    }
    const std::optional<SelectedTask> selected = context_.host.SelectedTaskRow();
    if (!selected)
        return;
    const TaskRow& row = selected->task;
    if (row.type == kTypeOpenFile) {
        optFile_->setChecked(true);
        txtFile_->setText(Text(row.value));
    } else if (row.type == kTypeWait) {
        optWait_->setChecked(true);
        txtWait_->setText(Text(NumberToText(Val(row.value))));
    } else if (row.type == kTypeKeystrokes) {
        optKeystrokes_->setChecked(true);
        txtKeystrokes_->setText(Text(row.value));
    }
}

void frmAddTask::done(int result)
{
    if (!unloaded_) {
        unloaded_ = true;
        Unload();
    }
    QDialog::done(result);
}

void frmAddTask::Unload()
{
    QtWindowGeometry geometry(*this);
    FormPosition(geometry, true, context_.settings);
    editing_ = false;
}

void frmAddTask::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const std::optional<TaskKind> kind = VisibleKind())
        Field(*kind)->setFocus(Qt::OtherFocusReason);
}

QLineEdit* frmAddTask::Field(TaskKind kind) const
{
    switch (kind) {
    case TaskKind::File: return txtFile_;
    case TaskKind::Wait: return txtWait_;
    case TaskKind::Keystrokes: return txtKeystrokes_;
    }
    return txtFile_;
}

void frmAddTask::SelectOption(TaskKind kind)
{
    fraFile_->setVisible(kind == TaskKind::File);
    fraWait_->setVisible(kind == TaskKind::Wait);
    fraKeystrokes_->setVisible(kind == TaskKind::Keystrokes);
    // Before the dialog is on the screen no focus moves; showing it then
    // focuses the visible field.
    QLineEdit* field = Field(kind);
    if (field->isVisible())
        field->setFocus(Qt::OtherFocusReason);
}

std::optional<frmAddTask::TaskKind> frmAddTask::VisibleKind() const
{
    if (fraFile_->isVisibleTo(this))
        return TaskKind::File;
    if (fraWait_->isVisibleTo(this))
        return TaskKind::Wait;
    if (fraKeystrokes_->isVisibleTo(this))
        return TaskKind::Keystrokes;
    return std::nullopt;
}

void frmAddTask::TakeKeyboardBack()
{
    // The dialog stays open with its contents after any of its messages or
    // its file chooser, in front of the main window.
    if (isVisible()) {
        raise();
        activateWindow();
    }
}

void frmAddTask::Browse()
{
    const std::vector<FileFilter> filters = {
        // Here most programs have no extension: what counts is that the
        // user may run the file.
        {"Applications", {"*.exe"}, true},
        // "*.*" would hide every file without an extension.
        {"All Files", {"*"}},
    };
    const std::optional<std::string> chosen = context_.dialogs.OpenFile({}, filters, {});
    TakeKeyboardBack();
    if (chosen)
        txtFile_->setText(Text(*chosen));
}

void frmAddTask::KeyHelp()
{
    const std::filesystem::path page = context_.programFolder / kKeystrokesHelpFile;
    bool opened = false;
    try {
        opened = context_.opener.Open(page.string());
    } catch (const std::exception&) {
        opened = false;
    }
    if (!opened) {
        context_.dialogs.Message(
            "An Error has occurred trying to open the [KeystrokesHelp.htm] file.\r\n"
            "Make sure this file is named correctly and in the same folder as [Kestrun.exe]",
            MessageButtons::Ok, MessageIcon::Critical);
        TakeKeyboardBack();
    }
}

std::optional<std::string> frmAddTask::Refusal(TaskKind kind, const std::string& text) const
{
    switch (kind) {
    case TaskKind::File:
        if (text.empty())
            return "No file specified.";
        break;
    case TaskKind::Wait:
        if (text.empty() || !(Val(text) >= 1))
            return "No time specified.";
        break;
    case TaskKind::Keystrokes: {
        if (text.empty())
            return "No keystrokes specified.";
        const KeySequence keys = ParseKeySequence(text);
        if (!keys.ok())
            return "These keystrokes cannot be typed.\r\n" + keys.error;
        break;
    }
    }
    return std::nullopt;
}

void frmAddTask::Ok()
{
    const auto message = [this](const std::string& text) {
        context_.dialogs.Message(text, MessageButtons::Ok, MessageIcon::None);
        TakeKeyboardBack();
    };
    const std::optional<TaskKind> kind = VisibleKind();
    if (!kind) {
        message("No task type specified.");
        return;
    }
    const std::string value = Utf8(Field(*kind)->text());
    if (const std::optional<std::string> refusal = Refusal(*kind, value)) {
        message(*refusal);
        return;
    }
    const char* type = *kind == TaskKind::File ? kTypeOpenFile : *kind == TaskKind::Wait ? kTypeWait : kTypeKeystrokes;

    // The main window may have changed while the editor was open: what counts
    // is what it shows now.
    const std::optional<std::string> program = context_.host.SelectedProgram();
    if (!program) {
        message("Please select a program.");
        return;
    }
    if (editing_) {
        const std::optional<SelectedTask> selected = context_.host.SelectedTaskRow();
        if (!selected) {
            message("Please select a task.");
            return;
        }
        context_.document.UpdateTask(*program, selected->row, type, value, ReadEnabled(selected->task.enabled));
    } else {
        context_.document.AddTask(*program, type, value, true);
    }
    editing_ = false;
    context_.host.RefreshSelectedProgram();
    accept();
}

}  // namespace kestrun
