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
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>

namespace kestrun::test {

inline QApplication& Application()
{
    static int argc = 1;
    static char name[] = "kestrun_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

/// One program of a test document: its name and its tasks.
struct ProgramSpec {
    std::string name;
    std::vector<TaskRow> tasks;
};

/// The main window over a Kestrun.xml (the template first, then the programs
/// given) in a temporary folder, with scripted dialogs, fake run services, a
/// recording tray and settings and autostart files of its own.
class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application();
        gSettings = &settings;
        gTray = &tray;
        gDocumentDirty = gEditingTask = false;
    }

    void TearDown() override
    {
        window.reset();
        gTray = nullptr;
        gSettings = nullptr;
        gDocumentDirty = gEditingTask = false;
    }

    void WriteDocument(const std::vector<ProgramSpec>& programs)
    {
        std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<programs xmlns:xsi=\"http://www.w3.org/"
                           "2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"Kestrun.xsd\"><program><name>"
                           "Kestrun Template</name><tasks><task index=\"1\"><type>Open File</type><value/><enabled>"
                           "True</enabled></task></tasks></program>";
        for (const ProgramSpec& program : programs) {
            text += "<program><name>" + program.name + "</name><tasks>";
            int index = 1;
            for (const TaskRow& task : program.tasks)
                text += "<task index=\"" + std::to_string(index++) + "\"><type>" + task.type + "</type><value>" +
                        task.value + "</value><enabled>" + task.enabled + "</enabled></task>";
            text += "</tasks></program>";
        }
        folder.Write("Kestrun.xml", text + "</programs>\n");
    }

    /// Writes the document and loads the window over it; `controls` makes
    /// them as the first showing would, without showing the window.
    void Load(const std::vector<ProgramSpec>& programs, bool controls = true)
    {
        WriteDocument(programs);
        window = std::make_unique<frmMain>(MainWindowContext{
            folder.path(), reporter, realDialogs ? *realDialogs : static_cast<Dialogs&>(dialogs),
            [this] { return services.Services(); }, [this] { return trayAvailable; }, {}, {}, &autostart});
        const bool loaded = window->Form_Load();
        ASSERT_TRUE(reporter.Silent()) << reporter.reports.front().text;
        ASSERT_TRUE(loaded);
        if (controls)
            window->EnsureControls();
    }

    frmMain& w() { return *window; }

    /// Shows the window, as the tray's double click does.
    void Show()
    {
        window->ShowForm();
        QApplication::processEvents();
    }

    /// A press in the Value column of a row (from 1), or below the rows (0).
    void PressRow(int row, Qt::MouseButton button = Qt::LeftButton)
    {
        TaskListView& list = *window->lstTasks;
        const int y =
            row ? list.visualItemRect(list.topLevelItem(row - 1)).center().y() : list.viewport()->height() - 3;
        QTest::mousePress(list.viewport(), button, {}, QPoint(list.columnViewportPosition(1) + 10, y));
    }

    /// Types over the program selector's field.
    void TypeProgram(const char* text)
    {
        window->cboPrograms->lineEdit()->selectAll();
        QTest::keyClicks(window->cboPrograms->lineEdit(), QString::fromUtf8(text));
    }

    std::vector<std::string> ProgramEntries() const
    {
        std::vector<std::string> entries;
        for (int i = 0; i < window->cboPrograms->count(); ++i)
            entries.push_back(window->cboPrograms->itemText(i).toStdString());
        EXPECT_EQ(entries, gTaskDocument->ProgramNames()) << "the selector lists the document's programs";
        return entries;
    }

    /// The enabled ones of the program and task buttons, as words.
    std::string EnabledButtons() const
    {
        const std::pair<QPushButton*, const char*> buttons[] = {
            {window->cmdEditProgram, "edit"},      {window->cmdDeleteProgram, "delete"},
            {window->cmdAddTask, "addTask"},       {window->cmdEditTask, "editTask"},
            {window->cmdDeleteTask, "deleteTask"}, {window->cmdMoveUp, "up"}, {window->cmdMoveDown, "down"}};
        std::string enabled;
        for (const auto& [button, name] : buttons)
            if (button->isEnabled())
                enabled += (enabled.empty() ? "" : " ") + std::string(name);
        return enabled;
    }

    static std::vector<std::string> Lines(const std::vector<TaskRow>& rows)
    {
        std::vector<std::string> lines;
        for (const TaskRow& row : rows)
            lines.push_back(row.type + "|" + row.value + "|" + row.enabled);
        return lines;
    }
    /// The rows the task list shows, and those the document lists for a program.
    std::vector<std::string> Listed() const { return Lines(window->lstTasks->Rows()); }
    std::vector<std::string> Stored(const std::string& program) const
    {
        return Lines(gTaskDocument->FillTaskList(program));
    }

    /// The texts of the message boxes shown so far.
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : dialogs.shown)
            if (shown.kind == "message")
                texts.push_back(shown.text);
        return texts;
    }

    /// A control of the open task editor.
    template <typename Widget = QAbstractButton>
    Widget& In(const char* name)
    {
        QWidget* editor = window->TaskEditor();
        Widget* child = editor ? editor->findChild<Widget*>(QString::fromLatin1(name)) : nullptr;
        if (!child)
            throw std::runtime_error(std::string("no task editor control ") + name);
        return *child;
    }
    QLineEdit& Field(const char* name) { return In<QLineEdit>(name); }
    std::string Text(const char* name) { return Field(name).text().toStdString(); }
    void Click(const char* name) { In(name).click(); }

    TempFolder folder;
    RecordingReporter reporter;
    ScriptedDialogs dialogs;
    FakeServices services;
    CRegSettings settings{std::make_unique<RegistryFile>(folder / "settings" / "Kestrun.reg")};
    FakeNotifyArea area;
    CSysTray tray{area};
    XdgAutostart autostart{folder / "config" / "autostart" / "kestrun.desktop", "/usr/bin/kestrun"};
    bool trayAvailable = true;
    /// When set, the window asks through these instead of the scripted ones.
    Dialogs* realDialogs = nullptr;
    std::unique_ptr<frmMain> window;
};

inline const ProgramSpec kThreeTasks{"Three",
                                     {{"Open File", "/usr/bin/xterm", "True"},
                                      {"Wait", "5", "False"},
                                      {"Keystrokes", "ls~", "True"}}};

}  // namespace kestrun::test
