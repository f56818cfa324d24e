// The main window as a frame: loading, activation, the tray glue, hiding and
// quitting.
#include "app/frmMain.h"

#include "app/TaskListView.h"
#include "core/Dialogs.h"
#include "platform/LoginStart.h"
#include "platform/PlatformError.h"
#include "settings/MWindow.h"
#include "settings/QtWindowGeometry.h"
#include "tray/CSysTray.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>

#include <utility>

namespace kestrun {

bool frmMain::Form_Load()
{
    document_ = &context_.document;
    if (!document_->Load())
        return false;

    // The programs in document order, the first one selected and listed.
    loadedPrograms_ = document_->ProgramNames();
    if (!loadedPrograms_.empty())
        loadedRows_ = document_->FillTaskList(loadedPrograms_.front());

    QtWindowGeometry geometry(*this);
    FormPosition(geometry, false, context_.settings);

    if (!SetUpTray())
        return false;
    // Without a notification area the window is the only way in.
    trayMissing_ = context_.trayAvailable && !context_.trayAvailable();
    if (trayMissing_)
        ShowForm();
    WatchDocument();
    return true;
}

void frmMain::ShowLoginStart()
{
    mnuPopUpLogin->setChecked(context_.loginStart->Enabled());
}

void frmMain::mnuPopUpLogin_Click()
{
    try {
        context_.loginStart->SetEnabled(mnuPopUpLogin->isChecked());
    } catch (const PlatformError& error) {
        context_.dialogs.Message(error.what(), MessageButtons::Ok, MessageIcon::Exclamation);
    }
    ShowLoginStart();
}

void frmMain::ShowLoadedState()
{
    {
        const QSignalBlocker quiet(cboPrograms);
        for (const std::string& name : loadedPrograms_)
            cboPrograms->addItem(QString::fromStdString(name));
        cboPrograms->setCurrentIndex(loadedPrograms_.empty() ? -1 : 0);
    }
    lstTasks->SetRows(loadedRows_);
    const bool selected = !loadedPrograms_.empty();
    for (QPushButton* programCommand : {cmdEditProgram, cmdDeleteProgram, cmdAddTask})
        programCommand->setEnabled(selected);
    loadedPrograms_.clear();
    loadedRows_.clear();
}

bool frmMain::SetUpTray()
{
    if (!context_.tray)
        return true;
    try {
        context_.tray->SetParentForm(this);
        context_.tray->SetTrayIcon(TrayPicture{kPicTypeIcon, trayImage});
        context_.tray->SetTrayMenu(mnuPopUpTray);
        context_.tray->SetTrayTip("Kestrun");
        context_.tray->SetInTray(true);
    } catch (const TrayError& error) {
        ReportFatalError(context_.reporter, DocumentError(error.number(), error.description()));
        return false;
    }
    // The tray holds its own copy; the window never draws this image.
    trayImage = QIcon();
    return true;
}

void frmMain::Form_Activate()
{
    if (!isVisible())
        return;
    if (SelectedIndex() >= 0)
        cmdLaunch->setFocus(Qt::ActiveWindowFocusReason);
    else
        cmdAddProgram->setFocus(Qt::ActiveWindowFocusReason);
}

void frmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    // The window gets the keyboard back when one of the application's own
    // message or input boxes closes: the command that asked has already put
    // the focus where it belongs.
    if (!isActiveWindow()) {
        leftForModal_ = QApplication::activeModalWidget() != nullptr;
        return;
    }
    if (!std::exchange(leftForModal_, false))
        Form_Activate();
}

void frmMain::Form_MouseMove(double X, double Y)
{
    if (!context_.tray)
        return;
    try {
        context_.tray->Notify(X, Y);
    } catch (const TrayError&) {
        // A tray event that cannot be handled is dropped; the icon stays usable.
    }
}

bool frmMain::Form_QueryUnload(bool byUser)
{
    if (ended_)
        return true;
    if (byUser && context_.dialogs.Message("Quit Kestrun?", MessageButtons::YesNo, MessageIcon::Question) !=
                      MessageAnswer::Yes)
        return false;
    // An editor left open goes as its Cancel would: nothing half-typed is
    // written, and its position is stored with the window's.
    CloseTaskEditor();
    if (HasUnsavedChanges() && !SaveBeforeQuit())
        return false;
    QtWindowGeometry geometry(*this);
    FormPosition(geometry, true, context_.settings);
    if (context_.tray)
        context_.tray->SetInTray(false);
    stopRun_ = true;  // a run in progress ends with the application
    ended_ = true;
    hide();
    emit Unloaded();
    return true;
}

void frmMain::Unload() { Form_QueryUnload(false); }

void frmMain::closeEvent(QCloseEvent* event)
{
    if (ended_ || Form_QueryUnload(true))
        event->accept();
    else
        event->ignore();
}

void frmMain::keyPressEvent(QKeyEvent* event)
{
    // Enter that no control took presses the default button, Esc the cancel
    // button. An open drop-down list takes its own Esc, so that Esc only
    // closes the list.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        cmdLaunch->click();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdClose->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void frmMain::cmdClose_Click()
{
    if (HasUnsavedChanges())
        SaveTaskDocument();
    PutAway();
}

void frmMain::PutAway()
{
    if (trayMissing_)
        showMinimized();
    else
        hide();
}

std::uintptr_t frmMain::hWnd() const { return reinterpret_cast<std::uintptr_t>(this); }

void frmMain::SetForeground()
{
    if (isVisible()) {
        raise();
        activateWindow();
    }
}

void frmMain::setVisible(bool visible)
{
    if (visible)
        EnsureControls();
    else
        leftForModal_ = false;  // a later showing is an activation of its own
    QMainWindow::setVisible(visible);
}

void frmMain::ShowForm()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void frmMain::PopupMenu(QMenu& menu) { menu.popup(QCursor::pos()); }

}  // namespace kestrun
