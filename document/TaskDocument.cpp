#include "document/TaskDocument.h"

#include "core/Utf8.h"
#include "document/DocumentFile.h"
#include "document/DocumentText.h"
#include "document/NodeText.h"

#include <QCryptographicHash>

#if defined(_WIN32)
#include "platform/FileReplacement.h"
#else
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cstring>
#include <ctime>
#include <new>
#include <optional>
#include <utility>

namespace kestrun {

namespace {

constexpr std::int32_t kErrInvalidCall = 5;

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single |
                                   pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype;

class StringWriter : public pugi::xml_writer {
public:
    explicit StringWriter(std::string& out) : out_(out) {}
    void write(const void* data, std::size_t size) override
    {
        out_.append(static_cast<const char*>(data), size);
    }

private:
    std::string& out_;
};

}  // namespace

TaskDocument::TaskDocument(std::filesystem::path folder, FatalErrorReporter& reporter,
                           std::filesystem::path schemaFile)
    : folder_(std::move(folder)),
      schemaFile_(schemaFile.empty() ? folder_ / kSchemaFileName : std::move(schemaFile)),
      reporter_(reporter)
{
}

void TaskDocument::Fail(const DocumentError& error)
{
    ReportFatalError(reporter_, error);
}

bool TaskDocument::Guarded(const std::function<void()>& operation, FatalErrorReporter* reportTo)
{
    const auto fail = [&](const DocumentError& error) {
        reportTo ? ReportFatalError(*reportTo, error) : Fail(error);
    };
    try {
        operation();
        return true;
    } catch (const DocumentError& error) {
        fail(error);
    } catch (const pugi::xpath_exception& error) {
        fail(DocumentError(kErrInvalidCall, error.what()));
    } catch (const std::bad_alloc&) {
        fail(DocumentError(kErrOutOfMemory, "Out of memory: " + DocumentPath().string()));
    }
    return false;
}

// A buffer from the DOM's own allocator. The parser builds the DOM inside it
// and takes it over, which spares a copy of the whole file on start-up.
class TaskDocument::DomBuffer {
public:
    explicit DomBuffer(std::size_t size)
        : data_(static_cast<char*>(pugi::get_memory_allocation_function()(size == 0 ? 1 : size))), size_(size)
    {
        if (!data_)
            throw std::bad_alloc();
    }
    DomBuffer(const DomBuffer&) = delete;
    DomBuffer& operator=(const DomBuffer&) = delete;
    ~DomBuffer()
    {
        if (data_)
            pugi::get_memory_deallocation_function()(data_);
    }

    char* data() { return data_; }
    std::size_t size() const { return size_; }
    std::string_view view() const { return {data_, size_}; }
    char* Release() { return std::exchange(data_, nullptr); }

private:
    char* data_;
    std::size_t size_;
};

bool TaskDocument::Load()
{
    return Guarded([this] {
        const std::filesystem::path path = DocumentPath();
        RemoveStrayTemporaries(path);
        DocumentFileReader file(path);
        DomBuffer buffer(file.Size());
        file.ReadInto(buffer.data());
        DiskStamp read = StatDisk();
        read.hash = Hash(buffer.view());
        Parse(buffer, [&path] {
            DocumentFileReader again(path);
            std::string text(again.Size(), '\0');
            again.ReadInto(text.data());
            return text;
        });
        stamp_ = read;
    });
}

bool TaskDocument::LoadFromText(std::string_view text)
{
    return Guarded([this, text] {
        DomBuffer buffer(text.size());
        std::copy(text.begin(), text.end(), buffer.data());
        Parse(buffer, [text] { return std::string(text); });
    });
}

void TaskDocument::Parse(DomBuffer& buffer, const std::function<std::string()>& original)
{
    dom_.reset();
    paths_.Attach(dom_);
    const std::optional<std::string> converted = DocumentTextAsUtf8(buffer.view());
    const bool carriageReturns = CheckDocumentCharacters(converted ? std::string_view(*converted) : buffer.view());

    pugi::xml_parse_result result;
    if (converted) {
        result = dom_.load_buffer(converted->data(), converted->size(), kParseOptions, pugi::encoding_utf8);
    } else {
        const std::size_t size = buffer.size();
        result = dom_.load_buffer_inplace_own(buffer.Release(), size, kParseOptions, pugi::encoding_utf8);
    }
    // The parser has changed its buffer; positions are counted in the text.
    auto where = [&](std::ptrdiff_t offset) {
        const std::string position =
            offset < 0 ? std::string() : PositionText(converted ? *converted : original(), static_cast<std::size_t>(offset));
        return position.empty() ? position : " (" + position + ")";
    };
    if (!result) {
        const std::string reason = result.description() + where(result.offset);
        dom_.reset();
        throw DocumentError::LoadFailure(result.status, reason);
    }
    if (pugi::xml_node deep = NodeDeeperThan(dom_, kMaxNestingDepth)) {
        const std::string reason = "The elements are nested too deep, more than " +
                                   std::to_string(kMaxNestingDepth) + " levels" + where(deep.offset_debug());
        dom_.reset();
        throw DocumentError::LoadFailure(pugi::status_end_element_mismatch, reason);
    }
    if (carriageReturns)
        CarriageReturnsToLineFeeds(dom_);
    paths_.Attach(dom_);
    pugi::xml_attribute schemaLocation = paths_.SchemaLocation();
    if (!schemaLocation)
        throw DocumentError::NodeNotFound();
    schemaLocation.set_value(SchemaLocationText().c_str());
}

std::string TaskDocument::SchemaLocationText() const
{
    return WithoutForbiddenCharacters(ToValidUtf8(SchemaPath().string()));
}

void TaskDocument::KeepSchemaLocation()
{
    // An edit may have removed the element that carried the schema location
    // (in a hand-made document it can sit on a program). Without it the saved
    // file could never be loaded again, so the document element takes it.
    if (paths_.SchemaLocation())
        return;
    pugi::xml_node root = dom_.document_element();
    if (!root)
        return;
    if (!root.attribute("xmlns:xsi"))
        root.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
    root.append_attribute("xsi:noNamespaceSchemaLocation") = SchemaLocationText().c_str();
}

namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

}  // namespace

void TaskDocument::WriteTo(pugi::xml_writer& writer)
{
    KeepSchemaLocation();
    writer.write(kDeclaration, std::strlen(kDeclaration));
    dom_.save(writer, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
}

std::string TaskDocument::Serialize()
{
    std::string text;
    StringWriter writer(text);
    WriteTo(writer);
    return text;
}

namespace {

// Passes the text on and hashes it on the way.
class HashingWriter : public pugi::xml_writer {
public:
    explicit HashingWriter(pugi::xml_writer& next) : next_(next) {}
    void write(const void* data, std::size_t size) override
    {
        hash_.addData(QByteArrayView(static_cast<const char*>(data), static_cast<qsizetype>(size)));
        next_.write(data, size);
    }
    std::string Result() const { return hash_.result().toStdString(); }

private:
    pugi::xml_writer& next_;
    QCryptographicHash hash_{QCryptographicHash::Sha256};
};

}  // namespace

std::string TaskDocument::Hash(std::string_view text)
{
    return QCryptographicHash::hash(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())),
                                    QCryptographicHash::Sha256)
        .toStdString();
}

bool TaskDocument::HashOnDisk(std::string& hash) const
{
    try {
        DocumentFileReader file(DocumentPath());
        std::string text(file.Size(), '\0');
        file.ReadInto(text.data());
        hash = Hash(text);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TaskDocument::DiskStamp::SameFile(const DiskStamp& other) const
{
    return known && other.known && device == other.device && inode == other.inode && size == other.size &&
           modified == other.modified;
}

TaskDocument::DiskStamp TaskDocument::StatDisk() const
{
    DiskStamp stamp;
#if defined(_WIN32)
    const FileStamp file = StampOfFile(DocumentPath());
    stamp.known = file.known;
    stamp.device = file.volume;
    stamp.inode = file.identity;
    stamp.size = file.size;
    stamp.modified = file.modified;
    return stamp;
#else
    struct stat info {};
    if (::stat(DocumentPath().c_str(), &info) != 0)
        return stamp;
    stamp.known = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.modified = std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    return stamp;
#endif
}

bool TaskDocument::SaveTaskDocument(FatalErrorReporter& reportTo)
{
    return Guarded([this] {
        // The new content is written beside the file and then replaces it in one
        // step, so a crash at any moment leaves either the old or the new file.
        std::string hash;
        ReplaceDocumentFile(DocumentPath(), [this, &hash](pugi::xml_writer& writer) {
            HashingWriter hashing(writer);
            WriteTo(hashing);
            hash = hashing.Result();
        });
        stamp_ = StatDisk();
        stamp_.hash = hash;
        dirty_ = false;
    }, &reportTo);
}

bool TaskDocument::ChangedOnDisk(bool thorough)
{
    DiskStamp now = StatDisk();
    if (!now.known || !stamp_.known)
        return false;
    if (!thorough && (now.SameFile(stamp_) || now.SameFile(refused_)))
        return false;
    if (!HashOnDisk(now.hash))
        return false;
    if (now.hash == stamp_.hash) {
        stamp_ = now;  // touched, or written back as it was
        return false;
    }
    return thorough || now.hash != refused_.hash;
}

bool TaskDocument::Reload(FatalErrorReporter& reportTo)
{
    const DiskStamp before = StatDisk();
    TaskDocument fresh(folder_, reportTo, schemaFile_);
    if (!fresh.Load()) {
        refused_ = before;
        HashOnDisk(refused_.hash);
        return false;
    }
    dom_ = std::move(fresh.dom_);
    paths_.Attach(dom_);
    stamp_ = fresh.stamp_;
    dirty_ = false;
    return true;
}

std::filesystem::path TaskDocument::SaveCopyBeside(FatalErrorReporter& reportTo)
{
    std::filesystem::path written;
    Guarded([this, &written] {
        const std::time_t now = std::time(nullptr);
        char moment[32];
        std::strftime(moment, sizeof moment, "%Y-%m-%d %H.%M.%S", std::localtime(&now));
        const std::string stem = DocumentPath().stem().string() + " (Kestrun's version of " + moment;
        for (int attempt = 1;; ++attempt) {
            const std::filesystem::path copy =
                folder_ / (stem + (attempt == 1 ? "" : ", " + std::to_string(attempt)) + ").xml");
            if (WriteNewDocumentFile(copy, DocumentPath(), [this](pugi::xml_writer& writer) { WriteTo(writer); })) {
                written = copy;
                return;
            }
        }
    }, &reportTo);
    return written;
}

}  // namespace kestrun
