#include "core/NumberText.h"
#include "document/NodeText.h"
#include "document/TaskDocument.h"

namespace kestrun {

namespace {

pugi::xml_node Require(pugi::xml_node node)
{
    if (!node)
        throw DocumentError::NodeNotFound();
    return node;
}

pugi::xml_node PreviousElement(pugi::xml_node node)
{
    do
        node = node.previous_sibling();
    while (node && node.type() != pugi::node_element);
    return node;
}

pugi::xml_node NextElement(pugi::xml_node node)
{
    do
        node = node.next_sibling();
    while (node && node.type() != pugi::node_element);
    return node;
}

}  // namespace

// Every removal, insertion or move of a subtree that holds a `programs`
// element must refresh the path shortcuts; these helpers and the operations
// below take care of it.
void TaskDocument::RemoveNode(pugi::xml_node node)
{
    const bool heldPrograms = DocumentPaths::HoldsProgramsElement(node);
    node.parent().remove_child(node);
    if (heldPrograms)
        paths_.ProgramsChanged();
}

void TaskDocument::SetText(pugi::xml_node element, const std::string& text)
{
    const bool heldPrograms = DocumentPaths::HoldsProgramsElement(element);
    SetTextOf(element, text);
    if (heldPrograms)
        paths_.ProgramsChanged();
}

void TaskDocument::AddProgram(const std::string& name)
{
    Guarded([&] {
        pugi::xml_node templateProgram = Require(paths_.TemplateProgram());
        pugi::xml_node programs = Require(paths_.FirstPrograms());
        pugi::xml_node copy = Require(programs.append_copy(templateProgram));
        try {
            if (DocumentPaths::HoldsProgramsElement(copy))
                paths_.ProgramsChanged();
            SetText(RequireChild(copy, "name"), name);
            RemoveNode(Require(paths_.FirstTaskOf(copy)));
        } catch (...) {
            RemoveNode(copy);  // a failed add leaves the document as it was
            throw;
        }
        dirty_ = true;
    });
}

void TaskDocument::RenameProgram(const std::string& currentName, const std::string& newName)
{
    Guarded([&] {
        pugi::xml_node program = Require(paths_.Program(currentName));
        SetText(RequireChild(program, "name"), newName);
        dirty_ = true;
    });
}

void TaskDocument::DeleteProgram(const std::string& name)
{
    Guarded([&] {
        RemoveNode(Require(paths_.Program(name)));
        dirty_ = true;
    });
}

void TaskDocument::AddTask(const std::string& program, const std::string& type,
                           const std::string& value, bool enabled)
{
    Guarded([&] {
        pugi::xml_node container = paths_.ProgramTaskContainer(program);
        pugi::xml_node templateTask = Require(paths_.TemplateTask());
        // The three fields must exist before anything is added.
        for (const char* field : {"type", "value", "enabled"})
            RequireChild(templateTask, field);
        Require(container);
        pugi::xml_node copy = Require(container.append_copy(templateTask));
        if (DocumentPaths::HoldsProgramsElement(copy))
            paths_.ProgramsChanged();
        SetText(ChildElement(copy, "type"), type);
        SetText(ChildElement(copy, "value"), value);
        SetText(ChildElement(copy, "enabled"), BooleanText(enabled));
        dirty_ = true;
    });
}

void TaskDocument::UpdateTask(const std::string& program, int index, const std::string& type,
                              const std::string& value, bool enabled)
{
    Guarded([&] {
        pugi::xml_node task = Require(paths_.Task(program, index));
        pugi::xml_node typeNode = RequireChild(task, "type");
        pugi::xml_node valueNode = RequireChild(task, "value");
        pugi::xml_node enabledNode = RequireChild(task, "enabled");
        SetText(typeNode, type);
        SetText(valueNode, type == kTypeWait ? WaitValueText(value) : value);
        SetText(enabledNode, BooleanText(enabled));
        dirty_ = true;
    });
}

void TaskDocument::DeleteTask(const std::string& program, int index)
{
    Guarded([&] {
        RemoveNode(Require(paths_.Task(program, index)));
        dirty_ = true;
    });
}

void TaskDocument::MoveTask(const std::string& program, int index, bool moveDown)
{
    Guarded([&] {
        pugi::xml_node task = Require(paths_.Task(program, index));
        pugi::xml_node parent = task.parent();
        // The neighbour is the next or previous element; with none there is
        // nothing to swap with.
        if (moveDown) {
            pugi::xml_node next = NextElement(task);
            if (!next)
                return;
            parent.insert_move_after(task, next);
        } else {
            pugi::xml_node previous = PreviousElement(task);
            if (!previous)
                return;
            parent.insert_move_before(task, previous);
        }
        if (DocumentPaths::HoldsProgramsElement(task))
            paths_.ProgramsChanged();
        dirty_ = true;
    });
}

}  // namespace kestrun
