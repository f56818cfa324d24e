// The program and task commands of the main window.
#include "app/frmMain.h"

#include "app/TaskListView.h"
#include "core/Dialogs.h"

#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>

namespace kestrun {

namespace {

const char* const kNewNamePrompt = "Enter New Program Name:";

bool Confirmed(Dialogs& dialogs, const std::string& text)
{
    return dialogs.Message(text, MessageButtons::YesNo, MessageIcon::Question) == MessageAnswer::Yes;
}

}  // namespace

int frmMain::SelectedIndex() const
{
    const int index = cboPrograms ? cboPrograms->currentIndex() : -1;
    // Text typed over the entry's name names no entry: none is selected then,
    // so that no command acts on a program other than the one shown.
    if (index < 0 || cboPrograms->currentText() != cboPrograms->itemText(index))
        return -1;
    return index;
}

std::string frmMain::SelectedProgramName() const
{
    const int index = SelectedIndex();
    return index < 0 ? std::string() : cboPrograms->itemText(index).toStdString();
}

void frmMain::cboPrograms_Click() { RefreshSelectedProgram(); }

void frmMain::RefreshSelectedProgram()
{
    for (QPushButton* rowCommand : {cmdEditTask, cmdDeleteTask, cmdMoveUp, cmdMoveDown})
        rowCommand->setEnabled(false);
    const bool selected = SelectedIndex() >= 0;
    for (QPushButton* programCommand : {cmdEditProgram, cmdDeleteProgram, cmdAddTask})
        programCommand->setEnabled(selected);
    if (selected && document_)
        lstTasks->SetRows(document_->FillTaskList(SelectedProgramName()));
    else
        lstTasks->clear();
    if (isVisible())
        (selected ? cmdLaunch : cmdAddProgram)->setFocus();
}

void frmMain::cmdAddProgram_Click()
{
    const std::optional<std::string> name = context_.dialogs.Input(kNewNamePrompt, "New Program", "");
    if (!name || name->empty())
        return;
    cboPrograms->addItem(QString::fromStdString(*name));
    cboPrograms->setCurrentIndex(cboPrograms->count() - 1);
    document_->AddProgram(*name);
    lstTasks->clear();
    cmdAddTask->setFocus();
}

void frmMain::cmdEditProgram_Click()
{
    const int index = SelectedIndex();
    if (index >= 0) {
        const std::string oldName = SelectedProgramName();
        const std::optional<std::string> name = context_.dialogs.Input(kNewNamePrompt, "Edit Program", oldName);
        if (name && !name->empty()) {
            cboPrograms->setItemText(index, QString::fromStdString(*name));
            document_->RenameProgram(oldName, *name);
        }
    }
    cmdLaunch->setFocus();
}

void frmMain::cmdDeleteProgram_Click()
{
    const int index = SelectedIndex();
    if (index < 0)
        return;
    const std::string name = SelectedProgramName();
    if (!Confirmed(context_.dialogs, "Are you sure you want to delete '" + name + "'?"))
        return;
    document_->DeleteProgram(name);
    {
        // Removing the selected entry leaves none selected.
        const QSignalBlocker quiet(cboPrograms);
        cboPrograms->removeItem(index);
        cboPrograms->setCurrentIndex(-1);
    }
    if (cboPrograms->count() > 0)
        cboPrograms->setCurrentIndex(0);
    RefreshSelectedProgram();
}

void frmMain::cmdDeleteTask_Click()
{
    const int row = lstTasks->SelectedRow();
    if (row == 0 || SelectedIndex() < 0)
        return;
    const TaskRow task = lstTasks->Row(row);
    if (!Confirmed(context_.dialogs, "Are you sure you want to delete '" + task.type + ": " + task.value + "'?"))
        return;
    document_->DeleteTask(SelectedProgramName(), row);
    RefreshSelectedProgram();
}

void frmMain::MoveSelectedTask(bool moveDown)
{
    const int row = lstTasks->SelectedRow();
    if (row == 0 || SelectedIndex() < 0)
        return;
    // The first task has no previous one and the last no next one.
    if ((!moveDown && row <= 1) || (moveDown && row >= lstTasks->RowCount()))
        return;
    const std::string name = SelectedProgramName();
    document_->MoveTask(name, row, moveDown);
    lstTasks->SetRows(document_->FillTaskList(name));
    RefreshSelectedProgram();
}

void frmMain::lstTasks_ItemClick(int row)
{
    cmdEditTask->setEnabled(true);
    cmdDeleteTask->setEnabled(true);
    cmdMoveUp->setEnabled(row > 1);
    cmdMoveDown->setEnabled(row < lstTasks->RowCount());
}

void frmMain::lstTasks_MouseDown(Qt::MouseButton button, int row, QPoint globalPosition)
{
    if (row == 0)
        return;
    if (button == Qt::RightButton) {
        popupEnabledChecked_ = ReadEnabled(lstTasks->Row(row).enabled);
        mnuEnabled->setChecked(popupEnabledChecked_);
        mnuPopUpList->popup(globalPosition);
        return;
    }
    lstTasks_ItemClick(row);
}

void frmMain::mnuEnabled_Click()
{
    const int row = lstTasks->SelectedRow();
    if (row == 0 || SelectedIndex() < 0)
        return;
    const bool enabled = !popupEnabledChecked_;
    lstTasks->SetEnabledText(row, enabled ? "True" : "False");
    const TaskRow task = lstTasks->Row(row);
    document_->UpdateTask(SelectedProgramName(), row, task.type, task.value, enabled);
    cboPrograms_Click();
}

}  // namespace kestrun
