#pragma once

// The task documents tests write: one builder for a task, a program and a whole Kestrun.xml.

#include <string>
#include <utility>
#include <vector>

namespace kestrun::test {

/// The text with &, < and > as XML references, for a name or a value.
inline std::string XmlEscaped(const std::string& text)
{
    std::string out;
    for (const char c : text)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    return out;
}

/// A <task> element, its parts as they are: a test may mean markup or a raw reference there.
inline std::string Task(const std::string& type, const std::string& value, const std::string& enabled = "True",
                        const std::string& index = "1")
{
    return "<task index=\"" + index + "\"><type>" + type + "</type><value>" + value + "</value><enabled>" +
           enabled + "</enabled></task>";
}

/// A <program> element around task elements (as Task makes them), the name as it is.
inline std::string Program(const std::string& name, const std::string& tasks = "")
{
    return "<program><name>" + name + "</name><tasks>" + tasks + "</tasks></program>";
}

/// Each task as its type and value; enabled and numbered from 1 in a document.
using TaskList = std::vector<std::pair<std::string, std::string>>;

/// A <program> element of these tasks, the name and values escaped.
inline std::string Program(const std::string& name, const TaskList& tasks)
{
    std::string xml;
    for (std::size_t k = 0; k < tasks.size(); ++k)
        xml += Task(XmlEscaped(tasks[k].first), XmlEscaped(tasks[k].second), "True", std::to_string(k + 1));
    return Program(XmlEscaped(name), xml);
}

inline const std::string kTemplate = Program("Kestrun Template", Task("Open File", ""));

/// A whole document: the declaration, the root naming the schema at `schema`, the template
/// (unless left out), then the given programs.
inline std::string Document(const std::string& programs, const std::string& declaration, const std::string& schema,
                            bool withTemplate = true)
{
    return declaration +
           "<programs xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"" +
           schema + "\">" + (withTemplate ? kTemplate : "") + programs + "</programs>";
}

/// A document whose schema is elsewhere, as the document tests load it.
inline std::string DocumentXml(const std::string& programs, bool withTemplate = true)
{
    return Document(programs, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", "/elsewhere/Kestrun.xsd", withTemplate);
}

/// A document with its schema beside it, as the built kestrun is given one.
inline std::string TemplateDocument(const std::string& programs = "")
{
    return Document(programs, "<?xml version=\"1.0\"?>\n", "Kestrun.xsd") + "\n";
}

}  // namespace kestrun::test
