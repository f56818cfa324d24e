// Whole files on Windows: read through one handle after a look at what the
// name is, and replaced by a hidden file beside them that ReplaceFileW (or,
// where the file system cannot, MoveFileExW) puts in their place.
#include "platform/FileReplacement.h"

#include "platform/windows/WideText.h"

#include <windows.h>

#include <utility>

namespace kestrun {

namespace {

constexpr std::size_t kWriteBuffer = 1 << 16;
constexpr DWORD kLargestRead = 1u << 30;

FileFault FaultOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        return FileFault::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FileFault::PermissionDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FileFault::DiskFull;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return FileFault::OutOfMemory;
    default:
        return FileFault::Other;
    }
}

[[noreturn]] void Fail(DWORD error) { throw FileFailure(FaultOf(error), Win32ErrorText(error)); }

class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    void Reset(HANDLE handle)
    {
        Close();
        handle_ = handle;
    }
    void Close()
    {
        if (valid())
            CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
    }

private:
    HANDLE handle_;
};

// Writes through a buffer, remembering the first failure.
class BufferedWriter {
public:
    explicit BufferedWriter(HANDLE file) : file_(file) { buffer_.reserve(kWriteBuffer); }

    void Write(const char* data, std::size_t size)
    {
        if (error_ != ERROR_SUCCESS)
            return;
        if (buffer_.size() + size > kWriteBuffer)
            Flush();
        if (size >= kWriteBuffer)
            WriteAll(data, size);
        else
            buffer_.append(data, size);
    }

    // The first failure, or ERROR_SUCCESS once the content is on the disk.
    DWORD Finish()
    {
        Flush();
        if (error_ == ERROR_SUCCESS && !FlushFileBuffers(file_))
            error_ = GetLastError();
        return error_;
    }

private:
    void Flush()
    {
        WriteAll(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

    void WriteAll(const char* data, std::size_t size)
    {
        while (error_ == ERROR_SUCCESS && size > 0) {
            const DWORD chunk = size > kLargestRead ? kLargestRead : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(file_, data, chunk, &written, nullptr)) {
                error_ = GetLastError();
                return;
            }
            data += written;
            size -= written;
        }
    }

    HANDLE file_;
    DWORD error_ = ERROR_SUCCESS;
    std::string buffer_;
};

// Writes the content; the failure, or ERROR_SUCCESS. What `content` throws is passed on.
DWORD WriteContent(HANDLE file, const FileContent& content)
{
    BufferedWriter writer(file);
    content([&writer](const char* data, std::size_t size) { writer.Write(data, size); });
    return writer.Finish();
}

class WindowsReadableFile : public ReadableFile {
public:
    WindowsReadableFile(HANDLE file, std::size_t size) : file_(file), size_(size) {}
    std::size_t Size() const override { return size_; }

    void ReadInto(char* data) override
    {
        std::size_t done = 0;
        for (;;) {
            char extra;
            char* into = done < size_ ? data + done : &extra;
            const std::size_t wanted = done < size_ ? size_ - done : 1;
            DWORD got = 0;
            if (!ReadFile(file_.get(), into, wanted > kLargestRead ? kLargestRead : static_cast<DWORD>(wanted), &got,
                          nullptr))
                Fail(GetLastError());
            if (got == 0 && done == size_)
                return;
            if (got == 0 || done == size_)
                throw FileFailure(FileFault::Changed, "the file changed while it was read");
            done += got;
        }
    }

private:
    Handle file_;
    std::size_t size_;
};

bool IsRegular(DWORD attributes)
{
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

}  // namespace

std::unique_ptr<ReadableFile> OpenReadableFile(const std::filesystem::path& path, std::uint64_t maxBytes)
{
    // Look before opening: a name such as CON or a pipe's would open a device.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        Fail(GetLastError());
    if (!IsRegular(attributes))
        throw FileFailure(FileFault::NotRegular, "not a regular file");
    Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        Fail(GetLastError());
    // The name may have been pointed elsewhere in between.
    if (GetFileType(file.get()) != FILE_TYPE_DISK)
        throw FileFailure(FileFault::NotRegular, "not a regular file");
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.get(), &information))
        Fail(GetLastError());
    if (!IsRegular(information.dwFileAttributes))
        throw FileFailure(FileFault::NotRegular, "not a regular file");
    const std::uint64_t size = (std::uint64_t(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    if (size > maxBytes)
        throw FileFailure(FileFault::TooLarge, "too large");
    return std::make_unique<WindowsReadableFile>(file.Release(), static_cast<std::size_t>(size));
}

void ReplaceRegularFile(const std::filesystem::path& path, const std::function<std::string()>& temporaryName,
                        const FileContent& content)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        Fail(GetLastError());
    if (!IsRegular(attributes))
        throw FileFailure(FileFault::NotRegular, "not a regular file");
    if (attributes & FILE_ATTRIBUTE_READONLY)
        throw FileFailure(FileFault::PermissionDenied, "");

    std::error_code ec;
    const std::filesystem::path target = std::filesystem::canonical(path, ec);
    if (ec)
        throw FileFailure(FileFault::NotFound, ec.message());
    std::filesystem::path temporary;
    Handle file;
    do {
        temporary = target.parent_path() / std::filesystem::path(temporaryName());
        // Shared with no one: a clean-up cannot remove it while it is written.
        file.Reset(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN,
                               nullptr));
    } while (!file.valid() && GetLastError() == ERROR_FILE_EXISTS);
    if (!file.valid())
        Fail(GetLastError());
    const auto discard = [&] {
        file.Close();
        DeleteFileW(temporary.c_str());
    };
    DWORD error = ERROR_SUCCESS;
    try {
        error = WriteContent(file.get(), content);
    } catch (...) {
        discard();
        throw;
    }
    if (error != ERROR_SUCCESS) {
        discard();
        Fail(error);
    }
    file.Close();
    // ReplaceFileW gives the new file the old one's attributes and security;
    // file systems without it still rename in one step.
    if (!ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                      nullptr)) {
        const DWORD replaceError = GetLastError();
        if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const DWORD moveError = GetLastError();
            DeleteFileW(temporary.c_str());
            Fail(moveError == ERROR_SUCCESS ? replaceError : moveError);
        }
    }
    // The temporary's hidden mark never stays with the document (wine's
    // ReplaceFileW keeps the replacement's attributes).
    SetFileAttributesW(target.c_str(), attributes);
}

bool WriteNewRegularFile(const std::filesystem::path& path, const FileContent& content)
{
    Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            return false;
        Fail(error);
    }
    DWORD error = ERROR_SUCCESS;
    try {
        error = WriteContent(file.get(), content);
    } catch (...) {
        file.Close();
        DeleteFileW(path.c_str());
        throw;
    }
    file.Close();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(path.c_str());
        Fail(error);
    }
    return true;
}

void RemoveUnheldTemporaries(const std::filesystem::path& path,
                             const std::function<bool(std::string_view name)>& isTemporary) noexcept
{
    try {
        std::error_code ec;
        std::filesystem::path target = std::filesystem::canonical(path, ec);
        if (ec)
            target = path;
        const std::filesystem::path folder = target.parent_path().empty() ? std::filesystem::path(L".")
                                                                          : target.parent_path();
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW((folder / L"*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return;
        do {
            if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            if (!isTemporary(Utf8FromWide(found.cFileName)))
                continue;
            // A replacement still writing holds its file unshared: this fails.
            DeleteFileW((folder / found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    } catch (...) {
    }
}

FileStamp StampOfFile(const std::filesystem::path& path) noexcept
{
    FileStamp stamp;
    Handle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &information))
        return stamp;
    stamp.known = true;
    stamp.volume = information.dwVolumeSerialNumber;
    stamp.identity = (std::uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    stamp.size = (std::uint64_t(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    stamp.modified = std::int64_t((std::uint64_t(information.ftLastWriteTime.dwHighDateTime) << 32) |
                                  information.ftLastWriteTime.dwLowDateTime);
    return stamp;
}

}  // namespace kestrun
