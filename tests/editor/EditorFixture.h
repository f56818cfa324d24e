#pragma once

#include "core/Globals.h"
#include "editor/TaskEditorHost.h"
#include "editor/TaskEditorLauncher.h"
#include "editor/frmAddTask.h"
#include "platform/FileOpener.h"
#include "platform/RegistryFile.h"
#include "settings/CRegSettings.h"
#include "tests/document/DocumentFixture.h"
#include "tests/support/ScriptedDialogs.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestrun::test {

inline QApplication& Application()
{
    static int argc = 1;
    static char name[] = "editor_tests";
    static char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);  // never the machine's display
    // Never destroyed: QTest's input devices must not outlive it at exit.
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

/// The main window as the editor sees it: a selected program and a task
/// list rebuilt from the document, as the real window does.
class FakeEditorHost : public TaskEditorHost {
public:
    explicit FakeEditorHost(TaskDocument& document) : document_(document) {}

    std::optional<std::string> SelectedProgram() override { return program; }
    std::optional<SelectedTask> SelectedTaskRow() override
    {
        if (!selectedRow || *selectedRow < 1 || *selectedRow > static_cast<int>(rows.size()))
            return std::nullopt;
        return SelectedTask{*selectedRow, rows[*selectedRow - 1]};
    }
    void RefreshSelectedProgram() override
    {
        ++refreshes;
        selectedRow.reset();
        rows = program ? document_.FillTaskList(*program) : std::vector<TaskRow>{};
    }

    /// Selects a program as a click in the selector does.
    void Select(const std::string& name)
    {
        program = name;
        RefreshSelectedProgram();
        refreshes = 0;
    }

    std::optional<std::string> program;
    std::optional<int> selectedRow;
    std::vector<TaskRow> rows;
    int refreshes = 0;

private:
    TaskDocument& document_;
};

class RecordingOpener : public FileOpener {
public:
    bool Open(const std::string& path) override
    {
        opened.push_back(path);
        return succeed;
    }
    std::vector<std::string> opened;
    bool succeed = true;
};

/// A document with two programs, a settings store of its own, and the
/// editor's launcher over a fake main window.
class EditorFixture : public DocumentFixture {
protected:
    void SetUp() override
    {
        DocumentFixture::SetUp();
        Application();
        gEditingTask = false;
        gSettings = &settings;
        Load(DocumentXml(ProgramXml("Mail", {{"Open File", "/usr/bin/mail", "True", "1"},
                                             {"Wait", "10", "False", "2"},
                                             {"Keystrokes", "hello~", "True", "3"}}) +
                         ProgramXml("Empty", {})));
        host = std::make_unique<FakeEditorHost>(*document);
        host->Select("Mail");
        launcher = std::make_unique<TaskEditorLauncher>(
            TaskEditorContext{*host, *document, dialogs, opener, folder.path()});
    }

    void TearDown() override
    {
        launcher.reset();
        gSettings = nullptr;
        gEditingTask = false;
    }

    frmAddTask& OpenNew()
    {
        launcher->NewTask();
        return Editor();
    }

    frmAddTask& OpenEdit(int row)
    {
        host->selectedRow = row;
        launcher->EditTask();
        return Editor();
    }

    frmAddTask& Editor()
    {
        frmAddTask* editor = launcher->Editor();
        if (!editor)
            throw std::runtime_error("the editor is not open");
        return *editor;
    }

    bool EditorOpen() const { return launcher->Editor() != nullptr; }

    template <typename Widget>
    Widget& Control(const char* name)
    {
        auto* widget = Editor().findChild<Widget*>(QString::fromLatin1(name));
        if (!widget)
            throw std::runtime_error(std::string("no control ") + name);
        return *widget;
    }
    QLineEdit& Field(const char* name) { return Control<QLineEdit>(name); }
    void Click(const char* name) { Control<QAbstractButton>(name).click(); }
    std::string Text(const char* name) { return Field(name).text().toStdString(); }

    /// The messages shown so far, in order.
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : dialogs.shown)
            if (shown.kind == "message")
                texts.push_back(shown.text);
        return texts;
    }

    std::filesystem::path registryFile = folder / "config" / "Kestrun.reg";
    CRegSettings settings{std::make_unique<RegistryFile>(registryFile)};
    ScriptedDialogs dialogs;
    RecordingOpener opener;
    std::unique_ptr<FakeEditorHost> host;
    std::unique_ptr<TaskEditorLauncher> launcher;
};

}  // namespace kestrun::test
