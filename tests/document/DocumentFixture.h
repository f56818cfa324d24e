#pragma once

#include "core/Globals.h"
#include "document/TaskDocument.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kestrun::test {

/// A task with its three fields, for building documents in tests.
struct TaskSpec {
    std::string type;
    std::string value;
    std::string enabled = "True";
    std::string index = "1";
};

inline std::string TaskXml(const TaskSpec& task)
{
    return "<task index=\"" + task.index + "\"><type>" + task.type + "</type><value>" + task.value +
           "</value><enabled>" + task.enabled + "</enabled></task>";
}

inline std::string ProgramXml(const std::string& name, std::initializer_list<TaskSpec> tasks)
{
    std::string xml = "<program><name>" + name + "</name><tasks>";
    for (const TaskSpec& task : tasks)
        xml += TaskXml(task);
    return xml + "</tasks></program>";
}

inline std::string TemplateXml()
{
    return ProgramXml("Kestrun Template", {{"Open File", "", "True", "1"}});
}

/// A whole document: a `programs` root with the schema location, the template
/// first and then the given program elements.
inline std::string DocumentXml(const std::string& programs, bool withTemplate = true)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<programs xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xsi:noNamespaceSchemaLocation=\"/elsewhere/Kestrun.xsd\">" +
           (withTemplate ? TemplateXml() : std::string()) + programs + "</programs>";
}

/// A temporary folder holding Kestrun.xml, and a document store on it.
class DocumentFixture : public ::testing::Test {
protected:
    void SetUp() override { gDocumentDirty = false; }

    /// Writes the text as Kestrun.xml and loads it; a failed load fails the test.
    TaskDocument& Load(const std::string& xml)
    {
        folder.Write("Kestrun.xml", xml);
        document = std::make_unique<TaskDocument>(folder.path(), reporter);
        EXPECT_TRUE(document->Load()) << (reporter.Silent() ? "" : reporter.reports[0].text);
        return *document;
    }

    /// The tasks of a program as "type|value|enabled" lines, after a listing.
    std::vector<std::string> Rows(const std::string& program)
    {
        std::vector<std::string> lines;
        for (const TaskRow& row : document->FillTaskList(program))
            lines.push_back(row.type + "|" + row.value + "|" + row.enabled);
        return lines;
    }

    /// The `index` attributes of a program's tasks in document order, as they are.
    std::vector<std::string> Indexes(const std::string& program)
    {
        std::vector<std::string> indexes;
        pugi::xpath_variable_set variables;
        variables.set("name", program.c_str());
        for (const auto& task : document->Dom().select_nodes(
                 "//programs/program[name=$name]/tasks/task", &variables))
            indexes.push_back(task.node().attribute("index").value());
        return indexes;
    }

    /// The single report, or a failure when there is not exactly one.
    RecordingReporter::Entry OnlyReport()
    {
        EXPECT_EQ(reporter.reports.size(), 1u);
        return reporter.reports.empty() ? RecordingReporter::Entry{0, ""} : reporter.reports.front();
    }

    TempFolder folder;
    RecordingReporter reporter;
    std::unique_ptr<TaskDocument> document;
};

}  // namespace kestrun::test
