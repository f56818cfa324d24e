#pragma once

#include <pugixml.hpp>

#include <string>
#include <vector>

namespace kestrun {

/// The location paths by which the system finds nodes in the task document,
/// each compiled once. Program names and task indexes enter as query
/// variables, so no name (an apostrophe included) can change a path.
///
/// All program paths start with "//programs/". The system never creates or
/// removes `programs` elements itself, so their list is kept from the load on,
/// and each path is evaluated on those elements rather than by searching the
/// whole document. The list is rebuilt only when an edit inserts or removes a
/// subtree that holds a `programs` element; when `programs` elements are nested
/// in each other the full "//" paths are evaluated instead. Either way the
/// results are exactly those of the full paths.
class DocumentPaths {
public:
    DocumentPaths();
    DocumentPaths(const DocumentPaths&) = delete;
    DocumentPaths& operator=(const DocumentPaths&) = delete;

    /// Binds the paths to a (freshly loaded) document.
    void Attach(const pugi::xml_document& document);

    /// True when the subtree is or holds a `programs` element. An edit that
    /// inserts, removes or moves such a subtree must call ProgramsChanged().
    static bool HoldsProgramsElement(pugi::xml_node subtree);
    /// Rebuilds the list of `programs` elements after such an edit.
    void ProgramsChanged();

    /// "//programs/program[name!='Kestrun Template']": the programs to offer.
    std::vector<pugi::xml_node> ListedPrograms();
    /// "//programs/program[name=P]/tasks/task": all tasks of programs named P.
    std::vector<pugi::xml_node> ProgramTasks(const std::string& program);
    /// "//programs/program[name=P]": the first program named P, or null.
    pugi::xml_node Program(const std::string& program);
    /// "//programs/program[name=P]/tasks": where a new task of P goes, or null.
    pugi::xml_node ProgramTaskContainer(const std::string& program);
    /// "//programs/program[name=P]/tasks/task[@index=I]", or null.
    pugi::xml_node Task(const std::string& program, int index);
    /// "//programs/program[name='Kestrun Template']", or null.
    pugi::xml_node TemplateProgram();
    /// "//programs/program[name='Kestrun Template']/tasks/task", or null.
    pugi::xml_node TemplateTask();
    /// "//programs": where new programs go, or null.
    pugi::xml_node FirstPrograms();
    /// "//@xsi:noNamespaceSchemaLocation": the first in document order, or null.
    pugi::xml_attribute SchemaLocation();
    /// "tasks/task" on a program: its first task, or null.
    pugi::xml_node FirstTaskOf(pugi::xml_node program);

    /// True when the kept list of `programs` elements equals a fresh search.
    bool CacheMatchesDocument() const;

private:
    // One path, relative to a `programs` element and from the document root.
    struct Path {
        pugi::xpath_query relative;
        pugi::xpath_query full;
    };
    Path MakePath(const std::string& relative);
    std::vector<pugi::xml_node> Nodes(const Path& path);
    pugi::xml_node FirstNode(const Path& path);
    void RebuildProgramsList();
    void SetName(const std::string& program);

    pugi::xpath_variable_set variables_;
    pugi::xpath_query allPrograms_;
    pugi::xpath_query firstTask_;
    Path listed_;
    Path tasks_;
    Path program_;
    Path taskContainer_;
    Path task_;
    Path template_;
    Path templateTask_;

    pugi::xml_node root_;
    std::vector<pugi::xml_node> programsElements_;
    bool nested_ = false;
};

}  // namespace kestrun
