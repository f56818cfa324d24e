#pragma once

#include "document/DocumentError.h"
#include "document/DocumentPaths.h"

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun {

inline constexpr const char* kDocumentFileName = "Kestrun.xml";
inline constexpr const char* kSchemaFileName = "Kestrun.xsd";
inline constexpr const char* kTemplateProgramName = "Kestrun Template";

/// How deep nodes may nest in a task document. A real one needs six levels;
/// the limit keeps every walk of the tree that recurses (the XML library
/// removes a subtree recursively) far from the end of the stack.
inline constexpr std::size_t kMaxNestingDepth = 1000;

inline constexpr const char* kTypeOpenFile = "Open File";
inline constexpr const char* kTypeWait = "Wait";
inline constexpr const char* kTypeKeystrokes = "Keystrokes";

/// One row of the task list, as it is shown: the type, the value (a "Wait"
/// value followed by " seconds") and the enabled text ("True" or "False").
/// Row k (from 1) is the task whose `index` attribute is k after the listing.
struct TaskRow {
    std::string type;
    std::string value;
    std::string enabled;

    bool operator==(const TaskRow&) const = default;
};

/// The task document: the in-memory DOM of Kestrun.xml, its load and save, the
/// task listing and the editing operations on programs and tasks.
///
/// Every failure but that of a save is fatal: it goes to the reporter given at
/// construction as "Error: <number>" and a description. The application's
/// reporter ends the process; when a test's reporter returns, the failed
/// operation returns too. A failed save goes to the reporter its caller
/// gives, and the document keeps its changes. Texts are UTF-8.
class TaskDocument {
public:
    /// `folder` is where Kestrun.xml lives, and Kestrun.xsd unless
    /// `schemaFile` names another.
    TaskDocument(std::filesystem::path folder, FatalErrorReporter& reporter,
                 std::filesystem::path schemaFile = {});
    TaskDocument(const TaskDocument&) = delete;
    TaskDocument& operator=(const TaskDocument&) = delete;

    /// Reads and parses Kestrun.xml and points its schema location at
    /// SchemaPath(). False after a fatal report. Removes what saves killed
    /// midway left beside the file first.
    bool Load();
    /// The same from a text already in memory (the file name is still used
    /// for the schema location).
    bool LoadFromText(std::string_view text);

    /// Writes the document over the existing Kestrun.xml, atomically, and
    /// clears Dirty(). The file is never created. A failure goes to
    /// `reportTo`, leaves the file as it was and Dirty() set; false then.
    bool SaveTaskDocument(FatalErrorReporter& reportTo);

    /// Whether Kestrun.xml on disk holds something other than what this
    /// document last read or wrote: compared by size, time and identity, and
    /// where those differ, or always when `thorough`, by a hash of the
    /// content. Unless `thorough`, a content that Reload refused counts as
    /// seen. A file that cannot be read counts as unchanged.
    bool ChangedOnDisk(bool thorough);
    /// Reads Kestrun.xml anew. On success the document holds the file's
    /// content; a file that fails to load is reported to `reportTo` (not to
    /// this document's reporter) and the document stays as it was. False then.
    /// A successful reload clears Dirty().
    bool Reload(FatalErrorReporter& reportTo);
    /// Writes the document into a new file beside Kestrun.xml, named after
    /// the moment, never over an existing one; its path. Failures go to
    /// `reportTo` like those of a save, and give an empty path.
    std::filesystem::path SaveCopyBeside(FatalErrorReporter& reportTo);

    /// The names of all programs but the template, in document order.
    std::vector<std::string> ProgramNames();

    /// The rows of every task of the programs named `program`, in document
    /// order; renumbers their `index` attributes to the row numbers. Rows read
    /// before a malformed task are returned after its fatal report.
    std::vector<TaskRow> FillTaskList(const std::string& program);

    /// Whether the document holds changes not yet written to Kestrun.xml:
    /// each editing operation below that changes it sets this.
    bool Dirty() const { return dirty_; }
    /// Marks the document as holding unsaved changes.
    void MarkDirty() { dirty_ = true; }

    void AddProgram(const std::string& name);
    void RenameProgram(const std::string& currentName, const std::string& newName);
    void DeleteProgram(const std::string& name);
    void AddTask(const std::string& program, const std::string& type,
                 const std::string& value, bool enabled);
    /// A "Wait" value is reduced to the number at its start ("5 seconds" -> "5").
    void UpdateTask(const std::string& program, int index, const std::string& type,
                    const std::string& value, bool enabled);
    void DeleteTask(const std::string& program, int index);
    /// Swaps the task with the next (moveDown) or previous task.
    void MoveTask(const std::string& program, int index, bool moveDown);

    /// The text a save writes: UTF-8 with an XML declaration saying so.
    std::string Serialize();

    std::filesystem::path DocumentPath() const { return folder_ / kDocumentFileName; }
    std::filesystem::path SchemaPath() const { return schemaFile_; }

    /// For checks: the DOM itself, and whether the path shortcuts are sound.
    const pugi::xml_document& Dom() const { return dom_; }
    bool PathsConsistent() const { return paths_.CacheMatchesDocument(); }

private:
    void Fail(const DocumentError& error);
    void KeepSchemaLocation();
    std::string SchemaLocationText() const;
    void WriteTo(pugi::xml_writer& writer);
    // Runs an operation; any failure in it becomes the fatal report, or goes
    // to `reportTo` when one is given.
    bool Guarded(const std::function<void()>& operation, FatalErrorReporter* reportTo = nullptr);
    void RemoveNode(pugi::xml_node node);
    void SetText(pugi::xml_node element, const std::string& text);
    class DomBuffer;
    void Parse(DomBuffer& buffer, const std::function<std::string()>& original);

    /// What Kestrun.xml held when it was last read or written here.
    struct DiskStamp {
        bool known = false;
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t modified = 0;  // the system's units (nanoseconds on POSIX systems)
        std::string hash;
        bool SameFile(const DiskStamp& other) const;
    };
    DiskStamp StatDisk() const;
    static std::string Hash(std::string_view text);
    /// The hash of the file on disk now; false (hash untouched) when it cannot be read.
    bool HashOnDisk(std::string& hash) const;

    std::filesystem::path folder_;
    std::filesystem::path schemaFile_;
    DiskStamp stamp_;
    DiskStamp refused_;
    FatalErrorReporter& reporter_;
    pugi::xml_document dom_;
    DocumentPaths paths_;
    bool dirty_ = false;
};

}  // namespace kestrun
