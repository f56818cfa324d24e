#pragma once

#include "app/TaskListView.h"
#include "app/frmMain.h"
#include "platform/posix/XdgAutostart.h"
#include "settings/registry/RegistryFile.h"
#include "settings/CRegSettings.h"
#include "tests/runner/FakeServices.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestDocuments.h"
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

using Texts = std::vector<std::string>;

struct ProgramSpec {
    std::string name;
    std::vector<TaskRow> tasks;
};

/// The main window over its own Kestrun.xml, dialogs, run services, tray, settings and autostart.
class MainWindowFixture : public ::testing::Test {
protected:
    void TearDown() override { window.reset(), document.reset(); }

    /// Writes the template and the programs given and loads a new window over
    /// them; `controls` makes them as the first showing would, without showing.
    void Load(const std::vector<ProgramSpec>& programs, bool controls = true)
    {
        window.reset();
        std::string text;
        for (const ProgramSpec& program : programs) {
            std::string tasks;
            int index = 0;
            for (const TaskRow& task : program.tasks)
                tasks += Task(task.type, task.value, task.enabled, std::to_string(++index));
            text += Program(program.name, tasks);
        }
        folder.Write("Kestrun.xml", Document(text, "", "Kestrun.xsd"));
        document = std::make_unique<TaskDocument>(folder.path(), reporter);
        window = std::make_unique<frmMain>(MainWindowContext{
            folder.path(), reporter, *document, realDialogs ? *realDialogs : static_cast<Dialogs&>(dialogs),
            [this] { return services.Services(); }, [this] { return trayAvailable; }, {}, &autostart, &settings, &tray});
        ASSERT_TRUE(window->Form_Load()) << (reporter.Silent() ? "" : reporter.reports[0].text);
        if (controls)
            window->EnsureControls();
    }

    frmMain& w() { return *window; }
    /// Whether the window's document holds unsaved changes.
    bool Dirty() const { return window->Document()->Dirty(); }
    void Show() { window->ShowForm(), QApplication::processEvents(); }

    /// A press in the Value column of a row (from 1), or below the rows (0).
    void PressRow(int row, Qt::MouseButton button = Qt::LeftButton)
    {
        TaskListView& list = *window->lstTasks;
        const int y = row ? list.visualItemRect(list.topLevelItem(row - 1)).center().y() : list.viewport()->height() - 3;
        QTest::mousePress(list.viewport(), button, {}, QPoint(list.columnViewportPosition(1) + 10, y));
    }

    void TypeProgram(const char* text)
    {
        window->cboPrograms->lineEdit()->selectAll();
        QTest::keyClicks(window->cboPrograms->lineEdit(), text);
    }

    Texts ProgramEntries() const
    {
        Texts entries;
        for (int i = 0; i < window->cboPrograms->count(); ++i)
            entries.push_back(window->cboPrograms->itemText(i).toStdString());
        return entries == window->Document()->ProgramNames() ? entries : Texts{"not the document's programs"};
    }

    std::string EnabledButtons() const
    {
        const std::pair<QPushButton*, const char*> buttons[] = {
            {window->cmdEditProgram, "edit"},      {window->cmdDeleteProgram, "delete"},
            {window->cmdAddTask, "addTask"},       {window->cmdEditTask, "editTask"},
            {window->cmdDeleteTask, "deleteTask"}, {window->cmdMoveUp, "up"}, {window->cmdMoveDown, "down"}};
        std::string enabled;
        for (const auto& [button, name] : buttons)
            enabled += button->isEnabled() ? (enabled.empty() ? "" : " ") + std::string(name) : "";
        return enabled;
    }

    static Texts Lines(const std::vector<TaskRow>& rows)
    {
        Texts lines;
        for (const TaskRow& row : rows)
            lines.push_back(row.type + "|" + row.value + "|" + row.enabled);
        return lines;
    }
    Texts Listed() const { return Lines(window->lstTasks->Rows()); }
    Texts Stored(const std::string& program) const { return Lines(window->Document()->FillTaskList(program)); }

    Texts Messages() const
    {
        Texts texts;
        for (const auto& shown : dialogs.shown)
            shown.kind == "message" ? texts.push_back(shown.text) : void();
        return texts;
    }

    template <typename Widget = QAbstractButton>
    Widget& In(const std::string& name)
    {
        Widget* child = window->TaskEditor() ? window->TaskEditor()->findChild<Widget*>(QString::fromStdString(name)) : nullptr;
        return child ? *child : throw std::runtime_error("no task editor control " + name);
    }
    QLineEdit& Field(const std::string& name) { return In<QLineEdit>(name); }
    std::string Text(const std::string& name) { return Field(name).text().toStdString(); }
    void Click(const std::string& name) { In(name).click(); }

    TempFolder folder;
    RecordingReporter reporter;
    ScriptedDialogs dialogs;
    FakeServices services;
    CRegSettings settings{std::make_unique<RegistryFile>(folder / "settings" / "Kestrun.reg")};
    FakeNotifyArea area;
    CSysTray tray{area};
    XdgAutostart autostart{folder / "config" / "autostart" / "kestrun.desktop", "/usr/bin/kestrun"};
    bool trayAvailable = true;
    Dialogs* realDialogs = nullptr;  // when set, asked instead of the scripted ones
    std::unique_ptr<TaskDocument> document;  // the window's, made anew by each Load
    std::unique_ptr<frmMain> window;
};

inline const ProgramSpec kThreeTasks{
    "Three", {{"Open File", "/usr/bin/xterm", "True"}, {"Wait", "5", "False"}, {"Keystrokes", "ls~", "True"}}};
inline const Texts kThreeRows = {"Open File|/usr/bin/xterm|True", "Wait|5 seconds|False", "Keystrokes|ls~|True"};

}  // namespace kestrun::test
