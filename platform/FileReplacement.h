#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrun {

/// What kept a file service from doing its work, by what the user can do
/// about it.
enum class FileFault {
    NotFound,
    NotRegular,        ///< a folder, a device, a pipe...
    TooLarge,          ///< larger than the reader's limit
    Changed,           ///< the file changed while it was read
    PermissionDenied,  ///< also a file marked read-only
    DiskFull,
    OutOfMemory,
    Other,
};

/// A file service that failed: the fault, and the system's words for it
/// (empty when the fault says it all).
class FileFailure : public std::runtime_error {
public:
    FileFailure(FileFault fault, const std::string& reason) : std::runtime_error(reason), fault(fault) {}
    FileFault fault;
};

/// Takes the bytes of a file's content as they are produced.
using FileBytes = std::function<void(const char* data, std::size_t size)>;
/// Produces a file's content into the FileBytes it is given; whatever it
/// throws leaves the file as it was and is passed on.
using FileContent = std::function<void(const FileBytes&)>;

/// A regular file opened to be read whole.
class ReadableFile {
public:
    virtual ~ReadableFile() = default;
    /// The file's size when it was opened.
    virtual std::size_t Size() const = 0;
    /// Reads the whole file into `data`, which holds Size() bytes. Throws
    /// FileFailure, Changed when the file's size changed meanwhile.
    virtual void ReadInto(char* data) = 0;
};

/// Opens the regular file at `path` (a link followed) of at most `maxBytes`.
/// Anything else is refused before it is opened, so that a device or a pipe
/// never blocks the reader. Throws FileFailure.
std::unique_ptr<ReadableFile> OpenReadableFile(const std::filesystem::path& path, std::uint64_t maxBytes);

/// Replaces the regular file at `path` with `content` in one step: the
/// content goes into a hidden file beside it, named by `temporaryName`, and
/// held open so that no clean-up removes it; once it is on the disk it takes
/// the file's place, keeping the old file's attributes. A file marked
/// read-only is refused. Throws FileFailure and leaves the file as it was.
void ReplaceRegularFile(const std::filesystem::path& path, const std::function<std::string()>& temporaryName,
                        const FileContent& content);

/// Writes `content` into a new file at `path`. False, writing nothing, when
/// a file of that name exists; other failures throw FileFailure and remove
/// what was written.
bool WriteNewRegularFile(const std::filesystem::path& path, const FileContent& content);

/// Removes the files beside `path` whose names `isTemporary` accepts and
/// that no process holds open, as a replacement still writing does. Never
/// fails.
void RemoveUnheldTemporaries(const std::filesystem::path& path,
                             const std::function<bool(std::string_view name)>& isTemporary) noexcept;

/// What tells a file's versions apart without reading it.
struct FileStamp {
    bool known = false;  ///< false when the file cannot be looked at
    std::uint64_t volume = 0;
    std::uint64_t identity = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  ///< in the system's own units
};

/// The stamp of the file at `path` (a link followed).
FileStamp StampOfFile(const std::filesystem::path& path) noexcept;

}  // namespace kestrun
