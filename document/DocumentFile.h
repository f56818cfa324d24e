#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kestrun {

class ReadableFile;

/// The largest task document Kestrun reads. A real one holds a few hundred
/// kilobytes; anything near this size is not a task document.
inline constexpr std::uint64_t kMaxDocumentBytes = 256ull << 20;
inline constexpr const char* kMaxDocumentSizeText = "256 MiB";

/// The task document file opened for reading. Only a regular file (after
/// following links) of at most kMaxDocumentBytes is opened at all, so that a
/// FIFO, a device or an endless file ends in a report rather than a hang.
/// Failures throw DocumentError in the layout of the load report.
class DocumentFileReader {
public:
    explicit DocumentFileReader(const std::filesystem::path& path);
    ~DocumentFileReader();
    DocumentFileReader(const DocumentFileReader&) = delete;
    DocumentFileReader& operator=(const DocumentFileReader&) = delete;

    std::size_t Size() const { return size_; }
    /// Reads the whole file into `data`, which holds Size() bytes. A file that
    /// changes its size meanwhile is reported.
    void ReadInto(char* data);

private:
    std::filesystem::path path_;
#if defined(_WIN32)
    std::unique_ptr<ReadableFile> file_;
#else
    int fd_ = -1;
#endif
    std::size_t size_ = 0;
};

/// Replaces the existing regular file at `path` (the file a link points to,
/// when it is one) with the text that `produce` writes, in one step: the text
/// goes into an unnamed file in the same folder, which gets a name only just
/// before it is renamed over the file. The new file keeps the old one's
/// permissions. The file's write permission is honoured even when running as
/// root. Failures throw DocumentError (53, 61, 70, 57...) naming the file, and
/// leave it as it was.
void ReplaceDocumentFile(const std::filesystem::path& path,
                         const std::function<void(pugi::xml_writer&)>& produce);

/// Writes the text that `produce` writes into a new file at `path`, with the
/// permissions of the file at `like`. False, writing nothing, when a file of
/// that name exists; other failures throw DocumentError naming the file and
/// remove what was written of it.
bool WriteNewDocumentFile(const std::filesystem::path& path, const std::filesystem::path& like,
                          const std::function<void(pugi::xml_writer&)>& produce);

/// Removes the temporaries that saves of the document at `path` left behind
/// when their process was killed, and leaves those of saves still running.
/// Failures are ignored.
void RemoveStrayTemporaries(const std::filesystem::path& path) noexcept;

/// A fresh name for a temporary of a save of the file named `fileName`.
std::string NewSaveTemporaryName(std::string_view fileName);

/// True when `name` is a temporary of a save of the file named `fileName`.
bool IsSaveTemporaryName(std::string_view name, std::string_view fileName);

}  // namespace kestrun
