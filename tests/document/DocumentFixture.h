#pragma once

#include "document/TaskDocument.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestDocuments.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kestrun::test {

using Lines = std::vector<std::string>;

/// The rows of a program as "type|value|enabled" lines.
inline Lines RowsOf(TaskDocument& document, const std::string& program)
{
    Lines lines;
    for (const TaskRow& row : document.FillTaskList(program))
        lines.push_back(row.type + "|" + row.value + "|" + row.enabled);
    return lines;
}

/// A temporary folder holding Kestrun.xml, and a document store on it.
class DocumentFixture : public ::testing::Test {
protected:
    /// Writes the text as Kestrun.xml and loads it; a failed load fails the test.
    void Load(const std::string& xml)
    {
        folder.Write("Kestrun.xml", xml);
        reporter.reports.clear();
        document = Reload(reporter);
    }

    std::unique_ptr<TaskDocument> Reload(RecordingReporter& to)
    {
        auto loaded = std::make_unique<TaskDocument>(folder.path(), to);
        EXPECT_TRUE(loaded->Load()) << (to.Silent() ? "" : to.reports[0].text);
        return loaded;
    }
    std::unique_ptr<TaskDocument> Reload() { return Reload(again); }

    Lines Rows(const std::string& program) { return RowsOf(*document, program); }

    /// The `index` attributes of all tasks in document order, as they are.
    Lines Indexes()
    {
        Lines indexes;
        for (const pugi::xpath_node& task : document->Dom().select_nodes("//task"))
            indexes.push_back(task.node().attribute("index").value());
        return indexes;
    }

    /// The text of the single report, or a failure when there is not exactly one.
    std::string OnlyReport()
    {
        EXPECT_EQ(reporter.reports.size(), 1u);
        return reporter.reports.empty() ? "" : reporter.reports.front().text;
    }

    TempFolder folder;
    RecordingReporter reporter, again;
    std::unique_ptr<TaskDocument> document;
};

}  // namespace kestrun::test
