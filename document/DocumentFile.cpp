#include "document/DocumentFile.h"

#include "document/DocumentError.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace kestrun {

namespace {

constexpr std::size_t kWriteBuffer = 1 << 16;

std::string ErrorText(int error) { return std::strerror(error); }

[[noreturn]] void ReadFailure(const std::filesystem::path& path, const std::string& what)
{
    throw DocumentError::LoadFailure(pugi::status_io_error, "Cannot read " + path.string() + ": " + what);
}

DocumentError SaveFailure(int error, const std::string& path)
{
    const std::string why = " (" + ErrorText(error) + ")";
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return DocumentError(kErrDiskFull, "Disk full: " + path + why);
    case EACCES:
    case EPERM:
    case EROFS:
        return DocumentError(kErrPermissionDenied, "Permission denied: " + path + why);
    case ENOENT:
        return DocumentError(kErrFileNotFound, "File not found: " + path + why);
    case ENOMEM:
        return DocumentError(kErrOutOfMemory, "Out of memory: " + path + why);
    default:
        return DocumentError(kErrDeviceIO, "Device I/O error: " + path + why);
    }
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { if (fd_ >= 0) ::close(fd_); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Streams the text into a file, remembering the first failure.
class DescriptorWriter : public pugi::xml_writer {
public:
    explicit DescriptorWriter(int fd) : fd_(fd) { buffer_.reserve(kWriteBuffer); }

    void write(const void* data, std::size_t size) override
    {
        if (error_ != 0)
            return;
        if (buffer_.size() + size > kWriteBuffer)
            Flush();
        if (size >= kWriteBuffer)
            WriteAll(static_cast<const char*>(data), size);
        else
            buffer_.append(static_cast<const char*>(data), size);
    }

    // The first failure's errno, or 0.
    int Finish()
    {
        Flush();
        if (error_ == 0 && ::fsync(fd_) != 0)
            error_ = errno;
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
        while (error_ == 0 && size > 0) {
            const ssize_t written = ::write(fd_, data, size);
            if (written < 0) {
                if (errno != EINTR)
                    error_ = errno;
                continue;
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
    }

    int fd_;
    int error_ = 0;
    std::string buffer_;
};

// An unnamed file in the folder, or a named one where the file system has no
// unnamed files; `name` is then set.
int CreateTemporary(int folder, std::string_view fileName, std::string& name)
{
    int fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    do {
        name = NewSaveTemporaryName(fileName);
        fd = ::openat(folder, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EEXIST);
    return fd;
}

// Gives the unnamed file a fresh name in the folder.
int NameTemporary(int fd, int folder, std::string_view fileName, std::string& name)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (;;) {
        name = NewSaveTemporaryName(fileName);
        if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        if (errno == EEXIST)
            continue;
        // Without /proc, only a privileged process may link by descriptor.
        if (errno == ENOENT && ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != EEXIST)
            return errno;
    }
}

}  // namespace

DocumentFileReader::DocumentFileReader(const std::filesystem::path& path) : path_(path)
{
    // Look before opening: opening a FIFO or a device may block or act.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT)
            throw DocumentError(kErrDocumentNotFound, "[Kestrun.xml] File Not Found");
        ReadFailure(path, ErrorText(errno));
    }
    if (!S_ISREG(info.st_mode))
        ReadFailure(path, "not a regular file");
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0)
        ReadFailure(path, ErrorText(errno));
    // The name may have been pointed elsewhere in between.
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd_);
        ReadFailure(path, "not a regular file");
    }
    if (static_cast<std::uint64_t>(info.st_size) > kMaxDocumentBytes) {
        ::close(fd_);
        ReadFailure(path, std::string("larger than ") + kMaxDocumentSizeText);
    }
    size_ = static_cast<std::size_t>(info.st_size);
}

DocumentFileReader::~DocumentFileReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void DocumentFileReader::ReadInto(char* data)
{
    std::size_t done = 0;
    for (;;) {
        char extra;
        char* into = done < size_ ? data + done : &extra;
        const std::size_t wanted = done < size_ ? size_ - done : 1;
        const ssize_t got = ::read(fd_, into, wanted);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ReadFailure(path_, ErrorText(errno));
        }
        if (got == 0 && done == size_)
            return;
        if (got == 0 || done == size_)
            ReadFailure(path_, "the file changed while it was read");
        done += static_cast<std::size_t>(got);
    }
}

void ReplaceDocumentFile(const std::filesystem::path& path,
                         const std::function<void(pugi::xml_writer&)>& produce)
{
    const std::string shown = path.string();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throw SaveFailure(errno, shown);
    if (!S_ISREG(info.st_mode))
        throw DocumentError(kErrFileNotFound, "File not found: " + shown + " is not a regular file");
    // Root may write anything; a file without any write permission is still
    // one its owner meant to keep as it is.
    if (::access(path.c_str(), W_OK) != 0 || (::geteuid() == 0 && (info.st_mode & 0222) == 0))
        throw DocumentError(kErrPermissionDenied, "Permission denied: " + shown);

    std::error_code ec;
    const std::filesystem::path target = std::filesystem::canonical(path, ec);
    if (ec)
        throw SaveFailure(ec.value(), shown);
    const std::string fileName = target.filename().string();
    Descriptor folder(::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        throw SaveFailure(errno, shown);

    std::string name;
    Descriptor file(CreateTemporary(folder.get(), fileName, name));
    if (file.get() < 0)
        throw SaveFailure(errno, shown);
    // Held until the file is closed: tells a start-up's clean-up that this
    // temporary is still being written.
    ::flock(file.get(), LOCK_EX);
    auto discard = [&] {
        if (!name.empty())
            ::unlinkat(folder.get(), name.c_str(), 0);
    };

    ::fchmod(file.get(), info.st_mode & 07777);
    if (::geteuid() == 0 && ::fchown(file.get(), info.st_uid, info.st_gid) != 0) {
        // The new file stays root's; the content is what matters.
    }
    DescriptorWriter writer(file.get());
    try {
        produce(writer);
    } catch (...) {
        discard();
        throw;
    }
    if (int error = writer.Finish()) {
        discard();
        throw SaveFailure(error, shown);
    }
    if (name.empty()) {
        if (int error = NameTemporary(file.get(), folder.get(), fileName, name))
            throw SaveFailure(error, shown);
    }
    if (::renameat(folder.get(), name.c_str(), folder.get(), fileName.c_str()) != 0) {
        const int error = errno;
        discard();
        throw SaveFailure(error, shown);
    }
    ::fsync(folder.get());
}

bool WriteNewDocumentFile(const std::filesystem::path& path, const std::filesystem::path& like,
                          const std::function<void(pugi::xml_writer&)>& produce)
{
    struct stat info {};
    const mode_t mode = ::stat(like.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0600;
    Descriptor file(::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, mode));
    if (file.get() < 0) {
        if (errno == EEXIST)
            return false;
        throw SaveFailure(errno, path.string());
    }
    DescriptorWriter writer(file.get());
    int error = 0;
    try {
        produce(writer);
        error = writer.Finish();
    } catch (...) {
        ::unlink(path.c_str());
        throw;
    }
    if (error != 0) {
        ::unlink(path.c_str());
        throw SaveFailure(error, path.string());
    }
    return true;
}

void RemoveStrayTemporaries(const std::filesystem::path& path) noexcept
{
    std::error_code ec;
    std::filesystem::path target = std::filesystem::canonical(path, ec);
    if (ec)
        target = path;
    const std::string fileName = target.filename().string();
    Descriptor folder(::open(target.parent_path().empty() ? "." : target.parent_path().c_str(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return;
    DIR* listing = ::fdopendir(::dup(folder.get()));
    if (!listing)
        return;
    while (const dirent* entry = ::readdir(listing)) {
        if (!IsSaveTemporaryName(entry->d_name, fileName))
            continue;
        Descriptor stray(::openat(folder.get(), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened {};
        struct stat named {};
        if (stray.get() < 0 || ::fstat(stray.get(), &opened) != 0 || !S_ISREG(opened.st_mode))
            continue;
        // A save in progress holds the lock; one whose process died does not.
        if (::flock(stray.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (::fstatat(folder.get(), entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
            ::unlinkat(folder.get(), entry->d_name, 0);
    }
    ::closedir(listing);
}

}  // namespace kestrun
