#include "document/DocumentPaths.h"

#include <algorithm>

namespace kestrun {

namespace {

constexpr const char* kProgramsPrefix = "//programs/";
constexpr const char* kSchemaLocationAttribute = "xsi:noNamespaceSchemaLocation";

bool IsProgramsElement(pugi::xml_node node)
{
    return node.type() == pugi::node_element && std::string_view(node.name()) == "programs";
}

// No stored name holds a NUL character, so a name with one matches nothing
// (a query variable would end at it and could match a different name).
bool Storable(const std::string& name)
{
    return name.find('\0') == std::string::npos;
}

}  // namespace

bool DocumentPaths::HoldsProgramsElement(pugi::xml_node subtree)
{
    if (IsProgramsElement(subtree))
        return true;
    return static_cast<bool>(subtree.find_node(IsProgramsElement));
}

DocumentPaths::DocumentPaths()
{
    variables_.add("name", pugi::xpath_type_string);
    variables_.add("index", pugi::xpath_type_string);
    allPrograms_ = pugi::xpath_query("//programs", &variables_);
    firstTask_ = pugi::xpath_query("tasks/task", &variables_);
    listed_ = MakePath("program[name!='Kestrun Template']");
    tasks_ = MakePath("program[name=$name]/tasks/task");
    program_ = MakePath("program[name=$name]");
    taskContainer_ = MakePath("program[name=$name]/tasks");
    task_ = MakePath("program[name=$name]/tasks/task[@index=$index]");
    template_ = MakePath("program[name='Kestrun Template']");
    templateTask_ = MakePath("program[name='Kestrun Template']/tasks/task");
}

DocumentPaths::Path DocumentPaths::MakePath(const std::string& relative)
{
    return Path{pugi::xpath_query(relative.c_str(), &variables_),
                pugi::xpath_query((kProgramsPrefix + relative).c_str(), &variables_)};
}

void DocumentPaths::Attach(const pugi::xml_document& document)
{
    root_ = document;
    RebuildProgramsList();
}

void DocumentPaths::RebuildProgramsList()
{
    programsElements_.clear();
    nested_ = false;
    pugi::xpath_node_set all = allPrograms_.evaluate_node_set(root_);
    all.sort();
    for (const pugi::xpath_node& found : all) {
        pugi::xml_node element = found.node();
        for (pugi::xml_node up = element.parent(); up; up = up.parent())
            if (IsProgramsElement(up))
                nested_ = true;
        programsElements_.push_back(element);
    }
}

void DocumentPaths::ProgramsChanged()
{
    RebuildProgramsList();
}

bool DocumentPaths::CacheMatchesDocument() const
{
    std::vector<pugi::xml_node> fresh;
    pugi::xpath_node_set all = allPrograms_.evaluate_node_set(root_);
    all.sort();
    for (const pugi::xpath_node& found : all)
        fresh.push_back(found.node());
    return fresh == programsElements_;
}

std::vector<pugi::xml_node> DocumentPaths::Nodes(const Path& path)
{
    std::vector<pugi::xml_node> nodes;
    auto collect = [&nodes](pugi::xpath_node_set set) {
        set.sort();
        for (const pugi::xpath_node& found : set)
            nodes.push_back(found.node());
    };
    if (nested_) {
        collect(path.full.evaluate_node_set(root_));
    } else {
        // Distinct, non-nested containers in document order: their results
        // follow each other in document order too.
        for (pugi::xml_node programs : programsElements_)
            collect(path.relative.evaluate_node_set(programs));
    }
    return nodes;
}

pugi::xml_node DocumentPaths::FirstNode(const Path& path)
{
    if (nested_)
        return path.full.evaluate_node(root_).node();
    for (pugi::xml_node programs : programsElements_) {
        if (pugi::xml_node found = path.relative.evaluate_node(programs).node())
            return found;
    }
    return {};
}

void DocumentPaths::SetName(const std::string& program)
{
    variables_.set("name", program.c_str());
}

std::vector<pugi::xml_node> DocumentPaths::ListedPrograms()
{
    return Nodes(listed_);
}

std::vector<pugi::xml_node> DocumentPaths::ProgramTasks(const std::string& program)
{
    if (!Storable(program))
        return {};
    SetName(program);
    return Nodes(tasks_);
}

pugi::xml_node DocumentPaths::Program(const std::string& program)
{
    if (!Storable(program))
        return {};
    SetName(program);
    return FirstNode(program_);
}

pugi::xml_node DocumentPaths::ProgramTaskContainer(const std::string& program)
{
    if (!Storable(program))
        return {};
    SetName(program);
    return FirstNode(taskContainer_);
}

pugi::xml_node DocumentPaths::Task(const std::string& program, int index)
{
    if (!Storable(program))
        return {};
    SetName(program);
    variables_.set("index", std::to_string(index).c_str());
    return FirstNode(task_);
}

pugi::xml_node DocumentPaths::TemplateProgram()
{
    return FirstNode(template_);
}

pugi::xml_node DocumentPaths::TemplateTask()
{
    return FirstNode(templateTask_);
}

pugi::xml_node DocumentPaths::FirstPrograms()
{
    return programsElements_.empty() ? pugi::xml_node() : programsElements_.front();
}

pugi::xml_attribute DocumentPaths::SchemaLocation()
{
    // The first match in document order: a walk that stops there, rather than
    // collecting every attribute of the document first.
    for (pugi::xml_node node = root_.first_child(); node;) {
        if (pugi::xml_attribute found = node.attribute(kSchemaLocationAttribute))
            return found;
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && !node.next_sibling())
            node = node.parent();
        if (node)
            node = node.next_sibling();
    }
    return {};
}

pugi::xml_node DocumentPaths::FirstTaskOf(pugi::xml_node program)
{
    return firstTask_.evaluate_node(program).node();
}

}  // namespace kestrun
