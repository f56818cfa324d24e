#include "document/NodeText.h"
#include "document/TaskDocument.h"

namespace kestrun {

namespace {

// Writes the row number into the task's `index` attribute, which is its first
// attribute; a task without one gets it in first place.
void SetIndex(pugi::xml_node task, std::size_t row)
{
    pugi::xml_attribute index = task.attribute("index");
    if (!index)
        index = task.prepend_attribute("index");
    index.set_value(std::to_string(row).c_str());
}

}  // namespace

std::vector<std::string> TaskDocument::ProgramNames()
{
    std::vector<std::string> names;
    Guarded([&] {
        for (pugi::xml_node program : paths_.ListedPrograms())
            names.push_back(TextOf(RequireChild(program, "name")));
    });
    return names;
}

std::vector<TaskRow> TaskDocument::FillTaskList(const std::string& program)
{
    std::vector<TaskRow> rows;
    Guarded([&] {
        for (pugi::xml_node task : paths_.ProgramTasks(program)) {
            TaskRow row;
            row.type = TextOf(RequireChild(task, "type"));
            row.value = TextOf(RequireChild(task, "value"));
            if (row.type == kTypeWait)
                row.value += " seconds";
            row.enabled = TextOf(RequireChild(task, "enabled"));
            rows.push_back(std::move(row));
            SetIndex(task, rows.size());
        }
    });
    return rows;
}

}  // namespace kestrun
