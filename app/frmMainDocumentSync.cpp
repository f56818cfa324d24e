// Kestrun.xml edited by hand while Kestrun runs: reloaded when Kestrun holds
// no changes of its own, a question before a save would overwrite it.
#include "app/frmMain.h"

#include "app/QtPath.h"
#include "app/TaskListView.h"
#include "core/Dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileSystemWatcher>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace kestrun {

namespace {

// How long the file must rest before it is read: an editor writes in steps.
constexpr int kSettleMilliseconds = 300;

// Keeps a reload's report instead of ending the application.
class KeptReport : public FatalErrorReporter {
public:
    void Report(std::int32_t, const std::string& text) override { this->text = text; }
    std::string text;
};

}  // namespace

void frmMain::WatchDocument()
{
    documentCheck_ = new QTimer(this);
    documentCheck_->setSingleShot(true);
    documentCheck_->setInterval(kSettleMilliseconds);
    connect(documentCheck_, &QTimer::timeout, this, &frmMain::CheckDocumentOnDisk);
    // The folder too: an editor that saves by rename puts a new file under the name.
    documentWatch_ = new QFileSystemWatcher(this);
    const QString path = QtPath(document_->DocumentPath());
    documentWatch_->addPath(QtPath(document_->DocumentPath().parent_path()));
    documentWatch_->addPath(path);
    const auto changed = [this, path] {
        if (!documentWatch_->files().contains(path))
            documentWatch_->addPath(path);
        documentCheck_->start();
    };
    connect(documentWatch_, &QFileSystemWatcher::fileChanged, this, changed);
    connect(documentWatch_, &QFileSystemWatcher::directoryChanged, this, changed);
}

void frmMain::CheckDocumentOnDisk()
{
    // Unsaved changes: the next save asks what to keep.
    if (!document_ || ended_ || document_->Dirty())
        return;
    // A command or a run in progress works on the rows it has.
    if (runInProgress_ || QApplication::activeModalWidget() || TaskEditor()) {
        if (documentCheck_)
            documentCheck_->start();
        return;
    }
    if (document_->ChangedOnDisk(false))
        ReloadDocument();
}

bool frmMain::ReloadDocument()
{
    KeptReport report;
    if (!document_->Reload(report)) {
        const std::string text = report.text + "\n\nKestrun goes on with the programs it has.";
        if (unattended_) {
            std::fprintf(stderr, "%s\n", text.c_str());
            return false;
        }
        // After the event at hand, which may be a later start waiting for its answer.
        QTimer::singleShot(0, this, [this, text] {
            if (!ended_)
                context_.dialogs.Message(text, MessageButtons::Ok, MessageIcon::Critical);
        });
        return false;
    }
    ShowReloadedPrograms();
    return true;
}

void frmMain::ShowReloadedPrograms()
{
    const std::vector<std::string> names = document_->ProgramNames();
    if (!cboPrograms) {
        // No controls yet: what the first showing fills them with.
        loadedPrograms_ = names;
        loadedRows_ = names.empty() ? std::vector<TaskRow>() : document_->FillTaskList(names.front());
        return;
    }
    // The program shown stays selected while it is there; with it gone none
    // is, so that nothing acts on another program in its place.
    const std::string selected = SelectedProgramName();
    {
        const QSignalBlocker quiet(cboPrograms);
        cboPrograms->clear();
        for (const std::string& name : names)
            cboPrograms->addItem(QString::fromStdString(name));
        const auto kept = std::find(names.begin(), names.end(), selected);
        cboPrograms->setCurrentIndex(kept == names.end() ? -1 : int(kept - names.begin()));
    }
    RefreshSelectedProgram();
}

bool frmMain::SaveTaskDocument()
{
    const std::string failure = TrySave();
    if (failure.empty())
        return true;
    const std::string text =
        failure + "\n\nKestrun keeps the changes and tries to save them again at the next Hide, Launch It ! or Quit.";
    if (unattended_)
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        context_.dialogs.Message(text, MessageButtons::Ok, MessageIcon::Critical);
    return false;
}

bool frmMain::SaveBeforeQuit()
{
    const std::string failure = TrySave();
    if (failure.empty())
        return true;
    if (unattended_) {
        std::fprintf(stderr, "%s\n\nKestrun ends without its changes to the programs.\n", failure.c_str());
        return true;
    }
    return context_.dialogs.Message(failure + "\n\nThe changes to the programs could not be saved. "
                                              "Quit anyway and lose them?",
                                    MessageButtons::YesNo, MessageIcon::Question) == MessageAnswer::Yes;
}

std::string frmMain::TrySave()
{
    if (!document_)
        return {};
    KeptReport failure;
    if (!document_->ChangedOnDisk(true)) {
        document_->SaveTaskDocument(failure);
        return failure.text;
    }
    if (unattended_)
        return KeepBothVersions();
    const std::string name = document_->DocumentPath().filename().string();
    const MessageAnswer answer = context_.dialogs.Message(
        "[" + document_->DocumentPath().string() + "] was changed outside Kestrun, and Kestrun has changes of its "
        "own that are not saved.\n\n"
        "Yes: keep the file as it is now; Kestrun's changes are dropped.\n"
        "No: replace the file with Kestrun's version; the changes made outside Kestrun are lost.\n"
        "Cancel: keep both; Kestrun's version is saved beside " + name + ", which Kestrun then shows as it is now.",
        MessageButtons::YesNoCancel, MessageIcon::Question);
    if (answer == MessageAnswer::Yes) {
        ReloadDocument();
        return {};
    }
    if (answer == MessageAnswer::No) {
        document_->SaveTaskDocument(failure);
        return failure.text;
    }
    return KeepBothVersions();
}

std::string frmMain::KeepBothVersions()
{
    KeptReport failure;
    const std::filesystem::path copy = document_->SaveCopyBeside(failure);
    if (copy.empty())
        return failure.text;
    const std::string text = "Kestrun's version of the programs is saved as [" + copy.string() + "].";
    if (unattended_)
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        context_.dialogs.Message(text, MessageButtons::Ok, MessageIcon::Information);
    // Kestrun's changes are in the copy; a file on disk it cannot read
    // leaves them in Kestrun too.
    ReloadDocument();
    return {};
}

void frmMain::UnloadUnattended()
{
    unattended_ = true;
    Unload();
}

}  // namespace kestrun
