#pragma once

#include "core/Globals.h"
#include "app/TaskListView.h"
#include "app/frmMain.h"
#include "platform/RegistryFile.h"
#include "platform/linux/XdgAutostart.h"
#include "settings/CRegSettings.h"
#include "tests/runner/FakeServices.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempFolder.h"
#include "tests/tray/FakeTray.h"
#include "tray/CSysTray.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kestrun::test {

inline QApplication& Application()
{
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

/// One program of a test document: its name and its tasks as
/// {type, value, enabled}.
struct ProgramSpec {
    std::string name;
    std::vector<TaskRow> tasks;
};

/// A task document with the template program first, then the programs given.
inline std::string DocumentText(const std::vector<ProgramSpec>& programs)
{
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<programs xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xsi:noNamespaceSchemaLocation=\"Kestrun.xsd\">"
        "<program><name>Kestrun Template</name><tasks><task index=\"1\"><type>Open File</type><value/>"
        "<enabled>True</enabled></task></tasks></program>";
    for (const ProgramSpec& program : programs) {
        text += "<program><name>" + program.name + "</name><tasks>";
        int index = 1;
        for (const TaskRow& task : program.tasks)
            text += "<task index=\"" + std::to_string(index++) + "\"><type>" + task.type + "</type><value>" +
                    task.value + "</value><enabled>" + task.enabled + "</enabled></task>";
        text += "</tasks></program>";
    }
    return text + "</programs>\n";
}

/// The main window over a document in a temporary folder, with scripted
/// dialogs, fake run services, a recording tray and its own settings file.
class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application();
        gSettings = &settings;
        gTray = &tray;
        gDocumentDirty = false;
    }

    void TearDown() override
    {
        window.reset();
        gTray = nullptr;
        gSettings = nullptr;
        gDocumentDirty = false;
    }

    /// Writes the document and loads the window over it.
    void Load(const std::vector<ProgramSpec>& programs)
    {
        folder.Write("Kestrun.xml", DocumentText(programs));
        window = std::make_unique<frmMain>(MainWindowContext{
            folder.path(), reporter, realDialogs ? *realDialogs : static_cast<Dialogs&>(dialogs),
            [this] { return services.Services(); },
            [this] { return trayAvailable; }, {}, {}, &autostart});
        const bool loaded = window->Form_Load();
        ASSERT_TRUE(reporter.Silent()) << reporter.reports.front().text;
        ASSERT_TRUE(loaded);
        if (makeControls)
            window->EnsureControls();
    }

    frmMain& w() { return *window; }

    std::vector<std::string> ProgramEntries() const
    {
        std::vector<std::string> entries;
        for (int i = 0; i < window->cboPrograms->count(); ++i)
            entries.push_back(window->cboPrograms->itemText(i).toStdString());
        return entries;
    }

    /// Which of the program and task buttons are enabled, as a word per
    /// button: "edit delete addTask editTask deleteTask up down".
    std::string EnabledButtons() const
    {
        std::string enabled;
        const std::pair<QPushButton*, const char*> buttons[] = {
            {window->cmdEditProgram, "edit"}, {window->cmdDeleteProgram, "delete"},
            {window->cmdAddTask, "addTask"},  {window->cmdEditTask, "editTask"},
            {window->cmdDeleteTask, "deleteTask"}, {window->cmdMoveUp, "up"},
            {window->cmdMoveDown, "down"}};
        for (const auto& [button, name] : buttons)
            if (button->isEnabled())
                enabled += (enabled.empty() ? "" : " ") + std::string(name);
        return enabled;
    }

    /// The rows of a program as the document now lists them.
    std::vector<TaskRow> DocumentRows(const std::string& program)
    {
        return gTaskDocument->FillTaskList(program);
    }

    QWidget* Focus() const { return window->focusWidget(); }

    /// Shows the window, as the tray's double click does.
    void Show()
    {
        window->ShowForm();
        QApplication::processEvents();
    }

    TempFolder folder;
    RecordingReporter reporter;
    ScriptedDialogs dialogs;
    FakeServices services;
    CRegSettings settings{std::make_unique<RegistryFile>(folder / "settings" / "Kestrun.reg")};
    FakeNotifyArea area;
    CSysTray tray{area};
    XdgAutostart autostart{folder / "config" / "autostart" / "kestrun.desktop", "/usr/bin/kestrun"};
    bool trayAvailable = true;
    /// Make the controls right after loading, as the first showing does.
    bool makeControls = true;
    /// When set, the window asks through these instead of the scripted ones.
    Dialogs* realDialogs = nullptr;
    std::unique_ptr<frmMain> window;
};

inline const ProgramSpec kThreeTasks{"Three",
                                     {{"Open File", "/usr/bin/xterm", "True"},
                                      {"Wait", "5", "False"},
                                      {"Keystrokes", "ls~", "True"}}};

}  // namespace kestrun::test
