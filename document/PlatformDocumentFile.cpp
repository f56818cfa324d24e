// The document's file through the platform's whole-file services, where the
// system has no descriptors to link and rename (Windows): the same reports
// as the descriptor-level code of DocumentFile.cpp.
#include "document/DocumentFile.h"

#include "document/DocumentError.h"
#include "platform/FileReplacement.h"

#include <string>

namespace kestrun {

namespace {

[[noreturn]] void ReadFailure(const std::filesystem::path& path, const FileFailure& failure)
{
    if (failure.fault == FileFault::NotFound)
        throw DocumentError(kErrDocumentNotFound, "[Kestrun.xml] File Not Found");
    std::string what = failure.what();
    if (failure.fault == FileFault::NotRegular)
        what = "not a regular file";
    else if (failure.fault == FileFault::TooLarge)
        what = std::string("larger than ") + kMaxDocumentSizeText;
    throw DocumentError::LoadFailure(pugi::status_io_error, "Cannot read " + path.string() + ": " + what);
}

DocumentError SaveFailure(const FileFailure& failure, const std::string& path)
{
    const std::string reason = failure.what();
    const std::string why = reason.empty() ? std::string() : " (" + reason + ")";
    switch (failure.fault) {
    case FileFault::DiskFull:
        return DocumentError(kErrDiskFull, "Disk full: " + path + why);
    case FileFault::PermissionDenied:
        return DocumentError(kErrPermissionDenied, "Permission denied: " + path + why);
    case FileFault::NotFound:
        return DocumentError(kErrFileNotFound, "File not found: " + path + why);
    case FileFault::NotRegular:
        return DocumentError(kErrFileNotFound, "File not found: " + path + " is not a regular file");
    case FileFault::OutOfMemory:
        return DocumentError(kErrOutOfMemory, "Out of memory: " + path + why);
    default:
        return DocumentError(kErrDeviceIO, "Device I/O error: " + path + why);
    }
}

// Hands the bytes the platform asks for to pugixml's writer interface.
FileContent ContentOf(const std::function<void(pugi::xml_writer&)>& produce)
{
    return [&produce](const FileBytes& bytes) {
        struct Writer : pugi::xml_writer {
            explicit Writer(const FileBytes& bytes) : bytes(bytes) {}
            void write(const void* data, std::size_t size) override { bytes(static_cast<const char*>(data), size); }
            const FileBytes& bytes;
        } writer(bytes);
        produce(writer);
    };
}

}  // namespace

DocumentFileReader::DocumentFileReader(const std::filesystem::path& path) : path_(path)
{
    try {
        file_ = OpenReadableFile(path, kMaxDocumentBytes);
    } catch (const FileFailure& failure) {
        ReadFailure(path, failure);
    }
    size_ = file_->Size();
}

DocumentFileReader::~DocumentFileReader() = default;

void DocumentFileReader::ReadInto(char* data)
{
    try {
        file_->ReadInto(data);
    } catch (const FileFailure& failure) {
        ReadFailure(path_, failure);
    }
}

void ReplaceDocumentFile(const std::filesystem::path& path,
                         const std::function<void(pugi::xml_writer&)>& produce)
{
    const std::string fileName = path.filename().string();
    try {
        ReplaceRegularFile(path, [&fileName] { return NewSaveTemporaryName(fileName); }, ContentOf(produce));
    } catch (const FileFailure& failure) {
        throw SaveFailure(failure, path.string());
    }
}

bool WriteNewDocumentFile(const std::filesystem::path& path, const std::filesystem::path&,
                          const std::function<void(pugi::xml_writer&)>& produce)
{
    try {
        return WriteNewRegularFile(path, ContentOf(produce));
    } catch (const FileFailure& failure) {
        throw SaveFailure(failure, path.string());
    }
}

void RemoveStrayTemporaries(const std::filesystem::path& path) noexcept
{
    const std::string fileName = path.filename().string();
    RemoveUnheldTemporaries(path, [&fileName](std::string_view name) { return IsSaveTemporaryName(name, fileName); });
}

}  // namespace kestrun
